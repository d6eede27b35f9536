// What children of the elevated program see of its environment, with real processes.
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/child_role.h"
#include "support/installation_fixture.h"
#include "support/scoped_temp_dir.h"
#include "win/child_process.h"
#include "win/data_folder.h"
#include "win/directories.h"
#include "win/file_identity.h"
#include "win/wide.h"

namespace velko::test {
namespace {

constexpr char kOutputVariable[] = "VELKO_TEST_ENVIRONMENT_OUTPUT";
constexpr char kRole[] = "environment writer";
constexpr const char* kWatched[] = {"TEMP", "TMP", "PATH", "PATHEXT", "ComSpec", "SystemRoot"};

// Plays a child of the product: writes what it sees of the variables above, one a line, and
// whether its TEMP is a folder.
int write_own_environment() {
  std::string text;
  for (const char* name : kWatched) text += environment_text(name) + "\n";
  const auto folder = win::is_plain_directory(environment_text("TEMP"));
  text += folder && *folder ? "folder" : "no folder";
  write_file(environment_text(kOutputVariable), text);
  return 0;
}
[[maybe_unused]] const bool kWriterRegistered = register_child_role(kRole, write_own_environment);

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string windows_folder() {
  wchar_t folder[MAX_PATH];
  const UINT length = ::GetSystemWindowsDirectoryW(folder, MAX_PATH);
  return win::narrow(std::wstring_view(folder, length));
}

// The user's own TEMP, TMP, PATH, PATHEXT and ComSpec, which an elevated program inherits.
class ChildEnvironment : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(win::create_directories(userFolder)); }

  // The variables a child started with `launch` saw.
  std::vector<std::string> seen_by_child(win::ProcessLaunch launch, std::string* ownTemporary = nullptr) {
    launch.program = own_program_path();
    auto child = win::start_process(launch);
    EXPECT_TRUE(child) << child.error();
    if (!child) return {};
    EXPECT_EQ(win::wait_for_exit(*child), 0u);
    if (ownTemporary != nullptr) *ownTemporary = child->temporaryFolder.path();
    return lines_of(read_file(output));
  }

  ScopedTempDir temp;
  ScopedEnvironment programData{"VELKO_TEST_PROGRAM_DATA", temp.join("ProgramData")};
  std::string userFolder = temp.join("用户的临时目录");
  std::string output = temp.join("环境.txt");
  ScopedEnvironment userTemp{"TEMP", userFolder};
  ScopedEnvironment userTmp{"TMP", userFolder};
  ScopedEnvironment userPath{"PATH", userFolder + ";" + environment_text("PATH")};
  ScopedEnvironment userPathExt{"PATHEXT", ".DLL;.EXE"};
  ScopedEnvironment userComSpec{"ComSpec", userFolder + "\\cmd.exe"};
  ScopedEnvironment outputVariable{kOutputVariable, output};
  ScopedChildRole role{kRole};
};

TEST_F(ChildEnvironment, AChildSeesItsOwnAdminFolderAsTempAndTheSystemsPathNotTheUsers) {
  std::string ownTemporary;
  const auto seen = seen_by_child({}, &ownTemporary);
  ASSERT_EQ(seen.size(), 7u);
  const std::string system = win::system_directory();
  const std::string windows = windows_folder();
  EXPECT_TRUE(ownTemporary.starts_with(win::installer_data_folder() + "\\temp\\")) << ownTemporary;
  EXPECT_EQ(seen[0], ownTemporary);
  EXPECT_EQ(seen[1], ownTemporary);
  EXPECT_EQ(seen[2], system + ";" + windows + ";" + system + "\\Wbem;" + system + "\\WindowsPowerShell\\v1.0\\");
  EXPECT_EQ(seen[3], ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC");
  EXPECT_EQ(seen[4], system + "\\cmd.exe");
  EXPECT_EQ(seen[5], windows);
  EXPECT_EQ(seen[6], "folder");
  // The child's folder goes once the child has been waited for.
  EXPECT_FALSE(win::path_exists(ownTemporary));
}

// A child that outlives its start (the workbench) keeps temporary files in the lasting folder.
TEST_F(ChildEnvironment, AChildGivenTheLastingFolderSeesItAndItStays) {
  const auto lasting = win::lasting_child_temporary_folder();
  ASSERT_TRUE(lasting) << lasting.error();
  EXPECT_TRUE(lasting->starts_with(win::installer_data_folder() + "\\temp\\")) << *lasting;
  win::ProcessLaunch launch;
  launch.temporaryFolder = *lasting;
  std::string ownTemporary = "unset";
  const auto seen = seen_by_child(launch, &ownTemporary);
  ASSERT_EQ(seen.size(), 7u);
  EXPECT_EQ(seen[0], *lasting);
  EXPECT_EQ(seen[1], *lasting);
  EXPECT_EQ(ownTemporary, "");
  EXPECT_TRUE(win::path_exists(*lasting));
}

}  // namespace
}  // namespace velko::test
