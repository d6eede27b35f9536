#pragma once

#include <cstdint>
#include <expected>
#include <string>

namespace velko::win {

// Creates the directory and every missing parent; an existing directory is fine.
// The Windows error code of the first step that failed.
std::expected<void, std::uint32_t> create_directories(const std::string& path);

// The system folder (System32), "C:\Windows\System32" when it cannot be read.
std::string system_directory();

}  // namespace velko::win
