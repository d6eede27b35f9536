#include "win/wide.h"

#include "common/utf.h"

namespace velko::win {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring wide(std::string_view text) {
  const std::u16string converted = utf8_to_utf16(text);
  return std::wstring(reinterpret_cast<const wchar_t*>(converted.data()), converted.size());
}

std::string narrow(std::wstring_view text) {
  return utf16_to_utf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

std::string narrow_until_nul(const wchar_t* buffer, std::size_t capacity) {
  std::size_t length = 0;
  while (length < capacity && buffer[length] != L'\0') ++length;
  return narrow(std::wstring_view(buffer, length));
}

}  // namespace velko::win
