#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>

namespace velko {

// Moves `from` over `to`: an existing `to` is deleted first ("替换旧下载文件失败：{error}", `from`
// untouched), then `from` is renamed ("保存下载文件失败：{error}").
std::expected<void, std::string> move_into_place(const std::string& from, const std::string& to);
// The same for a file this process holds open (with DELETE access): renamed through the handle,
// so no other writer can take the file between its check and its new name.
std::expected<void, std::string> move_open_file_into_place(void* file, const std::string& to);

}  // namespace velko
