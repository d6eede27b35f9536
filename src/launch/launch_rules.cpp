#include "launch/launch_rules.h"

#include <charconv>

namespace velko {

std::string early_exit_text(std::uint32_t exitCode) {
  return "VelkoTarn工作台尚未显示主窗口便已退出，错误码 " + std::to_string(static_cast<std::int32_t>(exitCode)) + "。";
}

std::chrono::milliseconds launch_time_limit(bool testBuild, std::optional<std::string_view> overrideValue) {
  if (testBuild && overrideValue && !overrideValue->empty()) {
    std::uint32_t milliseconds = 0;
    const char* end = overrideValue->data() + overrideValue->size();
    const auto [stop, error] = std::from_chars(overrideValue->data(), end, milliseconds);
    if (error == std::errc() && stop == end && milliseconds > 0) return std::chrono::milliseconds(milliseconds);
  }
  return kLaunchTimeLimit;
}

}  // namespace velko
