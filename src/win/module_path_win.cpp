#include "win/module_path.h"

#include <windows.h>

#include <vector>

#include "win/wide.h"

namespace velko::win {

std::optional<std::string> own_executable_path() {
  std::vector<wchar_t> buffer(MAX_PATH);
  while (buffer.size() <= 32768) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::nullopt;
    if (length < buffer.size()) return narrow(std::wstring_view(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
  return std::nullopt;
}

}  // namespace velko::win
