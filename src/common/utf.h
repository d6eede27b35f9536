#pragma once

#include <string>
#include <string_view>

namespace velko {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD, never an error.
std::string utf16_to_utf8(std::u16string_view text);

// UTF-8 to UTF-16; an invalid or overlong sequence becomes U+FFFD.
std::u16string utf8_to_utf16(std::string_view text);

bool is_valid_utf8(std::string_view text);

// Folds only the ASCII letters A-Z; every other byte must match exactly.
bool equal_ignoring_ascii_case(std::string_view a, std::string_view b);

}  // namespace velko
