#pragma once

#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "policy/release_policy.h"

namespace velko {

// The download service's policy document as decoded, before any rule is applied.
struct BootstrapPolicy {
  std::string currentVersion;
  std::string minSupportedVersion;
  std::string latestVersion;
  std::string downloadUrl;
  std::string updateSha256;
  std::optional<std::uint64_t> installerBytes;  // null and absent are the same
  std::string target;
  std::string arch;

  bool operator==(const BootstrapPolicy&) const = default;
};

// Strict decoding: one object (or the array of the eight values in member order) with nothing
// but JSON white space around it; duplicate members, wrong types, a negative, fractional or
// exponent installerBytes and missing required members are refused; unknown members are
// ignored. The error names what was wrong, for tests only: users see the format text.
std::expected<BootstrapPolicy, std::string> decode_bootstrap_policy(std::string_view body);

// Learns the installer size when the policy leaves it out: the size (at least 1) or a message.
using InstallerSizeProbe = std::function<std::expected<std::uint32_t, std::string>(const std::string& address)>;

// Decodes and checks a policy body in the fixed order and keeps what later steps need; the
// first failing check decides the message. Calls `probe` only when installerBytes is missing.
std::expected<ReleasePolicy, std::string> accept_policy_body(std::string_view body, std::string_view serviceHost,
                                                             const InstallerSizeProbe& probe);

inline constexpr char kPolicyFormatInvalid[] = "正式更新策略格式无效，已停止当前操作。";
inline constexpr char kPolicyMismatch[] = "正式更新策略与当前 Windows x64 助手不匹配。";
inline constexpr char kPolicyVersionInvalid[] = "正式更新策略中的版本号无效。";
inline constexpr char kPolicyMinimumAboveLatest[] = "正式更新策略中的最低版本高于最新版本。";
inline constexpr char kPolicySha256Invalid[] = "正式安装包 SHA256 无效。";
inline constexpr char kPolicySizeInvalid[] = "正式安装包大小无效。";
inline constexpr char kPolicySizeProbePrefix[] = "读取正式安装包大小失败：";

}  // namespace velko
