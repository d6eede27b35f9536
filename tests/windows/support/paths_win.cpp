#include "support/paths.h"

#include <windows.h>

#include <cstdlib>

#include "win/wide.h"

namespace velko::test {

namespace {

// Wine maps the Unix root to Z:.
std::wstring windows_path_of(const char* unixPath) {
  std::wstring path = L"Z:" + win::wide(unixPath);
  for (auto& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

}  // namespace

std::wstring build_dir() { return windows_path_of(VELKO_BUILD_DIR); }
std::wstring source_dir() { return windows_path_of(VELKO_SOURCE_DIR); }

std::wstring built_program(const std::wstring& fileName) { return build_dir() + L"\\" + fileName; }

}  // namespace velko::test
