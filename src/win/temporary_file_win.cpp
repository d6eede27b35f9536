#include "win/temporary_file.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "common/utf.h"
#include "common/win_path.h"
#include "win/directories.h"
#include "win/file_identity.h"
#include "win/os_error.h"
#include "win/wide.h"

namespace velko::win {

std::expected<void, std::uint32_t> TemporaryFile::remove_leftover(const std::string& path) {
  // The entry itself is opened (a link as the link, where the system can) and deleted through
  // that handle, so what is deleted is what was checked.
  unique_file leftover(::CreateFileW(wide(path).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!leftover) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return {};
    return std::unexpected(static_cast<std::uint32_t>(error));
  }
  // A link opened as what it leads to (Wine opens Unix links so) has that other file's name.
  const auto parent = path_parent(path);
  const auto folder = parent ? final_path(*parent) : std::nullopt;
  const auto opened = final_path_of(leftover.get());
  if (!folder || !opened || !equal_ignoring_ascii_case(*opened, path_join(*folder, path_file_name(path)))) {
    return std::unexpected(static_cast<std::uint32_t>(ERROR_CANT_RESOLVE_FILENAME));
  }
  if (!delete_when_closed(leftover.get())) return std::unexpected(last_error());
  return {};
}

std::expected<TemporaryFile, std::uint32_t> TemporaryFile::create(const std::string& path) {
  // CREATE_NEW never opens what stands at the name, so a link put there after the leftover was
  // removed is not followed either; DELETE access lets the file be renamed through this handle.
  unique_file file(::CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::unexpected(last_error());
  return TemporaryFile(std::move(file));
}

TemporaryFile::~TemporaryFile() {
  if (!file_) return;
  const DWORD lastError = ::GetLastError();
  delete_when_closed(file_.get());
  ::SetLastError(lastError);
}

std::expected<void, std::uint32_t> TemporaryFile::write(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file_.get(), bytes.data(), piece, &written, nullptr)) return std::unexpected(last_error());
    if (written == 0) return std::unexpected(static_cast<std::uint32_t>(ERROR_WRITE_FAULT));
    bytes = bytes.subspan(written);
  }
  return {};
}

std::expected<void, std::uint32_t> TemporaryFile::flush() {
  if (!::FlushFileBuffers(file_.get())) return std::unexpected(last_error());
  return {};
}

std::expected<void, std::uint32_t> TemporaryFile::rename_to(const std::string& target, bool replaceExisting) {
  if (auto renamed = rename_open_file(file_.get(), target, replaceExisting); !renamed) return renamed;
  file_.reset();
  return {};
}

std::expected<void, std::uint32_t> rename_open_file(HANDLE file, const std::string& target, bool replaceExisting) {
  const std::wstring name = wide(target);
  const std::size_t nameBytes = name.size() * sizeof(wchar_t);
  std::vector<std::byte> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = replaceExisting ? TRUE : FALSE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(rename->FileName, name.c_str(), nameBytes + sizeof(wchar_t));
  if (!::SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size()))) {
    return std::unexpected(last_error());
  }
  return {};
}

std::expected<void, TemporaryWriteFailure> write_through_temporary(const std::string& temporaryPath,
                                                                   const std::string& target,
                                                                   std::span<const std::uint8_t> bytes,
                                                                   const WrittenFileCheck& check) {
  using Step = TemporaryWriteFailure::Step;
  const auto failed = [](Step step, std::uint32_t code) {
    return std::unexpected(TemporaryWriteFailure{step, code, {}});
  };
  if (auto removed = TemporaryFile::remove_leftover(temporaryPath); !removed) {
    return failed(Step::RemoveLeftover, removed.error());
  }
  auto file = TemporaryFile::create(temporaryPath);
  if (!file) return failed(Step::Create, file.error());
  if (auto written = file->write(bytes); !written) return failed(Step::Write, written.error());
  if (auto flushed = file->flush(); !flushed) return failed(Step::Flush, flushed.error());
  if (check) {
    if (auto checked = check(file->handle()); !checked) {
      return std::unexpected(TemporaryWriteFailure{Step::Check, 0, std::move(checked.error())});
    }
  }
  const bool replacing = path_exists(target);
  if (auto renamed = file->rename_to(target, true); !renamed) {
    return failed(replacing ? Step::Replace : Step::Rename, renamed.error());
  }
  return {};
}

bool in_use_by_another(std::uint32_t createError) {
  return createError == ERROR_SHARING_VIOLATION || createError == ERROR_FILE_EXISTS ||
         createError == ERROR_ALREADY_EXISTS;
}

bool delete_when_closed(HANDLE file) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

}  // namespace velko::win
