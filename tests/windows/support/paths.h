#pragma once

#include <string>

namespace velko::test {

// The build folder (VELKO_BUILD_DIR, set by CTest) as a Windows path.
std::wstring build_dir();
// A program the build produced, by file name, in the build folder.
std::wstring built_program(const std::wstring& fileName);

}  // namespace velko::test
