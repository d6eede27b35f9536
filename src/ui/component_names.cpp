#include "ui/component_names.h"

namespace velko {

std::string component_long_name(ComponentKind kind, std::string_view versionText) {
  switch (kind) {
    case ComponentKind::ServicePack1: return "Service Pack 1";
    case ComponentKind::Kb4490628: return "KB4490628 服务堆栈补丁";
    case ComponentKind::Kb4474419: return "KB4474419 SHA-2 补丁";
    case ComponentKind::WebView2Runtime: return "WebView2 Evergreen 运行环境";
    case ComponentKind::Workbench: return component_display_name(ComponentKind::Workbench, versionText);
    default: return "安装组件";
  }
}

}  // namespace velko
