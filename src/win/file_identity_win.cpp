#include "win/file_identity.h"

#include <windows.h>

#include <vector>

#include "common/utf.h"
#include "common/win_path.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::win {
namespace {

constexpr DWORD kNameSurrogateBit = 0x20000000;

// Links are recognised by their reparse tag: any name-surrogate tag (symbolic link,
// junction, and the like) redirects to another name.
bool is_name_surrogate(const WIN32_FILE_ATTRIBUTE_DATA& data, const std::wstring& path) {
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return false;
  WIN32_FIND_DATAW find{};
  unique_find search(::FindFirstFileW(path.c_str(), &find));
  // A reparse point whose tag cannot be read is not trusted; neither is one that reports the
  // tag 0, which no real reparse point has (some file systems show links that way).
  if (!search || find.dwReserved0 == 0) return true;
  return (find.dwReserved0 & kNameSurrogateBit) != 0;
}

std::optional<WIN32_FILE_ATTRIBUTE_DATA> own_metadata(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  // GetFileAttributesEx reports the entry itself, never the target of a link.
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return data;
}

std::string strip_long_path_prefix(std::wstring path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) {
    path = L"\\\\" + path.substr(8);
  } else if (path.starts_with(L"\\\\?\\")) {
    path = path.substr(4);
  }
  return narrow(path);
}

}  // namespace

bool is_plain_file(const std::string& path) {
  const std::wstring widePath = wide(path);
  const auto data = own_metadata(widePath);
  if (!data) return false;
  if (data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  return !is_name_surrogate(*data, widePath);
}

std::optional<std::uint64_t> file_size(const std::string& path) {
  const auto data = own_metadata(wide(path));
  if (!data) return std::nullopt;
  return (static_cast<std::uint64_t>(data->nFileSizeHigh) << 32) | data->nFileSizeLow;
}

std::optional<std::uint64_t> file_size_of(HANDLE file) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file, &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::optional<std::string> final_path(const std::string& path) {
  if (path.empty()) return std::nullopt;
  // No access rights are needed to ask for the name; backup semantics opens directories too.
  unique_file file(::CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return std::nullopt;
  return final_path_of(file.get());
}

std::optional<std::string> final_path_of(HANDLE file) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD length = ::GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return std::nullopt;
    if (length < buffer.size()) return strip_long_path_prefix(std::wstring(buffer.data(), length));
    buffer.resize(length + 1);
  }
}

bool same_path(const std::string& a, const std::string& b) {
  const auto first = final_path(a);
  if (!first) return false;
  const auto second = final_path(b);
  if (!second) return false;
  return equal_ignoring_ascii_case(*first, *second);
}

std::expected<bool, std::uint32_t> is_plain_directory(const std::string& path) {
  const std::wstring widePath = wide(path);
  const auto data = own_metadata(widePath);
  if (!data) return std::unexpected(static_cast<std::uint32_t>(::GetLastError()));
  if ((data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  return !is_name_surrogate(*data, widePath);
}

std::expected<std::string, std::uint32_t> read_whole_file(const std::string& path, std::uint64_t limit) {
  unique_file file(::CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::unexpected(static_cast<std::uint32_t>(::GetLastError()));
  std::string bytes;
  char buffer[65536];
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) {
      return std::unexpected(static_cast<std::uint32_t>(::GetLastError()));
    }
    if (read == 0) return bytes;
    if (bytes.size() + read > limit) return std::unexpected(static_cast<std::uint32_t>(ERROR_FILE_TOO_LARGE));
    bytes.append(buffer, read);
  }
}

bool is_local_path(const std::string& path) {
  if (!is_local_drive_path(path)) return false;
  std::string_view rest = path;
  if (rest.starts_with("\\\\?\\")) rest.remove_prefix(4);
  const std::wstring root = wide(std::string(rest.substr(0, 2)) + "\\");
  const UINT type = ::GetDriveTypeW(root.c_str());
  return type != DRIVE_REMOTE && type != DRIVE_NO_ROOT_DIR && type != DRIVE_UNKNOWN;
}

}  // namespace velko::win
