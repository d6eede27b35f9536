#include "install/launcher_files.h"

#include <gtest/gtest.h>

#include "common/path_extension.h"

namespace velko {
namespace {

TEST(PathExtension, ReplacesOnlyTheLastComponentsExtension) {
  EXPECT_EQ(replace_extension("C:\\d\\a.exe", "exe.part"), "C:\\d\\a.exe.part");
  EXPECT_EQ(replace_extension("C:\\d\\Setup-v1.4.2.exe", "partial"), "C:\\d\\Setup-v1.4.2.partial");
  EXPECT_EQ(replace_extension("C:\\d.x\\name", "partial"), "C:\\d.x\\name.partial");
  EXPECT_EQ(replace_extension("C:\\d\\.profile", "bak"), "C:\\d\\.profile.bak");
  EXPECT_EQ(replace_extension("a.b.c", "z"), "a.b.z");
}

TEST(LauncherFiles, PathsOfAnInstallDirectory) {
  const LauncherPaths paths = launcher_paths("D:\\VelkoTarn工作台");
  EXPECT_EQ(paths.folder, "D:\\VelkoTarn工作台\\运行组件");
  EXPECT_EQ(paths.launcher, "D:\\VelkoTarn工作台\\运行组件\\VelkoTarn工作台启动器.exe");
  EXPECT_EQ(paths.temporary, "D:\\VelkoTarn工作台\\运行组件\\VelkoTarn工作台启动器.exe.part");
  EXPECT_EQ(paths.backup, "D:\\VelkoTarn工作台\\运行组件\\VelkoTarn工作台启动器.exe.velko-launcher-backup");
  EXPECT_EQ(paths.olderLauncher, "D:\\VelkoTarn工作台\\VelkoTarn工作台启动器.exe");
}

TEST(LauncherFiles, RunAsUserBitOnlyTouchesByte21) {
  std::string link(76, '\0');
  link[20] = '\x9b';
  link[21] = '\x00';
  link[22] = '\x08';
  std::string expected = link;
  expected[21] = '\x20';
  ASSERT_TRUE(mark_run_as_user(link));
  EXPECT_EQ(link, expected);
  // Already set stays set; the other bits of the byte survive.
  link[21] = '\x62';
  ASSERT_TRUE(mark_run_as_user(link));
  EXPECT_EQ(static_cast<unsigned char>(link[21]), 0x62);
  link[21] = '\x41';
  ASSERT_TRUE(mark_run_as_user(link));
  EXPECT_EQ(static_cast<unsigned char>(link[21]), 0x61);
}

TEST(LauncherFiles, TooShortLink) {
  std::string link(21, 'x');
  EXPECT_EQ(mark_run_as_user(link).error(), "桌面启动入口文件不完整。");
  EXPECT_EQ(link, std::string(21, 'x'));
  std::string empty;
  EXPECT_FALSE(mark_run_as_user(empty));
  std::string exact(22, '\0');
  ASSERT_TRUE(mark_run_as_user(exact));
  EXPECT_EQ(exact[21], '\x20');
}

TEST(LauncherFiles, FailureTexts) {
  EXPECT_EQ(attrib_exit_text(1), "隐藏工作台运行组件失败，attrib 退出码：1");
  EXPECT_EQ(attrib_exit_text(0xFFFFFFFFu), "隐藏工作台运行组件失败，attrib 退出码：-1");
  EXPECT_EQ(launcher_replace_failure_text("拒绝访问。 (os error 5)", nullptr), "更新工作台启动器失败：拒绝访问。 (os error 5)");
  const std::string restore = "B (os error 32)";
  EXPECT_EQ(launcher_replace_failure_text("A (os error 5)", &restore),
            "更新工作台启动器失败：A (os error 5)；恢复旧启动器也失败：B (os error 32)");
}

}  // namespace
}  // namespace velko
