#pragma once

namespace velko {

struct BootstrapState;

// Window thread only. Classifies the running Windows, detects components on a supported
// system against the release known so far, checks the workbench in the install directory, and
// stores the report, `currentComponent`, `workbenchState` and `updateMode` into the state.
void classify_windows(BootstrapState& state);

}  // namespace velko
