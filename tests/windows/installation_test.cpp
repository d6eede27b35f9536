// The installation sequence in this process, with the carried WebView2 stand-in run as a
// real child process and the real file system.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>

#include "ascii_lower.h"
#include "detect/component_detection.h"
#include "install/installation.h"
#include "install/webview2_bootstrapper.h"
#include "state/bootstrap_state.h"
#include "support/installation_fixture.h"
#include "support/paths.h"
#include "support/product_process.h"
#include "support/scoped_temp_dir.h"
#include "win/child_process.h"
#include "win/file_digest.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::test {
namespace {

using namespace std::chrono_literals;
using Tag = WorkerEventTag;

constexpr char kBootstrapperReady[] = "微软 WebView2 Evergreen 引导器已准备完成。";
constexpr char kWebView2Step[] = "正在联网安装微软 WebView2 Evergreen 运行环境，请勿关闭。";

class Installation : public ::testing::Test {
 protected:
  void SetUp() override {
    remove_webview2_registration();
    ::DeleteFileW(win::wide(desktop_shortcut_path()).c_str());
  }
  void TearDown() override {
    remove_webview2_registration();
    ::DeleteFileW(win::wide(desktop_shortcut_path()).c_str());
  }

  std::vector<WorkerEvent> run(bool webView2Present, bool workbenchCurrent) {
    return run_installation_to_end(webView2Present, workbenchCurrent, directory, no_policy_yet());
  }

  std::string downloads() const { return temp.join("ProgramData") + "\\VelkoInstaller\\downloads"; }
  std::string standin_log() const { return temp.join("standin.log"); }
  std::string standin_bytes() const { return read_file(win::narrow(built_program(L"VelkoWebView2Standin.exe"))); }

  ScopedTempDir temp;
  ScopedEnvironment programData{"VELKO_TEST_PROGRAM_DATA", temp.join("ProgramData")};
  ScopedEnvironment localAppData{"LOCALAPPDATA", temp.join("LocalAppData")};
  ScopedEnvironment programFiles{"ProgramFiles(x86)", temp.join("ProgramFiles86")};
  ScopedEnvironment log{"VELKO_WEBVIEW2_STANDIN_LOG", standin_log()};
  std::string directory = temp.join("VelkoTarn工作台");
};

TEST_F(Installation, TheCarriedBootstrapperIsTheBuiltStandIn) {
  auto carried = carried_webview2_bootstrapper();
  ASSERT_TRUE(carried) << carried.error();
  EXPECT_TRUE(std::string(reinterpret_cast<const char*>(carried->data()), carried->size()) == standin_bytes());
}

// Detection recognises the file this program writes out as a staged bootstrapper.
TEST_F(Installation, TheWrittenBootstrapperCountsAsStaged) {
  EXPECT_FALSE(detect_components(std::nullopt).components[ComponentKind::WebView2Runtime].staged);
  auto written = write_out_webview2_bootstrapper();
  ASSERT_TRUE(written) << written.error();
  EXPECT_EQ(*written, downloads() + "\\MicrosoftEdgeWebview2Setup.exe");
  EXPECT_TRUE(detect_components(std::nullopt).components[ComponentKind::WebView2Runtime].staged);
}

TEST_F(Installation, NothingMissingDeploysTheLauncherOnly) {
  write_valid_installation(directory);
  const auto events = run(true, true);
  EXPECT_EQ(events, std::vector<WorkerEvent>{WorkerEvent::install_completed()});
  EXPECT_FALSE(file_exists(standin_log()));
  EXPECT_FALSE(file_exists(downloads() + "\\MicrosoftEdgeWebview2Setup.exe"));
  EXPECT_TRUE(read_file(directory + "\\运行组件\\VelkoTarn工作台启动器.exe") == read_file(own_program_path()));
  EXPECT_TRUE(file_exists(desktop_shortcut_path()));
}

TEST_F(Installation, NothingMissingWithoutInstallationSkipsTheLauncher) {
  make_directories(directory);
  EXPECT_EQ(run(true, true), std::vector<WorkerEvent>{WorkerEvent::install_completed()});
  EXPECT_FALSE(file_exists(directory + "\\运行组件"));
  EXPECT_FALSE(file_exists(desktop_shortcut_path()));
}

TEST_F(Installation, OnlyWebView2Missing) {
  write_valid_installation(directory);
  const auto events = run(false, true);
  const std::vector<WorkerEvent> expected{
      WorkerEvent::download_progress(ComponentKind::WebView2Runtime, 100, kBootstrapperReady),
      WorkerEvent::component_ready(ComponentKind::WebView2Runtime),
      WorkerEvent::step_started(ComponentKind::WebView2Runtime, kWebView2Step),
      WorkerEvent::component_installed(ComponentKind::WebView2Runtime),
      WorkerEvent::install_completed(),
  };
  EXPECT_EQ(events, expected);
  EXPECT_EQ(read_file(standin_log()), "/silent /install\n");
  EXPECT_TRUE(read_file(downloads() + "\\MicrosoftEdgeWebview2Setup.exe") == standin_bytes());
  EXPECT_FALSE(file_exists(downloads() + "\\MicrosoftEdgeWebview2Setup.exe.part"));
  EXPECT_TRUE(file_exists(temp.join("LocalAppData") +
                          "\\Microsoft\\EdgeWebView\\Application\\120.0.2210.91\\msedgewebview2.exe"));
  EXPECT_TRUE(file_exists(directory + "\\运行组件\\VelkoTarn工作台启动器.exe"));
}

TEST_F(Installation, LeftoverBootstrapperFilesAreRewritten) {
  make_directories(downloads());
  write_file(downloads() + "\\MicrosoftEdgeWebview2Setup.exe", "an old, damaged bootstrapper");
  write_file(downloads() + "\\MicrosoftEdgeWebview2Setup.exe.part", "half of an interrupted write");
  make_directories(directory);
  EXPECT_EQ(tags_of(run(false, true)).back(), Tag::InstallCompleted);
  EXPECT_TRUE(read_file(downloads() + "\\MicrosoftEdgeWebview2Setup.exe") == standin_bytes());
  EXPECT_FALSE(file_exists(downloads() + "\\MicrosoftEdgeWebview2Setup.exe.part"));
}

TEST_F(Installation, RestartRequiredExitCodeContinues) {
  ScopedEnvironment exitCode{"VELKO_WEBVIEW2_STANDIN_EXIT_CODE", "3010"};
  make_directories(directory);
  const auto events = run(false, true);
  EXPECT_EQ(tags_of(events), (std::vector<Tag>{Tag::DownloadProgress, Tag::ComponentReady, Tag::StepStarted,
                                               Tag::ComponentInstalled, Tag::InstallCompleted}));
}

TEST_F(Installation, FailingBootstrapperEndsTheRun) {
  ScopedEnvironment exitCode{"VELKO_WEBVIEW2_STANDIN_EXIT_CODE", "1"};
  ScopedEnvironment never{"VELKO_WEBVIEW2_STANDIN_REGISTER", "never"};
  write_valid_installation(directory);
  const auto events = run(false, true);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), WorkerEvent::install_failed("安装程序执行失败，错误码 1。"));
  EXPECT_EQ(tags_of(events), (std::vector<Tag>{Tag::DownloadProgress, Tag::ComponentReady, Tag::StepStarted,
                                               Tag::InstallFailed}));
  EXPECT_FALSE(file_exists(directory + "\\运行组件"));
}

TEST_F(Installation, NegativeExitCodeInSignedDecimal) {
  ScopedEnvironment exitCode{"VELKO_WEBVIEW2_STANDIN_EXIT_CODE", "-1073741819"};
  make_directories(directory);
  const auto events = run(false, true);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), WorkerEvent::install_failed("安装程序执行失败，错误码 -1073741819。"));
}

TEST_F(Installation, RuntimeThatAppearsLaterIsFoundByThePolls) {
  ScopedEnvironment later{"VELKO_WEBVIEW2_STANDIN_REGISTER", "5000"};
  make_directories(directory);
  const auto start = std::chrono::steady_clock::now();
  const auto events = run(false, true);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), WorkerEvent::install_completed());
  EXPECT_GE(elapsed, 5s);
  EXPECT_LT(elapsed, 20s);
}

TEST_F(Installation, RunningWorkbenchStopsTheRunBeforeAnything) {
  write_valid_installation(directory, "1.0.0", standin_bytes());
  auto workbench = start_program(directory + "\\VelkoTarn工作台.exe", {}, CREATE_SUSPENDED | CREATE_NO_WINDOW);
  const auto events = run(false, false);
  ::TerminateProcess(workbench.process.get(), 0);
  EXPECT_EQ(events, std::vector<WorkerEvent>{
                        WorkerEvent::install_failed("VelkoTarn工作台仍在退出，请稍候重新检测后继续更新。")});
  EXPECT_FALSE(file_exists(standin_log()));
  EXPECT_FALSE(file_exists(downloads() + "\\MicrosoftEdgeWebview2Setup.exe"));
}

// The worker gets the policy as it was when it started: without one there is nothing to stage
// for the workbench, and nothing is run.
TEST_F(Installation, WithoutAPolicyTheWorkbenchIsNeitherStagedNorRun) {
  const auto events = run_installation_to_end(true, false, directory, no_policy_yet());
  EXPECT_EQ(events, std::vector<WorkerEvent>{WorkerEvent::install_failed(kPolicyNotYetKnown)});
  EXPECT_FALSE(file_exists(standin_log()));
}

// A file that does not hash to what was verified is never started.
TEST_F(Installation, InstallerThatNoLongerMatchesIsNotStarted) {
  const std::string program = temp.join("MicrosoftEdgeWebview2Setup.exe");
  write_file(program, standin_bytes());
  auto ran = run_webview2_bootstrapper(program, {"/silent", "/install"}, std::string(64, 'A'));
  ASSERT_FALSE(ran);
  EXPECT_EQ(ran.error(), "WebView2 Evergreen 引导器 SHA256 校验失败，文件不会执行。");
  EXPECT_FALSE(file_exists(standin_log()));
}

TEST_F(Installation, InstallerThatCannotBeStarted) {
  auto ran = run_webview2_bootstrapper(temp.join("没有这个安装程序.exe"), {"/silent", "/install"});
  ASSERT_FALSE(ran);
  EXPECT_TRUE(ran.error().starts_with("启动安装程序失败：")) << ran.error();
  EXPECT_TRUE(ran.error().ends_with("(os error 2)")) << ran.error();
}

// The check sees the program through a handle that keeps writers out, and a refused program is
// never started.
TEST_F(Installation, ACheckedProgramIsHeldAgainstWritersAndNotStartedWhenRefused) {
  const std::string program = temp.join("MicrosoftEdgeWebview2Setup.exe");
  write_file(program, standin_bytes());
  win::ProcessLaunch launch;
  launch.program = program;
  launch.arguments = {"/silent", "/install"};
  bool writerKeptOut = false;
  const auto check = [&](HANDLE) -> std::expected<void, std::string> {
    const win::unique_file writer(::CreateFileW(win::wide(program).c_str(), GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    writerKeptOut = !writer;
    return std::unexpected(std::string("拒绝"));
  };
  const auto child = win::start_checked_program(launch, check, "打开：", "启动：");
  ASSERT_FALSE(child);
  EXPECT_EQ(child.error(), "拒绝");
  EXPECT_TRUE(writerKeptOut);
  EXPECT_FALSE(file_exists(standin_log()));
  const auto missing = win::start_checked_program({temp.join("没有.exe")}, check, "打开：", "启动：");
  ASSERT_FALSE(missing);
  EXPECT_TRUE(missing.error().starts_with("打开：")) << missing.error();
  EXPECT_TRUE(missing.error().ends_with("(os error 2)")) << missing.error();
}

// While the verified file is being started nobody may change or delete it.
TEST_F(Installation, VerifiedInstallerIsStartedFromTheCheckedBytes) {
  const std::string program = temp.join("MicrosoftEdgeWebview2Setup.exe");
  write_file(program, standin_bytes());
  auto digest = win::sha256_of_file(program);
  ASSERT_TRUE(digest);
  ASSERT_TRUE(run_webview2_bootstrapper(program, {"/silent", "/install"}, ascii_lower(*digest)));
  EXPECT_EQ(read_file(standin_log()), "/silent /install\n");
}

}  // namespace
}  // namespace velko::test
