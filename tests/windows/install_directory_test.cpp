// The install directory is made private to administrators before anything is put into it.
#include "install/install_directory.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "support/installation_fixture.h"
#include "support/links.h"
#include "support/scoped_temp_dir.h"
#include "win/child_process.h"
#include "win/directories.h"
#include "win/folder_security.h"
#include "win/wide.h"

namespace velko::test {
namespace {

constexpr char kSharedFolderText[] = "所选安装目录可被其他用户修改，且其中已有其他文件。为安全起见，请选择其他安装目录。";

bool trusted(const std::string& path) { return win::is_trusted_entry(path).value_or(false); }

// Wine stores no descriptors, so a folder that the program secured still reads back as it was.
bool system_keeps_file_security(const ScopedTempDir& temp) {
  const std::string probe = temp.join("probe");
  if (!win::create_secure_folder(probe)) return false;
  let_everyone_change(probe);
  const bool kept = win::secure_admin_folder(probe) && trusted(probe);
  return kept;
}

TEST(InstallDirectory, AMissingFolderIsCreatedPrivateWithItsParents) {
  ScopedTempDir temp;
  const std::string directory = temp.join("上层\\VelkoTarn工作台");
  const auto prepared = prepare_install_directory(directory);
  ASSERT_TRUE(prepared) << prepared.error();
  EXPECT_TRUE(file_exists(directory));
  EXPECT_TRUE(trusted(directory));
  // The parent is not ours to change.
  EXPECT_TRUE(file_exists(temp.join("上层")));
}

TEST(InstallDirectory, AnExistingPrivateFolderIsUsedAsItIs) {
  ScopedTempDir temp;
  const std::string directory = temp.join("VelkoTarn工作台");
  make_directories(directory);
  write_file(directory + "\\notes.txt", "mine");
  ASSERT_TRUE(trusted(directory));
  const auto prepared = prepare_install_directory(directory);
  ASSERT_TRUE(prepared) << prepared.error();
  EXPECT_EQ(read_file(directory + "\\notes.txt"), "mine");
}

TEST(InstallDirectory, AFolderOthersCanChangeIsTakenOverWhenEmptyOrAWorkbench) {
  ScopedTempDir temp;
  const std::string empty = temp.join("空");
  make_directories(empty);
  let_everyone_change(empty);
  const std::string workbench = temp.join("VelkoTarn工作台");
  write_valid_installation(workbench, "1.0.0", "MZ");
  let_everyone_change(workbench);
  for (const std::string& directory : {empty, workbench}) {
    const auto prepared = prepare_install_directory(directory);
    ASSERT_TRUE(prepared) << directory << ": " << prepared.error();
  }
  if (!system_keeps_file_security(temp)) GTEST_SKIP() << "this system keeps no security descriptors on files";
  EXPECT_TRUE(trusted(empty));
  EXPECT_TRUE(trusted(workbench));
}

TEST(InstallDirectory, AFolderOthersCanChangeWithOtherFilesIsRefusedAndLeftAlone) {
  ScopedTempDir temp;
  const std::string directory = temp.join("下载");
  make_directories(directory);
  write_file(directory + "\\照片.jpg", "mine");
  let_everyone_change(directory);
  const auto prepared = prepare_install_directory(directory);
  ASSERT_FALSE(prepared);
  EXPECT_EQ(prepared.error(), kSharedFolderText);
  EXPECT_EQ(read_file(directory + "\\照片.jpg"), "mine");
  EXPECT_FALSE(trusted(directory));
}

TEST(InstallDirectory, WhatALaunchWouldRefuseIsLookedAtToo) {
  // A private folder whose program others can change: installing again must mend it when it is
  // a workbench, and must not touch it when it is not.
  ScopedTempDir temp;
  const std::string workbench = temp.join("VelkoTarn工作台");
  write_valid_installation(workbench, "1.0.0", "MZ");
  let_everyone_change(workbench + "\\VelkoTarn工作台.exe");
  EXPECT_TRUE(prepare_install_directory(workbench));

  const std::string other = temp.join("别的");
  make_directories(other);
  write_file(other + "\\VelkoTarn工作台.exe", "someone's");
  let_everyone_change(other + "\\VelkoTarn工作台.exe");
  EXPECT_EQ(prepare_install_directory(other).error(), kSharedFolderText);
}

TEST(InstallDirectory, AFolderAboveThatOthersCanRearrangeIsRefused) {
  // Someone who may rename "应用" can move the installation away and put his own tree in its place.
  ScopedTempDir temp;
  const std::string above = temp.join("应用");
  make_directories(above);
  let_everyone_change(above);
  const std::string directory = above + "\\VelkoTarn工作台";
  EXPECT_EQ(prepare_install_directory(directory).error(),
            "所选安装目录的上级目录可被其他用户改名或替换。为安全起见，请选择其他安装目录。");
  EXPECT_FALSE(file_exists(directory));
  write_valid_installation(directory, "1.0.0", "MZ");
  EXPECT_EQ(is_private_installation(directory, directory + "\\VelkoTarn工作台.exe"), false);
}

TEST(InstallDirectory, PrivateInstallation) {
  ScopedTempDir temp;
  const std::string directory = temp.join("VelkoTarn工作台");
  write_valid_installation(directory, "1.0.0", "MZ");
  const std::string program = directory + "\\VelkoTarn工作台.exe";
  EXPECT_EQ(is_private_installation(directory, program), true);
  EXPECT_EQ(is_private_installation(directory, {}), true);
  const auto missing = is_private_installation(directory, directory + "\\没有.exe");
  ASSERT_FALSE(missing);
  EXPECT_TRUE(missing.error().starts_with("检查安装目录权限失败：")) << missing.error();
  make_directories(directory + "\\运行组件");
  EXPECT_EQ(is_private_installation(directory, program), true);
  let_everyone_change(directory + "\\运行组件");
  EXPECT_EQ(is_private_installation(directory, program), false);
  EXPECT_EQ(is_private_installation(directory, {}), false);
}

// Children never work in the folder this elevated program was started in.
TEST(ChildProcess, StartsInTheSystemFolderUnlessToldOtherwise) {
  ScopedTempDir temp;
  wchar_t saved[MAX_PATH * 4] = {};
  ::GetCurrentDirectoryW(MAX_PATH * 4, saved);
  ASSERT_TRUE(::SetCurrentDirectoryW(win::wide(temp.path()).c_str()));
  const std::string output = temp.join("cwd.txt");
  win::ProcessLaunch launch;
  launch.program = win::system_directory() + "\\cmd.exe";
  launch.arguments = {"/c", "cd", ">", output};
  auto child = win::start_process(launch);
  ::SetCurrentDirectoryW(saved);
  ASSERT_TRUE(child);
  ASSERT_TRUE(win::wait_for_exit(*child));
  const std::string text = read_file(output);
  EXPECT_EQ(text.substr(0, text.find_first_of("\r\n")), win::system_directory());
}

}  // namespace
}  // namespace velko::test
