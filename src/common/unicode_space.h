#pragma once

#include <string>
#include <string_view>

namespace velko {

// White space in the Unicode sense (White_Space property), for trimming texts read from files.
bool is_unicode_space(char32_t c);

// The text without leading and trailing Unicode white space. Expects valid UTF-8.
std::string trim_unicode_space(std::string_view text);

}  // namespace velko
