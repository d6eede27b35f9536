#include "policy/policy_request.h"

#include <algorithm>
#include <cstdint>

namespace velko {

std::string with_error_code(std::string_view step, std::uint32_t code) {
  return std::string(step) + " " + std::to_string(code) + "。";
}

std::string policy_status_text(std::uint32_t status) {
  return "更新策略服务器返回 HTTP " + std::to_string(status) + "。";
}

std::string probe_status_text(std::uint32_t status) { return "安装包服务器返回 HTTP " + std::to_string(status) + "。"; }

std::optional<std::uint64_t> parse_content_length(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::optional<std::size_t> policy_read_size(std::size_t held, std::size_t available) {
  if (held > kPolicyBodyLimit - 1) return std::nullopt;
  return std::min({available, kPolicyBodyLimit - held, kPolicyReadChunk});
}

}  // namespace velko
