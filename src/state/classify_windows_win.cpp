#include "state/classify_windows.h"

#include "detect/component_detection.h"
#include "detect/installed_workbench.h"
#include "detect/running_windows.h"
#include "state/bootstrap_state.h"
#include "state/environment_assembly.h"

namespace velko {
namespace {

std::optional<ReleasePolicy> known_policy(BootstrapState& state) {
  if (auto known = current_policy(state)) return std::move(*known);
  return std::nullopt;
}

WorkbenchInstallState check_install_directory(const BootstrapState& state, const std::optional<ReleasePolicy>& policy) {
  return check_installed_workbench(*state.installDirectory, policy ? std::optional(policy->latestVersion) : std::nullopt);
}

}  // namespace

void classify_windows(BootstrapState& state) {
  const SystemClassification system = classify_running_windows();
  const std::optional<ReleasePolicy> policy = known_policy(state);
  std::optional<EnvironmentReport> components;
  if (system.supported) components = detect_components(policy);
  std::optional<WorkbenchInstallState> installed;
  if (state.installDirectory) installed = check_install_directory(state, policy);
  apply_classification(state, system, std::move(components), installed);
}

void classify_installed_workbench(BootstrapState& state) {
  if (state.installDirectory) apply_installed_workbench(state, check_install_directory(state, known_policy(state)));
}

}  // namespace velko
