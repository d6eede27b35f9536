#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velko {

// The policy body is refused beyond the limit and read in pieces of at most the chunk.
inline constexpr std::size_t kPolicyBodyLimit = 262'144;
inline constexpr std::size_t kPolicyReadChunk = 65'536;

// Prefix of every transport failure of the policy request.
inline constexpr char kPolicyConnectPrefix[] = "连接正式更新服务失败：";

// Step texts of the policy request; those ending in "，错误码" get " {code}。" appended.
inline constexpr char kPolicySessionFailed[] = "初始化更新策略连接失败，错误码";
inline constexpr char kPolicyConnectFailed[] = "连接更新策略服务器失败，错误码";
inline constexpr char kPolicyOpenFailed[] = "创建更新策略请求失败，错误码";
inline constexpr char kPolicySendFailed[] = "发送更新策略请求失败，错误码";
inline constexpr char kPolicyReceiveFailed[] = "接收更新策略响应失败，错误码";
inline constexpr char kPolicyStatusFailed[] = "读取更新策略状态失败，错误码";
inline constexpr char kPolicyReadFailed[] = "读取更新策略数据失败，错误码";
inline constexpr char kPolicyTooLarge[] = "更新策略响应过大。";
inline constexpr char kPolicyEmpty[] = "更新策略服务器返回了空响应。";

// Step texts of the installer size probe.
inline constexpr char kProbeSessionFailed[] = "初始化安装包检测失败，错误码";
inline constexpr char kProbeConnectFailed[] = "连接安装包服务器失败，错误码";
inline constexpr char kProbeOpenFailed[] = "创建安装包检测请求失败，错误码";
inline constexpr char kProbeSendFailed[] = "发送安装包检测请求失败，错误码";
inline constexpr char kProbeReceiveFailed[] = "接收安装包检测响应失败，错误码";
inline constexpr char kProbeStatusFailed[] = "读取安装包检测状态失败，错误码";
inline constexpr char kProbeNoSize[] = "安装包服务器没有返回有效文件大小。";

// "{step} {code}。" with the Windows error code in decimal.
std::string with_error_code(std::string_view step, std::uint32_t code);
// "更新策略服务器返回 HTTP {status}。"
std::string policy_status_text(std::uint32_t status);
// "安装包服务器返回 HTTP {status}。"
std::string probe_status_text(std::uint32_t status);

// How many bytes the next read of the policy body may ask for, given what is held and what
// the connection offers (not 0); nothing when the body is already over the limit.
std::optional<std::size_t> policy_read_size(std::size_t held, std::size_t available);

}  // namespace velko
