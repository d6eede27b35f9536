#include "app/bootstrap_state.h"

#include <cstdio>

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

std::expected<ReleasePolicy, std::string> current_policy() { return current_policy(bootstrap_state()); }

std::expected<void, std::string> store_policy(BootstrapState& state, ReleasePolicy policy) {
  auto stored = state.policySlot.access([&](std::optional<ReleasePolicy>& slot) { slot = std::move(policy); });
  if (!stored) return std::unexpected(std::string(kPolicyStateUnavailable));
  return {};
}

std::string latest_version_text() {
  auto policy = current_policy();
  return policy ? policy->latestVersion : std::string("等待检测");
}

std::string workbench_display_name() { return "VelkoTarn工作台 v" + latest_version_text(); }

std::string format_elapsed(std::chrono::seconds elapsed) {
  const long long t = elapsed.count() < 0 ? 0 : elapsed.count();
  char buffer[64];
  if (t < 3600) {
    std::snprintf(buffer, sizeof buffer, "%02lld分%02lld秒", t / 60, t % 60);
  } else {
    std::snprintf(buffer, sizeof buffer, "%lld小时%02lld分%02lld秒", t / 3600, (t % 3600) / 60, t % 60);
  }
  return buffer;
}

std::string elapsed_text(BootstrapState& state, std::chrono::steady_clock::time_point now) {
  const StepClockValue start = state.stepClock.access_or_abort([](StepClockValue& clock) { return clock; });
  if (!start || *start > now) return format_elapsed(std::chrono::seconds(0));
  return format_elapsed(std::chrono::duration_cast<std::chrono::seconds>(now - *start));
}

std::string elapsed_text() { return elapsed_text(bootstrap_state(), std::chrono::steady_clock::now()); }

int count_missing_components(const EnvironmentReport& report) {
  return (report.webView2Present ? 0 : 1) + (report.workbenchCurrent ? 0 : 1);
}

void mark_component_installed(EnvironmentReport& report, ComponentKind kind) {
  switch (kind) {
    case ComponentKind::Generic: report.staged[0] = true; return;
    case ComponentKind::ServicePack1: report.servicePack1Present = true; break;
    case ComponentKind::Kb4490628: report.kb4490628Present = true; break;
    case ComponentKind::Kb4474419: report.kb4474419Present = true; break;
    case ComponentKind::WebView2Runtime: report.webView2Present = true; break;
    case ComponentKind::Workbench: report.workbenchCurrent = true; break;
    default: return;
  }
  report.staged[static_cast<std::size_t>(kind)] = true;
}

std::string step_started_text(ComponentKind kind) {
  return "正在安装 " + component_display_name(kind) + "，请勿关闭。";
}

void report_step_started(const EventSender& sender, ComponentKind kind) {
  publish_event(sender, WorkerEvent::step_started(kind, step_started_text(kind)));
}

}  // namespace velko
