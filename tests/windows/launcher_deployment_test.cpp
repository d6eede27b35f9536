// The launcher deployment on the real file system, with the real attrib.exe and the shell's
// own shortcut writer.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "install/launcher_deployment.h"
#include "support/installation_fixture.h"
#include "support/paths.h"
#include "support/product_process.h"
#include "support/scoped_temp_dir.h"
#include "win/wide.h"

namespace velko::test {
namespace {

using namespace std::chrono_literals;

constexpr char kChildDirectoryVariable[] = "VELKO_TEST_DEPLOY_AS_LAUNCHER";

class LauncherDeployment : public ::testing::Test {
 protected:
  void SetUp() override {
    ::DeleteFileW(win::wide(desktop_shortcut_path()).c_str());
    write_valid_installation(directory);
  }
  void TearDown() override { ::DeleteFileW(win::wide(desktop_shortcut_path()).c_str()); }

  std::string launcher() const { return directory + "\\运行组件\\VelkoTarn工作台启动器.exe"; }
  std::string backup() const { return directory + "\\运行组件\\VelkoTarn工作台启动器.exe.velko-launcher-backup"; }
  std::string temporary() const { return directory + "\\运行组件\\VelkoTarn工作台启动器.exe.part"; }

  ScopedTempDir temp;
  ScopedEnvironment programData{"ProgramData", temp.join("ProgramData")};
  std::string directory = temp.join("VelkoTarn工作台");
};

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

// Runs in a copy of this program placed as the deployed launcher (see the next test).
TEST(LauncherDeploymentChild, DeployAsTheLauncherItself) {
  wchar_t directory[32768];
  const DWORD length = ::GetEnvironmentVariableW(win::wide(kChildDirectoryVariable).c_str(), directory, 32768);
  if (length == 0 || length >= 32768) GTEST_SKIP() << "only run as the deployed launcher";
  auto deployed = deploy_launcher(win::narrow(directory));
  ASSERT_TRUE(deployed) << deployed.error();
}

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
  auto process = start_program(launcherUpper, {"--gtest_filter=LauncherDeploymentChild.*"}, CREATE_NO_WINDOW);
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

TEST(HidePath, HidesAFile) {
  ScopedTempDir temp;
  write_file(temp.join("文件.txt"), "x");
  ASSERT_TRUE(hide_path(temp.join("文件.txt")));
  EXPECT_TRUE(is_hidden(temp.join("文件.txt")));
}

}  // namespace
}  // namespace velko::test
