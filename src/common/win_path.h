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

// True only for an absolute path on a drive letter ("X:\..." or "\\?\X:\..."). A network path
// ("\\server\share", "\\?\UNC\..."), a device ("\\.\..."), a drive-relative or relative path
// is not: an elevated program must not even look at one read from a file, because opening it
// hands the administrator's credentials to whichever host it names.
bool is_local_drive_path(std::string_view path);

}  // namespace velko
