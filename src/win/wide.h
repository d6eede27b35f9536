#pragma once

#include <string>
#include <string_view>

namespace velko::win {

// UTF-8 to zero-terminated UTF-16 for Windows calls.
std::wstring wide(std::string_view text);
// UTF-16 from Windows to UTF-8; unpaired surrogates become U+FFFD.
std::string narrow(std::wstring_view text);
// Up to the first NUL of a fixed buffer.
std::string narrow_until_nul(const wchar_t* buffer, std::size_t capacity);

}  // namespace velko::win
