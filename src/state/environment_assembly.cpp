#include "state/environment_assembly.h"

#include "state/bootstrap_state.h"

namespace velko {

void apply_classification(BootstrapState& state, const SystemClassification& system,
                          std::optional<EnvironmentReport> components,
                          std::optional<WorkbenchInstallState> installedWorkbench) {
  EnvironmentReport report = std::move(components).value_or(EnvironmentReport{});
  report.systemLabel = system.systemLabel;
  report.verdict = system.verdict;
  report.supported = system.supported;
  if (installedWorkbench) {
    // The check of the chosen directory overrides what detection found at the remembered one.
    apply_installed_workbench(state, *installedWorkbench);
    report.components[ComponentKind::Workbench].present =
        *installedWorkbench == WorkbenchInstallState::Current;
  }
  state.currentComponent = next_component(report.components);
  state.environment = std::move(report);
}

void apply_installed_workbench(BootstrapState& state, WorkbenchInstallState installedWorkbench) {
  state.workbenchState = installedWorkbench;
  state.updateMode = installedWorkbench == WorkbenchInstallState::Older;
}

}  // namespace velko
