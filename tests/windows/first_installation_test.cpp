// Whole installation runs against the loopback download service: the WebView2 stand-in is
// written out and run, the workbench installer is downloaded, verified and run, the launcher
// and the shortcut are deployed. The workbench installer is a copy of this test program that
// plays the installer (see play_installer below).
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "common/command_line.h"
#include "install/installation.h"
#include "install/workbench_installer.h"
#include "state/bootstrap_state.h"
#include "support/child_role.h"
#include "support/installation_fixture.h"
#include "support/paths.h"
#include "support/product_process.h"
#include "support/scoped_temp_dir.h"
#include "support/test_service.h"
#include "win/file_digest.h"
#include "win/wide.h"

namespace velko::test {
namespace {

using namespace std::chrono_literals;
using Tag = WorkerEventTag;

constexpr char kVersion[] = "1.4.2";
constexpr char kInstallerName[] = "VelkoTarnWorkbench-Setup-v1.4.2.exe";
constexpr char kInstallerVersionVariable[] = "VELKO_TEST_INSTALLER_VERSION";

// The workbench installer part: "--silent-install-to {directory}" leaves a workbench program
// and a manifest of the version the test names.
int play_installer() {
  const auto arguments = split_command_line(win::narrow(::GetCommandLineW()));
  if (arguments.size() != 3 || arguments[1] != "--silent-install-to") return 2;
  write_valid_installation(arguments[2], environment_text(kInstallerVersionVariable), "the installed workbench");
  return 0;
}
[[maybe_unused]] const bool kInstallerRegistered = register_child_role("workbench installer", play_installer);

std::vector<WorkerEvent> without_download_progress(const std::vector<WorkerEvent>& events, ComponentKind kind) {
  std::vector<WorkerEvent> rest;
  for (const auto& event : events) {
    if (event.tag != Tag::DownloadProgress || event.component != kind) rest.push_back(event);
  }
  return rest;
}

class FirstInstallation : public ::testing::Test {
 protected:
  void SetUp() override {
    remove_webview2_registration();
    ::DeleteFileW(win::wide(desktop_shortcut_path()).c_str());
    TestService::reset();
    installer = read_file(own_program_path());
    TestService::put_file(kInstallerName, installer);
    auto digest = win::sha256_of_file(own_program_path());
    ASSERT_TRUE(digest);
    policy.latestVersion = kVersion;
    policy.downloadUrl = "https://" + TestService::host() + "/v1/downloads/" + kInstallerName;
    policy.updateSha256 = *digest;
    policy.installerBytes = installer.size();
  }
  void TearDown() override {
    remove_webview2_registration();
    ::DeleteFileW(win::wide(desktop_shortcut_path()).c_str());
  }

  std::vector<WorkerEvent> run(bool webView2Present, bool workbenchCurrent) {
    return run_installation_to_end(webView2Present, workbenchCurrent, directory, policy);
  }

  std::size_t installer_requests() {
    std::size_t count = 0;
    for (const auto& request : TestService::requests()) {
      if (request.target.find("/v1/downloads/") == 0) ++count;
    }
    return count;
  }

  std::string installer;
  ReleasePolicy policy;
  ScopedTempDir temp;
  ScopedEnvironment programData{"VELKO_TEST_PROGRAM_DATA", temp.join("ProgramData")};
  ScopedEnvironment localAppData{"LOCALAPPDATA", temp.join("LocalAppData")};
  ScopedEnvironment programFiles{"ProgramFiles(x86)", temp.join("ProgramFiles86")};
  ScopedEnvironment log{"VELKO_WEBVIEW2_STANDIN_LOG", temp.join("standin.log")};
  ScopedChildRole installerRole{"workbench installer"};
  ScopedEnvironment installerVersion{kInstallerVersionVariable, kVersion};
  std::string directory = temp.join("VelkoTarn工作台");
};

TEST_F(FirstInstallation, EverythingOnAnEmptyMachine) {
  const auto events = run(false, false);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), WorkerEvent::install_completed());

  // Downloads first, then the installers in plan order, then completion.
  const std::vector<WorkerEvent> expected{
      WorkerEvent::download_progress(ComponentKind::WebView2Runtime, 100, "微软 WebView2 Evergreen 引导器已准备完成。"),
      WorkerEvent::component_ready(ComponentKind::WebView2Runtime),
      WorkerEvent::component_ready(ComponentKind::Workbench),
      WorkerEvent::step_started(ComponentKind::WebView2Runtime, "正在联网安装微软 WebView2 Evergreen 运行环境，请勿关闭。"),
      WorkerEvent::component_installed(ComponentKind::WebView2Runtime),
      WorkerEvent::step_started(ComponentKind::Workbench, "正在安装VelkoTarn工作台到 " + directory + "。"),
      WorkerEvent::component_installed(ComponentKind::Workbench),
      WorkerEvent::install_completed(),
  };
  EXPECT_EQ(without_download_progress(events, ComponentKind::Workbench), expected);
  // The workbench download reports progress between the two ComponentReady events, ending at 100.
  std::size_t lastProgress = 0;
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (events[i].tag == Tag::DownloadProgress && events[i].component == ComponentKind::Workbench) lastProgress = i;
  }
  ASSERT_GT(lastProgress, 1u);
  EXPECT_EQ(events[lastProgress].percent, 100);
  EXPECT_EQ(events[lastProgress + 1], WorkerEvent::component_ready(ComponentKind::Workbench));

  EXPECT_EQ(read_file(temp.join("standin.log")), "/silent /install\n");
  EXPECT_EQ(installer_requests(), 1u);
  EXPECT_TRUE(read_file(temp.join("ProgramData") + "\\VelkoInstaller\\downloads\\" + kInstallerName) == installer);
  EXPECT_EQ(check_installed_workbench(directory, policy.latestVersion), WorkbenchInstallState::Current);
  EXPECT_EQ(read_file(temp.join("ProgramData") + "\\VelkoInstaller\\install-location.txt"), directory);

  const std::string launcher = directory + "\\运行组件\\VelkoTarn工作台启动器.exe";
  EXPECT_TRUE(read_file(launcher) == installer);
  EXPECT_TRUE(is_hidden(directory + "\\运行组件"));
  const std::string link = read_file(desktop_shortcut_path());
  ASSERT_GE(link.size(), 22u);
  EXPECT_EQ(static_cast<unsigned char>(link[21]) & 0x20, 0x20);
  const ShortcutFields fields = read_shortcut(desktop_shortcut_path());
  EXPECT_EQ(fields.target, launcher);
  EXPECT_EQ(fields.arguments, "--launch-main");
  EXPECT_EQ(fields.workingDirectory, directory);
}

TEST_F(FirstInstallation, UpdateOfAnOlderWorkbenchSaysUpdate) {
  write_valid_installation(directory, "1.0.0");
  const auto events = run(true, false);
  EXPECT_EQ(without_download_progress(events, ComponentKind::Workbench),
            (std::vector<WorkerEvent>{
                WorkerEvent::component_ready(ComponentKind::Workbench),
                WorkerEvent::step_started(ComponentKind::Workbench, "正在更新VelkoTarn工作台到 " + directory + "。"),
                WorkerEvent::component_installed(ComponentKind::Workbench),
                WorkerEvent::install_completed(),
            }));
  EXPECT_FALSE(file_exists(temp.join("standin.log")));
}

TEST_F(FirstInstallation, NothingMissingDownloadsAndStartsNothing) {
  write_valid_installation(directory, kVersion);
  EXPECT_EQ(run(true, true), std::vector<WorkerEvent>{WorkerEvent::install_completed()});
  EXPECT_EQ(installer_requests(), 0u);
  EXPECT_FALSE(file_exists(temp.join("standin.log")));
  EXPECT_TRUE(read_file(directory + "\\运行组件\\VelkoTarn工作台启动器.exe") == installer);
}

TEST_F(FirstInstallation, FailingWebView2BootstrapperLeavesTheWorkbenchUninstalled) {
  ScopedEnvironment exitCode{"VELKO_WEBVIEW2_STANDIN_EXIT_CODE", "1"};
  const auto events = run(false, false);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), WorkerEvent::install_failed("安装程序执行失败，错误码 1。"));
  EXPECT_FALSE(file_exists(directory + "\\install-manifest.json"));
  EXPECT_FALSE(file_exists(directory + "\\运行组件"));
  for (const auto& event : events) EXPECT_NE(event.tag, Tag::ComponentInstalled);
}

TEST_F(FirstInstallation, RunningWorkbenchFailsBeforeAnyRequest) {
  write_valid_installation(directory, "1.0.0",
                           read_file(win::narrow(built_program(L"VelkoWebView2Standin.exe"))));
  auto workbench = start_program(directory + "\\VelkoTarn工作台.exe", {}, CREATE_SUSPENDED | CREATE_NO_WINDOW);
  const auto events = run(false, false);
  ::TerminateProcess(workbench.process.get(), 0);
  EXPECT_EQ(events, std::vector<WorkerEvent>{
                        WorkerEvent::install_failed("VelkoTarn工作台仍在退出，请稍候重新检测后继续更新。")});
  EXPECT_EQ(installer_requests(), 0u);
  EXPECT_FALSE(file_exists(temp.join("standin.log")));
}

// The user starts the workbench while its update is being downloaded: the second check, made
// after the downloads and before the installer, stops the run.
TEST_F(FirstInstallation, WorkbenchStartedDuringTheDownloadStopsTheUpdate) {
  write_valid_installation(directory, "1.0.0",
                           read_file(win::narrow(built_program(L"VelkoWebView2Standin.exe"))));
  TestService::set_fault(std::string("/v1/downloads/") + kInstallerName, R"({"delayMs": 10})");
  win::ChildProcess workbench;
  std::thread starter([&] {
    std::this_thread::sleep_for(500ms);
    workbench = start_program(directory + "\\VelkoTarn工作台.exe", {}, CREATE_SUSPENDED | CREATE_NO_WINDOW);
  });
  const auto events = run(true, false);
  starter.join();
  ::TerminateProcess(workbench.process.get(), 0);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), WorkerEvent::install_failed("VelkoTarn工作台仍在退出，请稍候重新检测后继续更新。"));
  EXPECT_EQ(installer_requests(), 1u);
  for (const auto& event : events) EXPECT_NE(event.tag, Tag::StepStarted);
  EXPECT_TRUE(read_file(temp.join("ProgramData") + "\\VelkoInstaller\\downloads\\" + kInstallerName) == installer);
}

}  // namespace
}  // namespace velko::test
