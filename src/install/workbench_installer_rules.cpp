#include "install/workbench_installer_rules.h"

#include "common/unicode_space.h"
#include "common/utf.h"

namespace velko {

std::string installer_run_directory_name(std::string_view version, std::uint32_t processId, std::uint64_t nanos,
                                         unsigned attempt) {
  return "v" + std::string(version) + "-" + std::to_string(processId) + "-" + std::to_string(nanos) + "-" +
         std::to_string(attempt);
}

std::string installer_failure_text(const std::optional<std::string>& freshReport, std::string_view signedExitCode) {
  if (freshReport && is_valid_utf8(*freshReport) && !trim_unicode_space(*freshReport).empty()) return *freshReport;
  return "IDE 安装任务返回错误码 " + std::string(signedExitCode) + "。";
}

}  // namespace velko
