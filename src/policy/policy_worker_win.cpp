#include "policy/policy_worker.h"

#include "app/bootstrap_state.h"
#include "policy/policy_fetch.h"

namespace velko {

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

void run_policy_worker(EventSender events) { run_policy_worker(bootstrap_state(), std::move(events)); }

}  // namespace velko
