#include "win/directories.h"

#include <windows.h>

#include "common/win_path.h"
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

std::string system_directory() {
  wchar_t system[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "C:\\Windows\\System32";
  return narrow(std::wstring_view(system, length));
}

}  // namespace velko::win
