#pragma once

#include <gtest/gtest.h>

#include <string>

#include "install/launcher_files.h"
#include "support/installation_fixture.h"
#include "support/scoped_temp_dir.h"
#include "win/wide.h"

namespace velko::test {

// A valid installation in a private folder with its own ProgramData, for deploying the launcher
// into; the desktop shortcut is removed before and after.
class DeploymentFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ::DeleteFileW(win::wide(desktop_shortcut_path()).c_str());
    write_valid_installation(directory);
  }
  void TearDown() override { ::DeleteFileW(win::wide(desktop_shortcut_path()).c_str()); }

  std::string launcher() const { return launcher_paths(directory).launcher; }
  std::string backup() const { return launcher_paths(directory).backup; }
  std::string temporary() const { return launcher_paths(directory).temporary; }

  ScopedTempDir temp;
  ScopedEnvironment programData{"VELKO_TEST_PROGRAM_DATA", temp.join("ProgramData")};
  std::string directory = temp.join("VelkoTarn工作台");
};

}  // namespace velko::test
