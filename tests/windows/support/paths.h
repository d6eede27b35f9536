#pragma once

#include <string>

namespace velko::test {

// The build and source folders as Windows paths.
std::wstring build_dir();
std::wstring source_dir();
// A program the build produced, by file name, in the build folder.
std::wstring built_program(const std::wstring& fileName);

}  // namespace velko::test
