#include "app/classify_windows.h"

#include "app/bootstrap_state.h"
#include "app/environment_assembly.h"
#include "detect/component_detection.h"
#include "detect/installed_workbench.h"
#include "detect/running_windows.h"

namespace velko {

void classify_windows(BootstrapState& state) {
  const SystemClassification system = classify_running_windows();
  std::optional<ReleasePolicy> policy;
  if (auto known = current_policy(state)) policy = std::move(*known);
  std::optional<EnvironmentReport> components;
  if (system.supported) components = detect_components(policy);
  std::optional<WorkbenchInstallState> installed;
  if (state.installDirectory) {
    installed = check_installed_workbench(*state.installDirectory,
                                          policy ? std::optional(policy->latestVersion) : std::nullopt);
  }
  apply_classification(state, system, std::move(components), installed);
}

}  // namespace velko
