// Content-Length and Content-Range values of a download answer. The whole input is the header
// value; the readings are compared with the rules written out again here, and the choice of how
// to write a resumed answer follows the range reading.

#include <optional>
#include <variant>

#include "common/http_header.h"
#include "download/staging_rules.h"
#include "fuzz_targets.h"

namespace velko {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Decimal digits at the start of `text` as a number; nothing on overflow or without a digit.
std::optional<std::uint64_t> leading_number(std::string_view text, std::size_t& length) {
  length = 0;
  std::uint64_t value = 0;
  while (length < text.size() && text[length] >= '0' && text[length] <= '9') {
    const auto digit = static_cast<std::uint64_t>(text[length] - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
    ++length;
  }
  if (length == 0) return std::nullopt;
  return value;
}

std::optional<std::uint64_t> expected_length(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  std::size_t length = 0;
  const auto value = leading_number(text, length);
  if (!value || length != text.size()) return std::nullopt;
  return value;
}

// The first byte position of "bytes {first}-...": blanks before the unit, the unit in any letter
// case, at least one blank after it, and the number directly followed by "-".
std::optional<std::uint64_t> expected_range_start(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  if (text.size() < 5) return std::nullopt;
  for (std::size_t i = 0; i < 5; ++i) {
    const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
    if (c != "bytes"[i]) return std::nullopt;
  }
  text.remove_prefix(5);
  if (text.empty() || !is_blank(text.front())) return std::nullopt;
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  std::size_t length = 0;
  const auto start = leading_number(text, length);
  if (!start || length >= text.size() || text[length] != '-') return std::nullopt;
  return start;
}

}  // namespace

int fuzz_http_values(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);

  VELKO_FUZZ_CHECK(parse_content_length(text) == expected_length(text));

  const auto start = expected_range_start(text);
  const std::string range(text);
  std::vector<std::uint64_t> offsets = {0, 1, 1000, UINT64_MAX};
  if (start) offsets.push_back(*start);
  for (const std::uint64_t offset : offsets) {
    const bool startsThere = content_range_starts_at(text, offset);
    VELKO_FUZZ_CHECK(startsThere == (start && *start == offset));
    for (const std::uint32_t status : {200u, 206u, 416u}) {
      const auto write = choose_partial_write(status, offset, range);
      const bool append = std::holds_alternative<PartialWrite>(write) &&
                          std::get<PartialWrite>(write) == PartialWrite::Append;
      if (status == 206 && offset > 0) {
        // Appended exactly when the range continues the partial file.
        VELKO_FUZZ_CHECK(append == startsThere);
      } else if (status == 416) {
        VELKO_FUZZ_CHECK(std::holds_alternative<std::string>(write));
      } else {
        VELKO_FUZZ_CHECK(std::get_if<PartialWrite>(&write) && std::get<PartialWrite>(write) == PartialWrite::Restart);
      }
    }
  }
  return 0;
}

}  // namespace velko
