#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>

namespace velko {

// The "ProgramData" environment value, else "C:\ProgramData" (also when the value is empty).
std::string program_data_folder();
// {program data}\VelkoInstaller: everything the program keeps lives below it.
std::string installer_data_folder();
// Creates or finds {program data}\VelkoInstaller and locks it down: owned by Administrators, a
// protected DACL (SYSTEM and Administrators full control, Users read and execute) that everything
// below inherits, nothing below with rights of its own. A folder that we find is used only when
// it and everything in it is owned by and changeable only by Administrators, SYSTEM,
// TrustedInstaller or our own user; otherwise (also for a link in its place) it is moved aside
// under a new name in the same parent, kept with its contents, and a new folder is made, with
// the secure descriptor given in the creating call. Returns the path, or the system's
// description of the failure followed by " (os error {code})" for the caller to prefix.
std::expected<std::string, std::string> prepare_installer_data_folder();
// The same check without creating anything: the data folder when it exists and is wholly ours
// (a folder that is not is moved aside first), else nothing. For readers of what it holds.
std::optional<std::string> trusted_installer_data_folder();
// {program data}\VelkoInstaller\downloads, created (with the protected folder above) when missing,
// or "创建下载目录失败：{error}".
std::expected<std::string, std::string> downloads_folder();
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
