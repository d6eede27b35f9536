#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velko {

inline constexpr char kWorkbenchMainArgument[] = "--main";
inline constexpr char kIncompleteInstallationText[] = "工作台安装清单或主程序不完整，无法安全启动。";
inline constexpr char kLaunchTimeoutText[] = "VelkoTarn工作台启动等待超时，请关闭此提示后重新尝试。";
inline constexpr char kNoInstallResultText[] = "没有检测到完整的 IDE 安装结果，无法打开程序。";
// The program to start, or a folder it trusts, may be changed by other users: starting it
// elevated would run whatever they put there.
inline constexpr char kInstallationNotPrivateText[] = "安装目录权限不安全，请重新运行安装程序修复。";
inline constexpr std::chrono::milliseconds kLaunchPollPeriod{100};
inline constexpr std::chrono::seconds kLaunchTimeLimit{90};
// Test builds only: milliseconds that replace the 90-second limit, so a test can see the
// time-out without waiting for it.
inline constexpr char kLaunchLimitOverrideVariable[] = "VELKO_TEST_LAUNCH_LIMIT_MS";

// "VelkoTarn工作台尚未显示主窗口便已退出，错误码 {code}。", the code in signed decimal.
std::string early_exit_text(std::uint32_t exitCode);

// The start-up limit: 90 s, or in a test build a positive decimal millisecond count given
// by the override variable. Release builds ignore the override.
std::chrono::milliseconds launch_time_limit(bool testBuild, std::optional<std::string_view> overrideValue);

}  // namespace velko
