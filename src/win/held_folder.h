#pragma once

#include <windows.h>

#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>

#include "win/unique_any.h"

namespace velko::win {

// Opens a folder on a local drive as itself: from the drive's root, one component at a time,
// each opened relative to the folder before it without following a link at its name (a
// symbolic link or junction is opened as itself and refused with ERROR_CANT_ACCESS_FILE; a
// file, with ERROR_DIRECTORY). Whatever the path names after this, the handle stays the folder
// that was checked. ERROR_BAD_PATHNAME for a path that is not on a local drive.
std::expected<unique_file, std::uint32_t> open_folder_without_links(const std::string& path);

// Writes `bytes` as the file `name` in the held `folder`: a new file made under a temporary
// name next to it (never opening anything that stands there), written, flushed and renamed
// over `name` relative to the folder. What stood at `name`, also a link, is replaced as the
// entry itself; nothing is ever written through a link. A file that does not get the name is
// removed. The Windows error code of the step that failed.
std::expected<void, std::uint32_t> replace_file_in_folder(HANDLE folder, std::string_view name,
                                                          std::span<const std::uint8_t> bytes);

}  // namespace velko::win
