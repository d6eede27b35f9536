#include "policy/version.h"

#include <array>

namespace velko {
namespace {

bool parse_component(std::string_view piece, std::uint32_t& value) {
  if (piece.empty() || piece.size() > 5) return false;
  if (piece.size() > 1 && piece[0] == '0') return false;
  value = 0;
  for (const char c : piece) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return value <= 65535;
}

bool split(std::string_view text, ProductVersion& version) {
  std::array<std::uint32_t*, 3> parts = {&version.major, &version.minor, &version.patch};
  std::size_t start = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    const std::size_t dot = text.find('.', start);
    const bool last = i == 2;
    if (last != (dot == std::string_view::npos)) return false;
    const std::size_t end = last ? text.size() : dot;
    if (!parse_component(text.substr(start, end - start), *parts[i])) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

bool is_valid_version(std::string_view text) {
  ProductVersion version;
  return split(text, version);
}

std::expected<ProductVersion, std::string> parse_version(std::string_view text) {
  ProductVersion version;
  if (!split(text, version)) return std::unexpected("版本号格式无效：" + std::string(text));
  return version;
}

std::expected<std::strong_ordering, std::string> compare_versions(std::string_view a, std::string_view b) {
  auto first = parse_version(a);
  if (!first) return std::unexpected(std::move(first.error()));
  auto second = parse_version(b);
  if (!second) return std::unexpected(std::move(second.error()));
  return *first <=> *second;
}

}  // namespace velko
