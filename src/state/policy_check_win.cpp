#include "state/policy_check.h"

#include "policy/policy_fetch.h"
#include "state/bootstrap_state.h"
#include "win/worker_thread.h"

namespace velko {

void start_policy_check(BootstrapState& state) {
  EventSender sender = open_event_channel(state);
  state.policyReady = false;
  win::start_detached_worker(
      [&state, sender = std::move(sender)]() mutable { run_policy_worker(state, std::move(sender)); });
}

void run_policy_worker(BootstrapState& state, EventSender events) {
  auto policy = fetch_release_policy();
  if (!policy) {
    publish_event(events, WorkerEvent::policy_failed(std::move(policy.error())));
    return;
  }
  // The slot's lock is released before the event goes out.
  if (auto stored = store_policy(state, std::move(*policy)); !stored) {
    publish_event(events, WorkerEvent::policy_failed(std::move(stored.error())));
    return;
  }
  publish_event(events, WorkerEvent::policy_ready());
}

}  // namespace velko
