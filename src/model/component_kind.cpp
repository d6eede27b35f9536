#include "model/component_kind.h"

namespace velko {
namespace {

std::string workbench_display_name(std::string_view versionText) {
  return "VelkoTarn工作台 v" + std::string(versionText);
}

}  // namespace

std::string release_version_text(const std::expected<ReleasePolicy, std::string>& policy) {
  return policy ? policy->latestVersion : std::string("等待检测");
}

std::string component_display_name(ComponentKind kind, std::string_view versionText) {
  switch (kind) {
    case ComponentKind::ServicePack1: return "Service Pack 1";
    case ComponentKind::Kb4490628: return "KB4490628";
    case ComponentKind::Kb4474419: return "KB4474419";
    case ComponentKind::WebView2Runtime: return "WebView2 运行环境";
    case ComponentKind::Workbench: return workbench_display_name(versionText);
    default: return "安装组件";
  }
}

}  // namespace velko
