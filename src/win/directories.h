#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <vector>

namespace velko::win {

// Creates the directory and every missing parent; an existing directory is fine.
// The Windows error code of the first step that failed.
std::expected<void, std::uint32_t> create_directories(const std::string& path);

// The names in a folder, without "." and ".."; an empty folder gives none. The Windows error
// code when it cannot be listed.
std::expected<std::vector<std::string>, std::uint32_t> folder_entry_names(const std::string& folder);

// Is there anything (a file, a folder, a link) at the path?
bool path_exists(const std::string& path);

// The system folder (System32), "C:\Windows\System32" when it cannot be read.
std::string system_directory();

}  // namespace velko::win
