#include "common/win_path.h"

#include <gtest/gtest.h>

namespace velko {
namespace {

TEST(WinPath, FileNameAndParent) {
  EXPECT_EQ(path_file_name("C:\\a\\b.exe"), "b.exe");
  EXPECT_EQ(path_file_name("C:\\"), "");
  EXPECT_EQ(path_file_name("b.exe"), "b.exe");
  EXPECT_EQ(path_file_name("C:\\a\\"), "");
  EXPECT_EQ(path_parent("C:\\a\\b.exe"), "C:\\a");
  EXPECT_EQ(path_parent("C:\\a\\\\b.exe"), "C:\\a");
  EXPECT_EQ(path_parent("C:\\b.exe"), "C:\\");
  EXPECT_EQ(path_parent("C:\\a\\"), "C:\\");
  EXPECT_FALSE(path_parent("C:\\"));
  EXPECT_FALSE(path_parent("b.exe"));
  EXPECT_EQ(path_parent("\\\\server\\share\\dir\\f"), "\\\\server\\share\\dir");
  EXPECT_EQ(path_parent("\\\\server\\share\\f"), "\\\\server\\share\\");
  EXPECT_EQ(path_join("C:\\a", "b"), "C:\\a\\b");
  EXPECT_EQ(path_join("C:\\", "b"), "C:\\b");
}

}  // namespace
}  // namespace velko
