#include "state/bootstrap_state.h"

namespace velko {

BootstrapState& bootstrap_state() {
  static BootstrapState* const state = new BootstrapState();  // never destroyed: workers may outlive main
  return *state;
}

EventSender open_event_channel(BootstrapState& state) {
  auto [sender, receiver] = make_event_channel();
  std::optional<EventReceiver> previous;
  state.receiverSlot.access_or_abort([&](std::optional<EventReceiver>& slot) {
    previous = std::move(slot);
    slot = std::move(receiver);
  });
  return sender;  // `previous` closes its channel here, outside the lock
}

void clear_event_receiver(BootstrapState& state) {
  std::optional<EventReceiver> previous;
  state.receiverSlot.access_or_abort([&](std::optional<EventReceiver>& slot) { previous = std::exchange(slot, {}); });
}

std::expected<ReleasePolicy, std::string> current_policy(BootstrapState& state) {
  auto copy = state.policySlot.access([](std::optional<ReleasePolicy>& slot) { return slot; });
  if (!copy) return std::unexpected(std::string(kPolicyStateUnavailable));
  if (!copy->has_value()) return std::unexpected(std::string(kPolicyNotYetKnown));
  return std::move(**copy);
}

std::expected<void, std::string> store_policy(BootstrapState& state, ReleasePolicy policy) {
  auto stored = state.policySlot.access([&](std::optional<ReleasePolicy>& slot) { slot = std::move(policy); });
  if (!stored) return std::unexpected(std::string(kPolicyStateUnavailable));
  return {};
}

}  // namespace velko
