#include "common/digest_text.h"

#include "common/utf.h"

namespace velko {

std::string digest_text(std::span<const std::uint8_t> digest) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(digest.size() * 2);
  for (const std::uint8_t byte : digest) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return text;
}

bool same_digest(std::string_view a, std::string_view b) { return equal_ignoring_ascii_case(a, b); }

}  // namespace velko
