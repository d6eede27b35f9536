#include "app/policy_check.h"

#include "app/bootstrap_state.h"
#include "policy/policy_worker.h"
#include "win/worker_thread.h"

namespace velko {

void start_policy_check(BootstrapState& state) {
  EventSender sender = open_event_channel(state);
  state.policyReady = false;
  win::start_detached_worker([sender = std::move(sender)]() mutable { run_policy_worker(std::move(sender)); });
}

}  // namespace velko
