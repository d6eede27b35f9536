#include "common/json_document.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <system_error>

namespace velko {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The characters a JSON number is written with.
bool is_number_char(char c) { return is_digit(c) || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E'; }

// Whether `text` is exactly one JSON number.
bool is_json_number(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  auto digits = [&] {
    const std::size_t start = i;
    while (i < n && is_digit(text[i])) ++i;
    return i > start;
  };
  if (i < n && text[i] == '-') ++i;
  if (i < n && text[i] == '0') {
    ++i;
  } else if (!digits()) {
    return false;
  }
  if (i < n && text[i] == '.') {
    ++i;
    if (!digits()) return false;
  }
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    if (!digits()) return false;
  }
  return i == n;
}

// Whether a JSON number's first significant digit, with the exponent applied, stands at or
// before the units place: |value| >= 1. Zero has no significant digit and gives false.
bool at_least_one(std::string_view number) {
  if (number.starts_with('-')) number.remove_prefix(1);
  const std::size_t exponentAt = number.find_first_of("eE");
  const std::string_view mantissa = number.substr(0, exponentAt);
  const std::size_t pointAt = mantissa.find('.');
  const std::string_view whole = mantissa.substr(0, pointAt);
  const std::string_view fraction = pointAt == std::string_view::npos ? std::string_view() : mantissa.substr(pointAt + 1);

  std::int64_t order = 0;  // power of ten of the first significant digit
  if (const std::size_t first = whole.find_first_not_of('0'); first != std::string_view::npos) {
    order = static_cast<std::int64_t>(whole.size() - first) - 1;
  } else if (const std::size_t first = fraction.find_first_not_of('0'); first != std::string_view::npos) {
    order = -static_cast<std::int64_t>(first) - 1;
  } else {
    return false;
  }
  if (exponentAt != std::string_view::npos) {
    std::string_view exponent = number.substr(exponentAt + 1);
    const bool negative = exponent.starts_with('-');
    if (exponent.starts_with('-') || exponent.starts_with('+')) exponent.remove_prefix(1);
    // Saturate: far beyond any text that fits in a body, and far beyond a double's range.
    std::int64_t value = 0;
    for (char c : exponent) value = std::min<std::int64_t>(value * 10 + (c - '0'), 1'000'000'000'000);
    order += negative ? -value : value;
  }
  return order >= 0;
}

// Whether a JSON number lies beyond the largest double (as opposed to below the smallest).
bool beyond_double_range(std::string_view number) {
  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  return error == std::errc::result_out_of_range && at_least_one(number);
}

}  // namespace

bool is_bare_json_text(std::string_view text) {
  return text.find('\0') == std::string_view::npos && !text.starts_with("\xEF\xBB\xBF");
}

std::string with_huge_numbers_tamed(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"') {
      // A string, copied as it stands up to its closing quote; a backslash takes the next byte
      // along. An unterminated or malformed string is left for the parser to refuse.
      std::size_t end = i + 1;
      while (end < text.size() && text[end] != '"') end += text[end] == '\\' ? 2 : 1;
      end = std::min(end + 1, text.size());
      out.append(text.substr(i, end - i));
      i = end;
    } else if (is_number_char(c)) {
      // A whole run of number characters: only a run that is one number is looked at, so the
      // parser sees the same tokens either way.
      std::size_t end = i;
      while (end < text.size() && is_number_char(text[end])) ++end;
      const std::string_view run = text.substr(i, end - i);
      if (is_json_number(run) && beyond_double_range(run)) {
        out += "0.0";
      } else {
        out.append(run);
      }
      i = end;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

}  // namespace velko
