#include "policy/version_rules.h"

#include <array>

namespace velko {
namespace {

// Splits a valid version into its numbers; false for anything `is_valid_version` refuses.
bool split_version(std::string_view text, std::array<std::uint32_t, 3>& numbers) {
  std::size_t position = 0;
  for (std::size_t index = 0; index < numbers.size(); ++index) {
    if (index > 0) {
      if (position >= text.size() || text[position] != '.') return false;
      ++position;
    }
    const std::size_t start = position;
    std::uint32_t value = 0;
    while (position < text.size() && text[position] >= '0' && text[position] <= '9') {
      value = value * 10 + static_cast<std::uint32_t>(text[position] - '0');
      if (value > 65535) return false;
      ++position;
    }
    const std::size_t digits = position - start;
    if (digits == 0) return false;
    if (digits > 1 && text[start] == '0') return false;
    numbers[index] = value;
  }
  return position == text.size();
}

}  // namespace

bool is_valid_version(std::string_view text) {
  std::array<std::uint32_t, 3> numbers{};
  return split_version(text, numbers);
}

std::expected<ProductVersion, std::string> parse_version(std::string_view text) {
  std::array<std::uint32_t, 3> numbers{};
  if (!split_version(text, numbers)) return std::unexpected("版本号格式无效：" + std::string(text));
  return ProductVersion{numbers[0], numbers[1], numbers[2]};
}

std::expected<std::strong_ordering, std::string> compare_versions(std::string_view a, std::string_view b) {
  const auto left = parse_version(a);
  if (!left) return std::unexpected(left.error());
  const auto right = parse_version(b);
  if (!right) return std::unexpected(right.error());
  return *left <=> *right;
}

}  // namespace velko
