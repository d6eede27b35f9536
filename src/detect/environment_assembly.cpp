#include "detect/environment_assembly.h"

#include "app/bootstrap_state.h"

namespace velko {

void apply_classification(BootstrapState& state, const SystemClassification& system,
                          const std::optional<ComponentPresence>& components,
                          std::optional<WorkbenchInstallState> installedWorkbench) {
  EnvironmentReport report;
  report.systemLabel = system.systemLabel;
  report.verdict = system.verdict;
  report.supported = system.supported;
  if (components) {
    report.servicePack1Present = components->servicePack1Present;
    report.kb4490628Present = components->kb4490628Present;
    report.kb4474419Present = components->kb4474419Present;
    report.webView2Present = components->webView2Present;
    report.workbenchCurrent = components->workbenchCurrent;
    report.staged = components->staged;
  }
  if (installedWorkbench) {
    // The check of the chosen directory overrides what detection found at the remembered one.
    state.workbenchState = *installedWorkbench;
    state.updateMode = *installedWorkbench == WorkbenchInstallState::Older;
    report.workbenchCurrent = *installedWorkbench == WorkbenchInstallState::Current;
  }
  state.currentComponent = report.webView2Present ? ComponentKind::Workbench : ComponentKind::WebView2Runtime;
  state.environment = std::move(report);
}

}  // namespace velko
