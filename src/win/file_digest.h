#pragma once

#include <windows.h>

#include <cstdint>
#include <expected>
#include <span>
#include <string>

namespace velko::win {

// SHA-256 of an open file from its first byte, read through that very handle (which needs read
// access), as 64 upper-case hexadecimal characters, or "读取校验文件失败：{error}". A caller that
// opened the file without write and delete sharing knows the digest still holds while it keeps
// the handle.
std::expected<std::string, std::string> sha256_of_open_file(HANDLE file);
// The same for a file named by its path, opened sharing read, write and delete.
std::expected<std::string, std::string> sha256_of_file(const std::string& path);
// SHA-256 of bytes in memory, as above, or "计算 SHA256 失败：{error}" when the system's hash
// provider cannot be used.
std::expected<std::string, std::string> sha256_of_bytes(std::span<const std::uint8_t> bytes);

}  // namespace velko::win
