#pragma once

#include <optional>

#include "detect/environment_report.h"
#include "detect/windows_version.h"

namespace velko {

struct BootstrapState;

// Stores one classification's findings into the state: a new report replacing the old one
// as a whole, `currentComponent`, and (only when a workbench check was made, i.e. an install
// directory is set) `workbenchState` and `updateMode`. `components` (the flags detection found)
// is given on a supported system only; without it every present and staged flag is false.
void apply_classification(BootstrapState& state, const SystemClassification& system,
                          std::optional<EnvironmentReport> components,
                          std::optional<WorkbenchInstallState> installedWorkbench);

// Stores only the workbench check of the install directory: `workbenchState` and `updateMode`.
void apply_installed_workbench(BootstrapState& state, WorkbenchInstallState installedWorkbench);

}  // namespace velko
