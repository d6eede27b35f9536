#pragma once

#include "model/event_channel.h"

namespace velko {

struct BootstrapState;

// Window thread: opens a new event channel, clears `policyReady` and starts the policy worker.
void start_policy_check(BootstrapState& state);

// Body of the policy worker thread: fetches the policy once, stores it and publishes
// exactly one event, PolicyReady or PolicyFailed. A closed channel drops the event; the
// policy is stored all the same (the last worker to finish wins).
void run_policy_worker(BootstrapState& state, EventSender events);

}  // namespace velko
