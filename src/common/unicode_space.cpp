#include "common/unicode_space.h"

#include "common/utf.h"

namespace velko {

bool is_unicode_space(char32_t c) {
  switch (c) {
    case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0D: case 0x20:
    case 0x85: case 0xA0: case 0x1680: case 0x2028: case 0x2029: case 0x202F: case 0x205F: case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

std::string trim_unicode_space(std::string_view text) {
  // Every white-space code point lies in the BMP, so UTF-16 units can be tested one by one.
  const std::u16string units = utf8_to_utf16(text);
  std::size_t begin = 0;
  std::size_t end = units.size();
  while (begin < end && is_unicode_space(units[begin])) ++begin;
  while (end > begin && is_unicode_space(units[end - 1])) --end;
  return utf16_to_utf8(std::u16string_view(units).substr(begin, end - begin));
}

}  // namespace velko
