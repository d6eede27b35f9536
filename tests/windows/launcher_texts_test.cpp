// The launcher deployment where the file system or the user's desktop works against it.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "install/launcher_deployment.h"
#include "support/deployment_fixture.h"
#include "support/installation_fixture.h"
#include "support/links.h"
#include "support/scoped_temp_dir.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::test {
namespace {

constexpr wchar_t kUserShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Points the current user's desktop elsewhere for the scope, in both places the shell reads it.
class ScopedDesktop {
 public:
  explicit ScopedDesktop(const std::string& path) {
    for (const wchar_t* key : {kUserShellFolders, kShellFolders}) saved_.push_back({key, read(key)});
    for (const wchar_t* key : {kUserShellFolders, kShellFolders}) write(key, win::wide(path));
  }
  ~ScopedDesktop() {
    for (const auto& [key, value] : saved_) {
      if (value) {
        write(key, *value);
      } else {
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"Desktop");
      }
    }
  }
  ScopedDesktop(const ScopedDesktop&) = delete;
  ScopedDesktop& operator=(const ScopedDesktop&) = delete;

 private:
  static std::optional<std::wstring> read(const wchar_t* key) {
    wchar_t value[32768];
    DWORD bytes = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, key, L"Desktop", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr,
                       value, &bytes) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    return std::wstring(value);
  }
  static void write(const wchar_t* key, const std::wstring& value) {
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, key, L"Desktop", REG_EXPAND_SZ, value.c_str(),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
  std::vector<std::pair<const wchar_t*, std::optional<std::wstring>>> saved_;
};

class LauncherTexts : public DeploymentFixture {
 protected:
  void SetUp() override {
    DeploymentFixture::SetUp();
    make_directories(directory + "\\运行组件");
  }
};

// The old launcher is open in another program that does not let it be renamed: it stays as it
// was, and nothing of the new copy is left behind.
TEST_F(LauncherTexts, AnOldLauncherThatCannotBeMovedAsideStaysInPlace) {
  write_file(launcher(), "the launcher in use");
  {
    const win::unique_file inUse(::CreateFileW(win::wide(launcher()).c_str(), GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(inUse);
    const auto deployed = deploy_launcher(directory);
    ASSERT_FALSE(deployed);
    EXPECT_TRUE(deployed.error().starts_with("备份旧工作台启动器失败：")) << deployed.error();
    EXPECT_TRUE(deployed.error().ends_with("(os error 32)")) << deployed.error();
  }
  EXPECT_EQ(read_file(launcher()), "the launcher in use");
  EXPECT_FALSE(file_exists(backup()));
  EXPECT_FALSE(file_exists(temporary()));
  EXPECT_FALSE(file_exists(desktop_shortcut_path()));
}

// A read-only old launcher can be moved aside but not deleted: the new launcher is in place and
// the backup stays, for the next deployment to stop at.
TEST_F(LauncherTexts, ABackupThatCannotBeDeletedIsReported) {
  write_file(launcher(), "a read-only older launcher");
  ASSERT_TRUE(::SetFileAttributesW(win::wide(launcher()).c_str(), FILE_ATTRIBUTE_READONLY));
  const auto deployed = deploy_launcher(directory);
  ::SetFileAttributesW(win::wide(backup()).c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_FALSE(deployed);
  EXPECT_TRUE(deployed.error().starts_with("清理旧启动器备份失败：")) << deployed.error();
  EXPECT_TRUE(deployed.error().ends_with("(os error 5)")) << deployed.error();
  EXPECT_TRUE(read_file(launcher()) == read_file(own_program_path()));
  EXPECT_EQ(read_file(backup()), "a read-only older launcher");
  EXPECT_FALSE(file_exists(temporary()));

  const auto again = deploy_launcher(directory);
  ASSERT_FALSE(again);
  EXPECT_EQ(again.error(), "检测到未处理的启动器更新备份，已拒绝继续覆盖。");
}

// A desktop that is a link may lead anywhere: no shortcut is written through it.
TEST_F(LauncherTexts, ADesktopThatIsALinkIsNotUsed) {
  make_directories(temp.join("别处桌面"));
  make_directory_link(temp.join("桌面"), temp.join("别处桌面"));
  {
    ScopedDesktop desktop(temp.join("桌面"));
    ASSERT_EQ(desktop_folder(), temp.join("桌面"));
    const auto deployed = deploy_launcher(directory);
    ASSERT_FALSE(deployed);
    EXPECT_EQ(deployed.error(), "当前用户桌面目录不可用。");
  }
  EXPECT_TRUE(read_file(launcher()) == read_file(own_program_path()));
  EXPECT_FALSE(file_exists(temp.join("别处桌面\\Velko Tarn 工作台.lnk")));
  EXPECT_FALSE(file_exists(temp.join("别处桌面\\Velko Tarn 工作台.lnk.part")));
}

}  // namespace
}  // namespace velko::test
