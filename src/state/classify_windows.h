#pragma once

namespace velko {

struct BootstrapState;

// Window thread only. Classifies the running Windows, detects components on a supported
// system against the release known so far, checks the workbench in the install directory, and
// stores the report, `currentComponent`, `workbenchState` and `updateMode` into the state.
void classify_windows(BootstrapState& state);

// Window thread only. Only the check of the workbench in the install directory (when one is
// set), stored as `workbenchState` and `updateMode`: what the window's first frame needs of the
// classification, which comes after it.
void classify_installed_workbench(BootstrapState& state);

}  // namespace velko
