#include "install/installation_plan.h"

namespace velko {

std::vector<ComponentKind> plan_installation(const ComponentStatuses& statuses) {
  std::vector<ComponentKind> plan;
  for (const ComponentRow& row : kComponentTable) {
    if (is_installable(row) && !statuses.at(row.kind).present) plan.push_back(row.kind);
  }
  return plan;
}

bool is_accepted_installer_exit(std::int32_t exitCode) {
  return exitCode == 0 || exitCode == 1641 || exitCode == 3010 || exitCode == 0x00240006;
}

std::expected<void, std::string> check_installer_exit(std::int32_t exitCode, std::string_view label) {
  if (is_accepted_installer_exit(exitCode)) return {};
  return std::unexpected(std::string(label) + "执行失败，错误码 " + std::to_string(exitCode) + "。");
}

std::string workbench_step_text(bool update, std::string_view installDirectory) {
  return std::string("正在") + (update ? "更新" : "安装") + "VelkoTarn工作台到 " + std::string(installDirectory) + "。";
}

std::string missing_staged_files_text(std::string_view componentName) {
  return std::string(componentName) + " 下载结果丢失，已停止安装。";
}

}  // namespace velko
