#pragma once

#include <windows.h>

#include <cstdint>
#include <expected>
#include <optional>
#include <string>

namespace velko::win {

// True exactly when the path's own metadata (links not followed) can be read and it is
// neither a directory nor a symbolic link or junction. Any error gives false.
bool is_plain_file(const std::string& path);

// The size in the path's own metadata (a link's own, never its target's), readable while
// another handle holds the file unshared. Nothing when the metadata cannot be read.
std::optional<std::uint64_t> file_size(const std::string& path);
// The size of a file already open; nothing when it cannot be read.
std::optional<std::uint64_t> file_size_of(HANDLE file);

// The final form of a path with every link followed, as Windows reports it for an open
// handle, without the "\\?\" prefix. Nothing when the path cannot be opened or resolved.
std::optional<std::string> final_path(const std::string& path);
// The same for a file already open (the handle needs no particular access).
std::optional<std::string> final_path_of(HANDLE file);

// Both paths resolved to their final form (either failing gives false), then compared for
// equal length and equality ignoring ASCII letter case.
bool same_path(const std::string& a, const std::string& b);

// Does the path's own metadata (links not followed) say: a directory that is no link?
// The Windows error code when the metadata cannot be read.
std::expected<bool, std::uint32_t> is_plain_directory(const std::string& path);

// Files that the program reads whole (manifest, install-location record, the installer's error
// report, the shortcut) are small; one larger than this is not one of ours.
inline constexpr std::uint64_t kWholeFileLimit = 1'048'576;

// The whole file, or the Windows error code; ERROR_FILE_TOO_LARGE when it holds more than
// `limit` bytes (also when it grows past the limit while being read). Opened so that writers and
// deleters may go on.
std::expected<std::string, std::uint32_t> read_whole_file(const std::string& path,
                                                          std::uint64_t limit = kWholeFileLimit);

// A path read from a file that may be looked at: a local drive path (is_local_drive_path) whose
// drive is neither a network drive nor missing. Never touches the path itself.
bool is_local_path(const std::string& path);

}  // namespace velko::win
