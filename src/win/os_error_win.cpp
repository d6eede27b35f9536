#include "win/os_error.h"

#include <windows.h>

#include <cstdio>

#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::win {

std::string os_error_text(std::uint32_t code) {
  unique_hlocal<wchar_t*> buffer;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      0, reinterpret_cast<wchar_t*>(buffer.put()), 0, nullptr);
  std::string description;
  if (length != 0 && buffer) {
    description = narrow(std::wstring_view(buffer.get(), length));
    while (!description.empty() && (description.back() == '\n' || description.back() == '\r' ||
                                     description.back() == ' ' || description.back() == '.')) {
      description.pop_back();
    }
  }
  if (description.empty()) description = "Unknown error";
  return description + " (os error " + std::to_string(code) + ")";
}

std::uint32_t last_error() { return static_cast<std::uint32_t>(::GetLastError()); }

std::string last_error_text() { return os_error_text(last_error()); }

std::unexpected<std::string> os_failure(std::string_view prefix, std::uint32_t code) {
  return std::unexpected(std::string(prefix) + os_error_text(code));
}

std::string hresult_text(std::int32_t hr) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(hr));
  return buffer;
}

}  // namespace velko::win
