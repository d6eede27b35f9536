#include "common/win_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

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

TEST(WinPath, LocalDrivePaths) {
  for (const char* path : {"C:\\", "d:\\VelkoTarn工作台", "D:/x", "\\\\?\\D:\\x"}) {
    EXPECT_TRUE(is_local_drive_path(path)) << path;
  }
  for (const char* path : {"", "C:", "C:x", "x", "\\x", "\\\\server\\share", "//server/share", "\\\\?\\UNC\\server\\share",
                           "\\\\.\\C:\\x", "\\\\.\\pipe\\x", "\\??\\C:\\x", "\\\\?\\GLOBALROOT\\Device\\x", "1:\\x",
                           "ab\\c", "\\\\?\\ab\\x", "C;\\x"}) {
    EXPECT_FALSE(is_local_drive_path(path)) << path;
  }
  // A view that ends after "C:" is read no further than its end (ASan sees the bytes after it).
  for (const char* text : {"C:", "C", "\\\\?\\C:"}) {
    const std::size_t size = std::string_view(text).size();
    const auto exact = std::make_unique<char[]>(size);
    std::copy_n(text, size, exact.get());
    EXPECT_FALSE(is_local_drive_path(std::string_view(exact.get(), size))) << text;
  }
}

}  // namespace
}  // namespace velko
