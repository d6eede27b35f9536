#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velko {

// Pure helpers for Windows path texts (UTF-8, '\' or '/' as separators).

// The last component, or empty when the path ends in a separator or is a bare root.
std::string path_file_name(std::string_view path);
// The path without its last component; "X:\a.exe" gives "X:\". Absent for a root or a bare name.
std::optional<std::string> path_parent(std::string_view path);
// Joins with one backslash.
std::string path_join(std::string_view directory, std::string_view name);

}  // namespace velko
