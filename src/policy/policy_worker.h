#pragma once

#include "app/event_channel.h"

namespace velko {

// Body of the policy worker thread: fetches the policy once, stores it and publishes
// exactly one event, PolicyReady or PolicyFailed.
void run_policy_worker(EventSender events);

}  // namespace velko
