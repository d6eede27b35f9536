#pragma once

namespace velko {

struct BootstrapState;

// Window thread: opens a new event channel, clears `policyReady` and starts the policy worker.
void start_policy_check(BootstrapState& state);

}  // namespace velko
