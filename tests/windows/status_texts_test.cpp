// Every text the program puts in a status line that is its own (not one of the texts it was
// designed around) fits that line whole, in the window's own font: a line cut short would hide
// the remedy it names.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "download/publisher_key.h"
#include "download/staging_rules.h"
#include "install/installation_plan.h"
#include "install/launcher_files.h"
#include "launch/launch_rules.h"
#include "policy/download_address.h"
#include "ui/painting_win.h"
#include "ui/window_constants.h"
#include "ui/window_layout.h"
#include "win/own_image.h"
#include "win/unique_any.h"

namespace velko {
namespace {

struct Line {
  const char* where;
  int width;
  int size;
  int weight;
};

TEST(StatusTexts, EveryOwnTextFitsItsLine) {
  const Line installer{"installer", kStatusLine.right - kStatusLine.left, 12, 400};
  const Rect launchLine = launch_layout(kLaunchWindow.clientWidth).statusLine;
  const Line launch{"launch", launchLine.right - launchLine.left, 14, 600};
  struct Case {
    std::string text;
    Line line;
  };
  const Case cases[] = {
      {kSharedInstallFolderText, installer},
      {kMovableInstallFolderText, installer},
      {kNonLocalInstallFolderText, installer},
      {kLinkInstallFolderText, installer},
      {kInstallationNotPrivateText, installer},
      {kInstallationNotPrivateText, launch},
      {kLauncherBusyText, installer},
      {kTemporaryNotPlainText, installer},
      {win::kOwnImageReplacedText, installer},
      {win::kOwnImageReplacedText, launch},
      {*file_held_elsewhere_text(32), installer},
      {discarded_partial_text(416), installer},
      {not_publisher_signed_text(workbench_installer_file_name("10.24.100")), installer},
      {"安装程序独立运行副本不是制作方签名的安装包，文件不会执行。", installer},
      {"待运行的工作台安装包校验失败，已停止安装。", installer},
  };
  win::unique_hdc dc(::CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc);
  for (const Case& c : cases) {
    const int width = text_width(dc.get(), c.text, c.line.size, c.line.weight);
    EXPECT_GT(width, 0) << c.text;
    EXPECT_LE(width, c.line.width) << c.line.where << ": " << c.text;
  }
}

}  // namespace
}  // namespace velko
