#pragma once

#include <windows.h>

#include <cstdint>
#include <expected>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "win/sha256.h"

namespace velko::win {

// Feeds an open file from its first byte to its end into `hash`, through that very handle (read
// access), 1 MiB at a time; the file position is left at the end. "读取校验文件失败：{error}".
// Held without write sharing, the file cannot change between this and the bytes appended after it.
std::expected<void, std::string> hash_open_file(HANDLE file, Sha256& hash);

// Copies `source` from its first byte to its end to `target` (from its position on) in one pass,
// hashing every byte as it is read: the digest describes exactly the bytes written. A failed read
// or write gives "{copyFailure}{error}", a failure of the hash "读取校验文件失败：{error}".
std::expected<std::string, std::string> copy_hashing(HANDLE source, HANDLE target, std::string_view copyFailure);

// SHA-256 of an open file from its first byte, read through that very handle (which needs read
// access), as 64 upper-case hexadecimal characters, or "读取校验文件失败：{error}". A caller that
// opened the file without write and delete sharing knows the digest still holds while it keeps
// the handle.
std::expected<std::string, std::string> sha256_of_open_file(HANDLE file);
// The same, read through a second handle opened from `file` (the same file, with a position of
// its own) on a thread of its own while `alongside` runs on this one: two checks that each read
// the whole file take about as long as one. `alongside` may read through `file`. Without a
// second handle or thread, `alongside` runs first and the digest is read through `file` after it.
std::expected<std::string, std::string> sha256_of_open_file_beside(HANDLE file, const std::function<void()>& alongside);
// The same for a file named by its path, opened sharing read, write and delete.
std::expected<std::string, std::string> sha256_of_file(const std::string& path);
// SHA-256 of bytes in memory, as above, or "计算 SHA256 失败：{error}" when the system's hash
// provider cannot be used.
std::expected<std::string, std::string> sha256_of_bytes(std::span<const std::uint8_t> bytes);

}  // namespace velko::win
