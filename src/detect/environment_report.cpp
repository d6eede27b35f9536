#include "detect/environment_report.h"

namespace velko {

int count_missing_components(const EnvironmentReport& report) {
  return (report.webView2Present ? 0 : 1) + (report.workbenchCurrent ? 0 : 1);
}

void mark_component_installed(EnvironmentReport& report, ComponentKind kind) {
  switch (kind) {
    case ComponentKind::Generic: report.staged[staged_index(kind)] = true; return;
    case ComponentKind::ServicePack1: report.servicePack1Present = true; break;
    case ComponentKind::Kb4490628: report.kb4490628Present = true; break;
    case ComponentKind::Kb4474419: report.kb4474419Present = true; break;
    case ComponentKind::WebView2Runtime: report.webView2Present = true; break;
    case ComponentKind::Workbench: report.workbenchCurrent = true; break;
    default: return;
  }
  report.staged[staged_index(kind)] = true;
}

}  // namespace velko
