#pragma once

#include <string>
#include <string_view>

namespace velko::test {

// A second, independent spelling of ASCII case folding, for checking the product's own.
inline std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace velko::test
