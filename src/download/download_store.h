#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>

namespace velko {

// SHA-256 of a file's bytes as 64 upper-case hexadecimal characters, or "读取校验文件失败：{error}".
// Streams through one 1 MiB buffer; the file is opened sharing read, write and delete.
std::expected<std::string, std::string> sha256_of_file(const std::string& path);
// SHA-256 of bytes in memory, as above, or "计算 SHA-256 失败：{error}" when the system's hash
// provider cannot be used.
std::expected<std::string, std::string> sha256_of_bytes(std::span<const std::uint8_t> bytes);
// Moves `from` over `to`: an existing `to` is deleted first ("替换旧下载文件失败：{error}", `from`
// untouched), then `from` is renamed ("保存下载文件失败：{error}").
std::expected<void, std::string> move_into_place(const std::string& from, const std::string& to);
// The same for a file this process holds open (with DELETE access): renamed through the handle,
// so no other writer can take the file between its check and its new name.
std::expected<void, std::string> move_open_file_into_place(void* file, const std::string& to);

}  // namespace velko
