#include "win/directories.h"

#include <windows.h>

#include "common/win_path.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::win {

std::expected<void, std::uint32_t> create_directories(const std::string& path) {
  const std::wstring widePath = wide(path);
  const DWORD attributes = ::GetFileAttributesW(widePath.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
  if (const auto parent = path_parent(path); parent && *parent != path) {
    if (auto created = create_directories(*parent); !created) return created;
  }
  if (!::CreateDirectoryW(widePath.c_str(), nullptr)) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
      const DWORD now = ::GetFileAttributesW(widePath.c_str());
      if (now != INVALID_FILE_ATTRIBUTES && (now & FILE_ATTRIBUTE_DIRECTORY)) return {};
    }
    return std::unexpected(static_cast<std::uint32_t>(error));
  }
  return {};
}

std::expected<std::vector<std::string>, std::uint32_t> folder_entry_names(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry{};
  unique_find find(::FindFirstFileExW(wide(path_join(folder, "*")).c_str(), FindExInfoBasic, &entry,
                                      FindExSearchNameMatch, nullptr, 0));
  if (!find) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return names;
    return std::unexpected(static_cast<std::uint32_t>(error));
  }
  do {
    const std::wstring_view name = entry.cFileName;
    if (name != L"." && name != L"..") names.push_back(narrow(name));
  } while (::FindNextFileW(find.get(), &entry));
  const DWORD error = ::GetLastError();
  if (error != ERROR_NO_MORE_FILES) return std::unexpected(static_cast<std::uint32_t>(error));
  return names;
}

bool path_exists(const std::string& path) {
  return ::GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string system_directory() {
  wchar_t system[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "C:\\Windows\\System32";
  return narrow(std::wstring_view(system, length));
}

}  // namespace velko::win
