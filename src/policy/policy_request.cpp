#include "policy/policy_request.h"

#include <algorithm>

namespace velko {

std::string with_error_code(std::string_view step, std::uint32_t code) {
  return std::string(step) + " " + std::to_string(code) + "。";
}

std::string policy_status_text(std::uint32_t status) {
  return "更新策略服务器返回 HTTP " + std::to_string(status) + "。";
}

std::string probe_status_text(std::uint32_t status) { return "安装包服务器返回 HTTP " + std::to_string(status) + "。"; }

std::optional<std::size_t> policy_read_size(std::size_t held, std::size_t available) {
  if (held > kPolicyBodyLimit - 1) return std::nullopt;
  return std::min({available, kPolicyBodyLimit - held, kPolicyReadChunk});
}

}  // namespace velko
