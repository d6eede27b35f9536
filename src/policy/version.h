#pragma once

#include <compare>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace velko {

struct ProductVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t patch = 0;

  auto operator<=>(const ProductVersion&) const = default;
};

// Exactly three dot-separated decimal components, each 0..65535 without leading zeros.
bool is_valid_version(std::string_view text);
// The three numbers, or "版本号格式无效：{text}".
std::expected<ProductVersion, std::string> parse_version(std::string_view text);
// a compared with b, or the parse message of the first invalid one (a first).
std::expected<std::strong_ordering, std::string> compare_versions(std::string_view a, std::string_view b);

}  // namespace velko
