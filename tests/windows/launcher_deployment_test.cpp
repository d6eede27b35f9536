// The launcher deployment on the real file system, with the real attrib.exe and the shell's
// own shortcut writer.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

#include "detect/running_workbench.h"
#include "install/launcher_deployment.h"
#include "stand_in_versions.h"
#include "support/child_role.h"
#include "support/deployment_fixture.h"
#include "support/installation_fixture.h"
#include "support/installer_screen.h"
#include "support/links.h"
#include "support/paths.h"
#include "support/private_machine.h"
#include "support/product_process.h"
#include "support/scoped_temp_dir.h"
#include "support/test_service.h"
#include "common/win_path.h"
#include "win/directories.h"
#include "win/file_identity.h"
#include "win/temporary_file.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::test {
namespace {

using namespace std::chrono_literals;

constexpr char kChildDirectoryVariable[] = "VELKO_TEST_DEPLOY_AS_LAUNCHER";
constexpr char kSwapSignalsVariable[] = "VELKO_TEST_SWAP_SIGNALS";

bool wait_for_file(const std::string& path, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!file_exists(path)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    ::Sleep(20);
  }
  return true;
}


// Nothing of the shortcut's writing is left on the desktop.
bool desktop_holds_no_temporary_file() {
  const auto desktop = path_parent(desktop_shortcut_path());
  const auto names = win::folder_entry_names(desktop.value_or(""));
  if (!names) return false;
  for (const std::string& name : *names) {
    if (name.starts_with("Velko Tarn 工作台.lnk.")) return false;
  }
  return true;
}

class LauncherDeployment : public DeploymentFixture {};

TEST_F(LauncherDeployment, FirstDeploymentCopiesTheRunningProgramAndWritesTheShortcut) {
  auto deployed = deploy_launcher(directory);
  ASSERT_TRUE(deployed) << deployed.error();
  EXPECT_EQ(*deployed, launcher());
  EXPECT_TRUE(read_file(launcher()) == read_file(own_program_path()));
  EXPECT_TRUE(is_hidden(directory + "\\运行组件"));
  EXPECT_FALSE(file_exists(backup()));
  EXPECT_FALSE(file_exists(temporary()));

  const std::string link = read_file(desktop_shortcut_path());
  ASSERT_GE(link.size(), 22u);
  EXPECT_EQ(static_cast<unsigned char>(link[21]) & 0x20, 0x20);
  const ShortcutFields fields = read_shortcut(desktop_shortcut_path());
  EXPECT_EQ(fields.target, launcher());
  EXPECT_EQ(fields.arguments, "--launch-main");
  EXPECT_EQ(fields.workingDirectory, directory);
  EXPECT_EQ(fields.iconPath, directory + "\\VelkoTarn工作台.exe");
  EXPECT_EQ(fields.iconIndex, 0);
}

TEST_F(LauncherDeployment, ReplacesAnOlderLauncherWithoutLeavingABackup) {
  make_directories(directory + "\\运行组件");
  write_file(launcher(), "an older launcher");
  write_file(temporary(), "left over from an interrupted run");
  auto deployed = deploy_launcher(directory);
  ASSERT_TRUE(deployed) << deployed.error();
  EXPECT_TRUE(read_file(launcher()) == read_file(own_program_path()));
  EXPECT_FALSE(file_exists(backup()));
  EXPECT_FALSE(file_exists(temporary()));
}

TEST_F(LauncherDeployment, LeftoverBackupStopsTheDeploymentAndKeepsTheLauncher) {
  make_directories(directory + "\\运行组件");
  write_file(launcher(), "the launcher in use");
  write_file(backup(), "backup of an interrupted replacement");
  auto deployed = deploy_launcher(directory);
  ASSERT_FALSE(deployed);
  EXPECT_EQ(deployed.error(), "检测到未处理的启动器更新备份，已拒绝继续覆盖。");
  EXPECT_EQ(read_file(launcher()), "the launcher in use");
  EXPECT_EQ(read_file(backup()), "backup of an interrupted replacement");
  EXPECT_FALSE(file_exists(desktop_shortcut_path()));
}

TEST_F(LauncherDeployment, OlderLauncherInTheInstallDirectoryIsHiddenNotDeleted) {
  write_file(directory + "\\VelkoTarn工作台启动器.exe", "launcher of an earlier version");
  ASSERT_TRUE(deploy_launcher(directory));
  EXPECT_EQ(read_file(directory + "\\VelkoTarn工作台启动器.exe"), "launcher of an earlier version");
  EXPECT_TRUE(is_hidden(directory + "\\VelkoTarn工作台启动器.exe"));
}

TEST_F(LauncherDeployment, OlderLauncherThatIsAFolderIsRefused) {
  make_directories(directory + "\\VelkoTarn工作台启动器.exe");
  auto deployed = deploy_launcher(directory);
  ASSERT_FALSE(deployed);
  EXPECT_EQ(deployed.error(), "旧工作台启动器不是普通文件，已拒绝处理。");
}

TEST_F(LauncherDeployment, NoValidInstallationNoDeployment) {
  ::DeleteFileW(win::wide(directory + "\\install-manifest.json").c_str());
  auto deployed = deploy_launcher(directory);
  ASSERT_FALSE(deployed);
  EXPECT_EQ(deployed.error(), "工作台安装清单或主程序不完整，无法安全启动。");
  EXPECT_FALSE(file_exists(directory + "\\运行组件"));
}

TEST_F(LauncherDeployment, RewritesAShortcutTheUserChanged) {
  write_file(desktop_shortcut_path(), "not a shell link at all");
  ASSERT_TRUE(deploy_launcher(directory));
  EXPECT_EQ(read_shortcut(desktop_shortcut_path()).arguments, "--launch-main");
}

TEST_F(LauncherDeployment, ASecondDeploymentAtTheSameTimeFailsAtOnce) {
  make_directories(directory + "\\运行组件");
  // Another copy of the program is writing its temporary copy of the launcher.
  win::unique_file other(::CreateFileW(win::wide(temporary()).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(other);
  auto deployed = deploy_launcher(directory);
  ASSERT_FALSE(deployed);
  EXPECT_EQ(deployed.error(), "另一个安装程序正在更新工作台启动器，请稍后重试。");
  EXPECT_FALSE(file_exists(launcher()));
  EXPECT_FALSE(file_exists(desktop_shortcut_path()));
}

// Windows opens a link as itself and removes it; Wine opens its Unix links only as what they
// lead to, and the deployment refuses the name.
TEST_F(LauncherDeployment, ALinkAtTheTemporaryNameIsNeverFollowed) {
  write_file(temp.join("别的文件.txt"), "somebody else's file");
  make_directories(directory + "\\运行组件");
  make_file_link(temporary(), temp.join("别的文件.txt"));
  auto deployed = deploy_launcher(directory);
  EXPECT_EQ(read_file(temp.join("别的文件.txt")), "somebody else's file");
  if (deployed) {
    EXPECT_TRUE(read_file(launcher()) == read_file(own_program_path()));
    EXPECT_FALSE(file_exists(temporary()));
  } else {
    EXPECT_EQ(deployed.error(), "启动器临时文件不是普通文件，已拒绝处理。");
    EXPECT_FALSE(file_exists(launcher()));
  }
  remove_file_link(temporary());
}

// The desktop is the user's: a link he put at the shortcut's name must not make the elevated
// program write through it. The link is replaced by the shortcut itself.
TEST_F(LauncherDeployment, ALinkAtTheShortcutsNameIsReplacedNotWrittenThrough) {
  write_file(temp.join("别的文件.txt"), "somebody else's file");
  // Wine removes a Unix link only through Unix, even when a failed run left it behind.
  remove_file_link(desktop_shortcut_path());
  const struct LinkRemoval {
    ~LinkRemoval() { remove_file_link(desktop_shortcut_path()); }
  } removal;
  make_file_link(desktop_shortcut_path(), temp.join("别的文件.txt"));
  auto deployed = deploy_launcher(directory);
  EXPECT_EQ(read_file(temp.join("别的文件.txt")), "somebody else's file");
  ASSERT_TRUE(deployed) << deployed.error();
  EXPECT_TRUE(win::is_plain_file(desktop_shortcut_path()));
  EXPECT_NE(win::final_path(desktop_shortcut_path()), win::final_path(temp.join("别的文件.txt")));
  const std::string link = read_file(desktop_shortcut_path());
  ASSERT_GE(link.size(), 22u);
  EXPECT_EQ(static_cast<unsigned char>(link[21]) & 0x20, 0x20);
  EXPECT_EQ(read_shortcut(desktop_shortcut_path()).target, launcher());
  EXPECT_EQ(read_shortcut(desktop_shortcut_path()).arguments, "--launch-main");
  EXPECT_TRUE(desktop_holds_no_temporary_file());
}

// Plays a program whose file the next test swaps before the program deploys: succeeds when the
// deployment refuses the file now at its path.
int deploy_after_the_file_was_swapped() {
  const std::string signals = environment_text(kSwapSignalsVariable);
  write_file(signals + "\\ready", "");
  if (!wait_for_file(signals + "\\go", 60s)) return 2;
  auto deployed = deploy_launcher(environment_text(kChildDirectoryVariable));
  if (deployed) {
    std::fprintf(stderr, "deployed the file now at this program's path\n");
    return 1;
  }
  if (deployed.error() != "复制工作台启动器失败：本程序文件已被移动或替换。") {
    std::fprintf(stderr, "%s\n", deployed.error().c_str());
    return 1;
  }
  return 0;
}
[[maybe_unused]] const bool kSwappedRegistered =
    register_child_role("swapped deployer", deploy_after_the_file_was_swapped);

// A program's file is renamed and another one put at its path before the program first holds
// its file (test programs do so only when they deploy; the product does at once).
TEST_F(LauncherDeployment, AProgramSwappedBeforeItHoldsItsFileDeploysNothing) {
  const std::string downloads = temp.join("下载");
  make_directories(downloads);
  const std::string program = downloads + "\\安装程序.exe";
  write_file(program, read_file(own_program_path()));
  ScopedEnvironment child{kChildDirectoryVariable, directory};
  ScopedEnvironment signals{kSwapSignalsVariable, temp.path()};
  ScopedChildRole role{"swapped deployer"};
  auto process = start_program(program, {}, CREATE_NO_WINDOW);
  ASSERT_TRUE(wait_for_file(temp.join("ready"), 60s));
  ASSERT_TRUE(::MoveFileExW(win::wide(program).c_str(), win::wide(downloads + "\\改名.exe").c_str(), 0))
      << ::GetLastError();
  write_file(program, read_file(win::narrow(built_program(L"VelkoTarn工作台.exe"))));
  write_file(temp.join("go"), "");
  EXPECT_EQ(wait_for_exit(process, 60s), 0u);
  EXPECT_FALSE(file_exists(launcher()));
  EXPECT_FALSE(file_exists(temporary()));
}

// Plays the deployed launcher deploying itself (see the next test).
int deploy_as_the_launcher_itself() {
  auto deployed = deploy_launcher(environment_text(kChildDirectoryVariable));
  if (!deployed) {
    std::fprintf(stderr, "%s\n", deployed.error().c_str());
    return 1;
  }
  return 0;
}
[[maybe_unused]] const bool kLauncherRegistered =
    register_child_role("launcher deployer", deploy_as_the_launcher_itself);

TEST_F(LauncherDeployment, RunningAsTheDeployedLauncherMakesNoCopyButWritesTheShortcut) {
  make_directories(directory + "\\运行组件");
  write_file(launcher(), read_file(own_program_path()));
  const std::string before = file_identity(launcher());
  ScopedEnvironment child{kChildDirectoryVariable, directory};
  // Reached through a differently cased path, as a user's shortcut might.
  std::string launcherUpper = launcher();
  for (char& c : launcherUpper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  ScopedChildRole role{"launcher deployer"};
  auto process = start_program(launcherUpper, {}, CREATE_NO_WINDOW);
  EXPECT_EQ(wait_for_exit(process, 60s), 0u);
  EXPECT_EQ(file_identity(launcher()), before);
  EXPECT_FALSE(file_exists(temporary()));
  EXPECT_FALSE(file_exists(backup()));
  EXPECT_TRUE(file_exists(desktop_shortcut_path()));
}

// Wine's attrib.exe exits with 0 even for a missing file, so the test build lets a program
// of ours take its place: the WebView2 stand-in answers "+H" with exit code 87.
TEST(HidePath, AttribFailureIsReportedWithItsExitCode) {
  ScopedTempDir temp;
  write_file(temp.join("文件.txt"), "x");
  ScopedEnvironment attrib{"VELKO_TEST_ATTRIB_PROGRAM", win::narrow(built_program(L"VelkoWebView2Standin.exe"))};
  auto hidden = hide_path(temp.join("文件.txt"));
  ASSERT_FALSE(hidden);
  EXPECT_EQ(hidden.error(), "隐藏工作台运行组件失败，attrib 退出码：87");
}

TEST(HidePath, AttribThatCannotBeStarted) {
  ScopedTempDir temp;
  ScopedEnvironment attrib{"VELKO_TEST_ATTRIB_PROGRAM", temp.join("没有这个程序.exe")};
  auto hidden = hide_path(temp.path());
  ASSERT_FALSE(hidden);
  EXPECT_TRUE(hidden.error().starts_with("隐藏工作台运行组件失败：")) << hidden.error();
  EXPECT_TRUE(hidden.error().ends_with("(os error 2)")) << hidden.error();
}

TEST_F(LauncherDeployment, AttribFailureStopsTheDeployment) {
  ScopedEnvironment attrib{"VELKO_TEST_ATTRIB_PROGRAM", win::narrow(built_program(L"VelkoWebView2Standin.exe"))};
  auto deployed = deploy_launcher(directory);
  ASSERT_FALSE(deployed);
  EXPECT_EQ(deployed.error(), "隐藏工作台运行组件失败，attrib 退出码：87");
  EXPECT_FALSE(file_exists(launcher()));
}

TEST(TemporaryFile, NobodyElseCanWriteOrRemoveItWhileItIsHeld) {
  ScopedTempDir temp;
  const std::string path = temp.join("副本.exe.part");
  auto held = win::TemporaryFile::create(path);
  ASSERT_TRUE(held) << held.error();
  win::unique_file other(::CreateFileW(win::wide(path).c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_FALSE(other);
  const auto removed = win::TemporaryFile::remove_leftover(path);
  ASSERT_FALSE(removed);
  EXPECT_TRUE(win::in_use_by_another(removed.error())) << removed.error();
  const auto second = win::TemporaryFile::create(path);
  ASSERT_FALSE(second);
  EXPECT_TRUE(win::in_use_by_another(second.error())) << second.error();
}

TEST(TemporaryFile, IsDeletedUnlessRenamed) {
  ScopedTempDir temp;
  {
    auto held = win::TemporaryFile::create(temp.join("a.part"));
    ASSERT_TRUE(held);
    ASSERT_TRUE(held->write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>("abc"), 3)));
  }
  EXPECT_FALSE(file_exists(temp.join("a.part")));
  write_file(temp.join("b"), "old");
  auto held = win::TemporaryFile::create(temp.join("b.part"));
  ASSERT_TRUE(held);
  ASSERT_TRUE(held->write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>("new"), 3)));
  EXPECT_FALSE(held->rename_to(temp.join("b"), false)) << "renamed over an existing file";
  ASSERT_TRUE(held->rename_to(temp.join("b"), true));
  EXPECT_EQ(read_file(temp.join("b")), "new");
  EXPECT_FALSE(file_exists(temp.join("b.part")));
}

std::span<const std::uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(WriteThroughTemporary, ReplacesTheTargetAndLeavesNoTemporaryFile) {
  ScopedTempDir temp;
  const std::string target = temp.join("记录.txt");
  write_file(target, "old");
  write_file(target + ".part", "a leftover of an interrupted write");
  ASSERT_TRUE(win::write_through_temporary(target + ".part", target, bytes_of("新的内容")));
  EXPECT_EQ(read_file(target), "新的内容");
  EXPECT_FALSE(file_exists(target + ".part"));
}

// The check reads what was written through the very handle, which nobody else may open; a file
// it refuses never gets the name.
TEST(WriteThroughTemporary, AFileTheCheckRefusesIsDeletedAndTheTargetKept) {
  ScopedTempDir temp;
  const std::string target = temp.join("记录.txt");
  write_file(target, "old");
  std::string seen;
  const auto check = [&](HANDLE file) -> std::expected<void, std::string> {
    const win::unique_file other(::CreateFileW(win::wide(target + ".part").c_str(), GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (other) return std::unexpected(std::string("another handle opened the file"));
    char buffer[16] = {};
    DWORD read = 0;
    const LARGE_INTEGER start{};
    ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
    ::ReadFile(file, buffer, sizeof buffer, &read, nullptr);
    seen.assign(buffer, read);
    return std::unexpected(std::string("不对"));
  };
  const auto written = win::write_through_temporary(target + ".part", target, bytes_of("new"), check);
  ASSERT_FALSE(written);
  EXPECT_EQ(written.error().step, win::TemporaryWriteFailure::Step::Check);
  EXPECT_EQ(written.error().text, "不对");
  EXPECT_EQ(seen, "new");
  EXPECT_EQ(read_file(target), "old");
  EXPECT_FALSE(file_exists(target + ".part"));
}

// A rename that fails tells whether something stood at the target, so that callers can say
// "could not replace" apart from "could not save".
TEST(WriteThroughTemporary, AFailedRenameTellsWhetherATargetWasThere) {
  ScopedTempDir temp;
  write_file(temp.join("占用"), "held");
  const win::unique_file holder(::CreateFileW(win::wide(temp.join("占用")).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(holder) << ::GetLastError();
  const auto over = win::write_through_temporary(temp.join("a.part"), temp.join("占用"), bytes_of("x"));
  ASSERT_FALSE(over);
  EXPECT_EQ(over.error().step, win::TemporaryWriteFailure::Step::Replace);
  EXPECT_NE(over.error().code, 0u);
  EXPECT_FALSE(file_exists(temp.join("a.part")));
  EXPECT_EQ(read_file(temp.join("占用")), "held");
  const auto nowhere = win::write_through_temporary(temp.join("b.part"), temp.join("没有\\b"), bytes_of("x"));
  ASSERT_FALSE(nowhere);
  EXPECT_EQ(nowhere.error().step, win::TemporaryWriteFailure::Step::Rename);
  EXPECT_NE(nowhere.error().code, 0u);
  EXPECT_FALSE(file_exists(temp.join("b.part")));
}

// The product run as a user runs it from Downloads, whose owner renames it while it runs and
// puts another program at its path before the installer role deploys the launcher and hands
// over to it, elevated.
class SwappedInstaller : public ::testing::Test {
 protected:
  void SetUp() override {
    remove_webview2_registration();
    ::DeleteFileW(win::wide(desktop_shortcut_path()).c_str());
    TestService::reset();
    TestService::use_backend("python");
    TestService::publish(read_file(win::narrow(built_program(L"VelkoTarnWorkbenchSetupStandIn.exe"))),
                         VELKO_STANDIN_WORKBENCH_VERSION);
    make_directories(downloads);
  }
  void TearDown() override {
    if (product.process && !wait_for_exit(product, 0ms)) ::TerminateProcess(product.process.get(), 0);
    // The handed-over launcher may be starting the workbench just as it is ended: look again, so
    // that nothing of this test outlives it.
    for (int round = 0; round < 3; ++round) {
      for (const std::string& image : {launcher(), directory + "\\VelkoTarn工作台.exe", program, moved}) {
        end_processes_started_from(image);
      }
      std::this_thread::sleep_for(500ms);
    }
    remove_webview2_registration();
    ::DeleteFileW(win::wide(desktop_shortcut_path()).c_str());
    TestService::reset();
  }

  std::string launcher() const { return directory + "\\运行组件\\VelkoTarn工作台启动器.exe"; }

  PrivateMachine machine;
  const std::string& directory = machine.installDirectory;
  std::string downloads = machine.temp.join("下载");
  std::string program = downloads + "\\VelkoTarn工作台-Setup.exe";
  std::string moved = downloads + "\\改名.exe";
  win::ChildProcess product;
};

TEST_F(SwappedInstaller, TheLauncherIsTheProgramThatRanNotWhatItsPathNamesLater) {
  const std::string original = read_file(win::narrow(built_program(L"VelkoTarnOnlineInstaller.exe")));
  write_file(program, original);
  product = start_program(program, {"--installer", "--install-dir", directory});
  ASSERT_TRUE(wait_for_window(product.id, kProductWindowClass, 30s));
  if (::MoveFileExW(win::wide(program).c_str(), win::wide(moved).c_str(), 0)) {
    write_file(program, read_file(win::narrow(built_program(L"VelkoTarn工作台.exe"))));
  } else {
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  }
  ASSERT_EQ(wait_for_exit(product, 120s), 0u) << "the installer role did not finish and quit";
  EXPECT_TRUE(read_file(launcher()) == original) << "the launcher is not the program that ran";
}

TEST(HidePath, HidesAFile) {
  ScopedTempDir temp;
  write_file(temp.join("文件.txt"), "x");
  ASSERT_TRUE(hide_path(temp.join("文件.txt")));
  EXPECT_TRUE(is_hidden(temp.join("文件.txt")));
}

}  // namespace
}  // namespace velko::test
