#include "win/environment.h"

#include <windows.h>

#include <string_view>
#include <vector>

#include "win/wide.h"

namespace velko::win {

std::optional<std::string> environment_value(const wchar_t* name) {
  // The first call gives the size with the terminating zero: 1 for an empty value.
  const DWORD needed = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (needed <= 1) return std::nullopt;
  std::vector<wchar_t> buffer(needed);
  const DWORD length = ::GetEnvironmentVariableW(name, buffer.data(), needed);
  // Zero, or a value that grew between the two calls.
  if (length == 0 || length >= needed) return std::nullopt;
  return narrow(std::wstring_view(buffer.data(), length));
}

}  // namespace velko::win
