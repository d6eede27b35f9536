// UTF-8 and UTF-16 conversion. The input is read both as UTF-8 and as UTF-16 (pairs of bytes,
// little-endian); validity is compared with the encoding rule written out again here, and valid
// text of either form must survive the round trip through the other.

#include "ascii_lower.h"
#include "common/utf.h"
#include "fuzz_targets.h"

namespace velko {
namespace {

// Shortest form only, no surrogate code points, nothing above U+10FFFF.
bool expected_valid_utf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    std::uint32_t code = 0;
    std::uint32_t least = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, code = lead & 0x07, least = 0x10000;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

bool has_unpaired_surrogate(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        ++i;
        continue;
      }
      return true;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) return true;
  }
  return false;
}

}  // namespace

int fuzz_utf(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);

  const bool valid = is_valid_utf8(text);
  VELKO_FUZZ_CHECK(valid == expected_valid_utf8(text));
  const std::u16string wide = utf8_to_utf16(text);
  VELKO_FUZZ_CHECK(!has_unpaired_surrogate(wide));
  const std::string back = utf16_to_utf8(wide);
  VELKO_FUZZ_CHECK(is_valid_utf8(back));
  if (valid) VELKO_FUZZ_CHECK(back == text);

  std::u16string units(size / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  const std::string narrow = utf16_to_utf8(units);
  VELKO_FUZZ_CHECK(is_valid_utf8(narrow));
  if (!has_unpaired_surrogate(units)) VELKO_FUZZ_CHECK(utf8_to_utf16(narrow) == units);

  const std::string_view left = text.substr(0, size / 2);
  const std::string_view right = text.substr(size / 2);
  VELKO_FUZZ_CHECK(test::ascii_lower(text).size() == text.size());
  VELKO_FUZZ_CHECK(equal_ignoring_ascii_case(left, right) == (test::ascii_lower(left) == test::ascii_lower(right)));
  return 0;
}

}  // namespace velko
