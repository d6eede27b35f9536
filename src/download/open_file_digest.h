#pragma once

#include <windows.h>

#include <expected>
#include <string>

namespace velko {

// SHA-256 of an open file from its first byte, read through that very handle (which needs read
// access), as 64 upper-case hexadecimal characters, or "读取校验文件失败：{error}". A caller that
// opened the file without write and delete sharing knows the digest still holds while it keeps
// the handle.
std::expected<std::string, std::string> sha256_of_open_file(HANDLE file);

}  // namespace velko
