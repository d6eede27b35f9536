#pragma once

#include <compare>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace velko {

// A release version: three numbers, each at most 65535 for any text `is_valid_version` accepts.
struct ProductVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t patch = 0;

  auto operator<=>(const ProductVersion&) const = default;
};

// Exactly three dot-separated decimal numbers 0..65535 without leading zeros ("1.2.3").
bool is_valid_version(std::string_view text);

// The numbers of a valid version, or "版本号格式无效：{text}".
std::expected<ProductVersion, std::string> parse_version(std::string_view text);

// `a` compared with `b` numerically, or the parse message of the first invalid one (a first).
std::expected<std::strong_ordering, std::string> compare_versions(std::string_view a, std::string_view b);

}  // namespace velko
