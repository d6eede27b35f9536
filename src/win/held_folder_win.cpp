#include "win/held_folder.h"

#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "common/win_path.h"
#include "win/file_identity.h"
#include "win/os_error.h"
#include "win/system_library.h"
#include "win/temporary_file.h"
#include "win/wide.h"

namespace velko::win {
namespace {

using NtCreateFileFunction = NTSTATUS NTAPI(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                            PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using StatusToErrorFunction = ULONG NTAPI(NTSTATUS);
using NtSetInformationFileFunction = NTSTATUS NTAPI(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);

constexpr unsigned kTemporaryNameAttempts = 16;

std::uint32_t error_of(NTSTATUS status) {
  static auto* const toError = system_function<StatusToErrorFunction>(L"ntdll.dll", "RtlNtStatusToDosError");
  if (toError == nullptr) return ERROR_GEN_FAILURE;
  return static_cast<std::uint32_t>(toError(status));
}

// Opens `name` inside the folder `parent` without following a link at the name or resolving it
// through any other object (OBJ_DONT_REPARSE, where the system knows it).
std::expected<unique_file, std::uint32_t> open_relative(HANDLE parent, std::wstring_view name, ACCESS_MASK access,
                                                        ULONG share, ULONG disposition, ULONG options) {
  static auto* const create = system_function<NtCreateFileFunction>(L"ntdll.dll", "NtCreateFile");
  if (create == nullptr) return std::unexpected(static_cast<std::uint32_t>(ERROR_PROC_NOT_FOUND));
  UNICODE_STRING objectName{};
  objectName.Buffer = const_cast<PWSTR>(name.data());
  objectName.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  objectName.MaximumLength = objectName.Length;
  const auto open = [&](ULONG objectFlags, HANDLE* opened) {
    OBJECT_ATTRIBUTES attributes{};
    InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE | objectFlags, parent, nullptr);
    IO_STATUS_BLOCK io{};
    return create(opened, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share, disposition,
                  options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
  };
  HANDLE opened = nullptr;
  NTSTATUS status = open(OBJ_DONT_REPARSE, &opened);
  // Windows 10 before 1703 does not know the flag. One component opened relative to a held
  // folder with FILE_OPEN_REPARSE_POINT passes no link without it either.
  if (status == static_cast<NTSTATUS>(0xC000000DL)) status = open(0, &opened);
  if (status < 0) return std::unexpected(error_of(status));
  return unique_file(opened);
}

// A folder opened as itself must be a directory and no link (a reparse point that stands for
// another name); other reparse points, such as a synchronised cloud folder, are real folders.
std::expected<void, std::uint32_t> check_real_folder(HANDLE folder) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!::GetFileInformationByHandleEx(folder, FileAttributeTagInfo, &info, sizeof info)) {
    return std::unexpected(last_error());
  }
  if ((info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return std::unexpected(static_cast<std::uint32_t>(ERROR_DIRECTORY));
  }
  if ((info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsReparseTagNameSurrogate(info.ReparseTag)) {
    return std::unexpected(static_cast<std::uint32_t>(ERROR_CANT_ACCESS_FILE));
  }
  return {};
}

std::vector<std::wstring> components_after_root(std::wstring_view rest) {
  std::vector<std::wstring> components;
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find_first_of(L"\\/", start);
    if (end == std::wstring_view::npos) end = rest.size();
    if (end > start) components.emplace_back(rest.substr(start, end - start));
    start = end + 1;
  }
  return components;
}

std::expected<void, std::uint32_t> write_all(HANDLE file, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), piece, &written, nullptr)) return std::unexpected(last_error());
    if (written == 0) return std::unexpected(static_cast<std::uint32_t>(ERROR_WRITE_FAULT));
    bytes = bytes.subspan(written);
  }
  return {};
}

// Through the native call: the name is taken relative to the folder handle as it is, where the
// documented wrapper may first make it a full path of the current folder.
std::expected<void, std::uint32_t> rename_in_folder(HANDLE file, HANDLE folder, std::wstring_view name) {
  static auto* const setInformation =
      system_function<NtSetInformationFileFunction>(L"ntdll.dll", "NtSetInformationFile");
  if (setInformation == nullptr) return std::unexpected(static_cast<std::uint32_t>(ERROR_PROC_NOT_FOUND));
  const std::size_t nameBytes = name.size() * sizeof(wchar_t);
  // FILE_RENAME_INFO has the layout of the native FILE_RENAME_INFORMATION.
  std::vector<std::byte> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = folder;
  rename->FileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(rename->FileName, name.data(), nameBytes);
  IO_STATUS_BLOCK io{};
  const NTSTATUS status =
      setInformation(file, &io, rename, static_cast<ULONG>(buffer.size()), FileRenameInformation);
  if (status < 0) return std::unexpected(error_of(status));
  return {};
}

}  // namespace

std::expected<unique_file, std::uint32_t> open_folder_without_links(const std::string& path) {
  if (!is_local_drive_path(path)) return std::unexpected(static_cast<std::uint32_t>(ERROR_BAD_PATHNAME));
  std::wstring full = wide(path);
  if (full.starts_with(L"\\\\?\\")) full.erase(0, 4);
  // "X:\": a drive root, reached through the system's own drive letter.
  const std::wstring root = L"\\\\?\\" + full.substr(0, 3);
  constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
  constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  unique_file folder(::CreateFileW(root.c_str(), kFolderAccess, kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder) return std::unexpected(last_error());
  std::wstring reached = full.substr(0, 3);
  for (const std::wstring& component : components_after_root(std::wstring_view(full).substr(3))) {
    if (component == L"." || component == L"..") return std::unexpected(static_cast<std::uint32_t>(ERROR_BAD_PATHNAME));
    auto next = open_relative(folder.get(), component, kFolderAccess, kShareAll, FILE_OPEN, FILE_DIRECTORY_FILE);
    if (!next) return std::unexpected(next.error());
    if (auto real = check_real_folder(next->get()); !real) return std::unexpected(real.error());
    // The name's own metadata too: a system that opens some links as their targets (Wine opens
    // Unix links so) still shows them as links there.
    reached += (reached.ends_with(L"\\") ? L"" : L"\\") + component;
    if (!is_plain_directory(narrow(reached)).value_or(false)) {
      return std::unexpected(static_cast<std::uint32_t>(ERROR_CANT_ACCESS_FILE));
    }
    folder = std::move(*next);
  }
  if (auto real = check_real_folder(folder.get()); !real) return std::unexpected(real.error());
  return folder;
}

std::expected<void, std::uint32_t> replace_file_in_folder(HANDLE folder, std::string_view name,
                                                          std::span<const std::uint8_t> bytes) {
  const std::wstring target = wide(std::string(name));
  // A new name each time: whatever someone put at a temporary name is left alone, never opened.
  std::expected<unique_file, std::uint32_t> file = std::unexpected(static_cast<std::uint32_t>(ERROR_FILE_EXISTS));
  for (unsigned attempt = 0; attempt < kTemporaryNameAttempts && !file; ++attempt) {
    const std::wstring temporary = target + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(attempt) + L".part";
    file = open_relative(folder, temporary, GENERIC_WRITE | DELETE, 0, FILE_CREATE, FILE_NON_DIRECTORY_FILE);
    if (!file && file.error() != ERROR_FILE_EXISTS && file.error() != ERROR_ALREADY_EXISTS) break;
  }
  if (!file) return std::unexpected(file.error());
  std::expected<void, std::uint32_t> done = write_all(file->get(), bytes);
  if (done && !::FlushFileBuffers(file->get())) done = std::unexpected(last_error());
  if (done) done = rename_in_folder(file->get(), folder, target);
  if (!done) delete_when_closed(file->get());
  return done;
}

}  // namespace velko::win
