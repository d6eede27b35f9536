#pragma once

#include <string>
#include <string_view>

namespace velko {

// The path with the extension of its last component replaced by `extension` (given without
// the dot): "C:\d\a.exe" with "exe.part" gives "C:\d\a.exe.part".
// A last component without a dot gets "." and the extension appended. A leading dot
// (".profile") is part of the name, not an extension.
std::string replace_extension(std::string_view path, std::string_view extension);

}  // namespace velko
