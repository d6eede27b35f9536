#include "detect/running_workbench_rules.h"

namespace velko {
namespace {

constexpr std::uint32_t kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER: no such process any more
constexpr std::uint32_t kNotFound = 1168;        // ERROR_NOT_FOUND
constexpr std::uint32_t kStillActive = 259;      // STILL_ACTIVE

std::string close_windows_advice() {
  return "请先保存并关闭所有VelkoTarn工作台窗口，然后点击“重新检测”；如果仍然提示，请退出更新助手后重新打开。";
}

std::string pid_and_code(std::uint32_t processId, std::uint32_t code) {
  return "（PID " + std::to_string(processId) + "，错误码 " + std::to_string(code) + "）。";
}

}  // namespace

std::expected<CandidateOutcome, std::string> unopened_candidate_outcome(std::uint32_t processId,
                                                                        std::uint32_t openError) {
  if (openError == kInvalidParameter || openError == kNotFound) return CandidateOutcome::Ended;
  return std::unexpected("无法检查正在运行的工作台进程" + pid_and_code(processId, openError) + close_windows_advice());
}

bool exit_code_means_ended(std::optional<std::uint32_t> exitCode) {
  return exitCode.has_value() && *exitCode != kStillActive;
}

std::expected<CandidateOutcome, std::string> unreadable_candidate_outcome(std::uint32_t processId,
                                                                          std::uint32_t queryError,
                                                                          std::optional<std::uint32_t> exitCode) {
  if (exit_code_means_ended(exitCode)) return CandidateOutcome::Ended;
  return std::unexpected("无法读取正在运行的工作台路径" + pid_and_code(processId, queryError) + close_windows_advice());
}

}  // namespace velko
