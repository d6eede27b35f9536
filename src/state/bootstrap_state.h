#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>

#include "detect/environment_report.h"
#include "model/component_kind.h"
#include "model/event_channel.h"
#include "policy/release_policy.h"
#include "state/locked_slot.h"

namespace velko {

enum class UiPhase : std::int32_t {
  Checking = 0,
  Ready = 1,
  Downloading = 2,
  Installing = 3,
  Completed = 4,
  Failed = 5,
  WaitingForWorkbenchExit = 6,
};

inline bool is_busy(UiPhase phase) { return phase == UiPhase::Downloading || phase == UiPhase::Installing; }

using StepClockValue = std::optional<std::chrono::steady_clock::time_point>;

// The one process-wide state shared by the window and the workers. Plain fields belong to
// the window thread; workers reach the rest only through the atomics and the locked slots.
struct BootstrapState {
  UiPhase phase = UiPhase::Checking;
  std::int32_t progressPercent = 0;
  ComponentKind currentComponent = ComponentKind::Generic;
  std::optional<std::string> statusText;
  std::optional<std::string> installDirectory;  // UTF-8 path
  std::optional<EnvironmentReport> environment;
  bool updateMode = false;
  WorkbenchInstallState workbenchState = WorkbenchInstallState::None;
  bool policyReady = false;
  std::int32_t revealStep = -1;

  std::atomic<bool> launchMode{false};
  std::atomic<bool> installerMode{false};
  std::atomic<bool> autoContinue{false};
  std::atomic<std::uint32_t> launchTicks{0};
  std::atomic<std::uint32_t> waitTicks{0};
  std::atomic<std::uint32_t> busyTicks{0};

  LockedSlot<std::optional<EventReceiver>> receiverSlot;
  LockedSlot<StepClockValue> stepClock;
  LockedSlot<std::optional<ReleasePolicy>> policySlot;
};

// The process-wide instance, created on first use and never destroyed before exit.
BootstrapState& bootstrap_state();

// Creates a channel, puts its receiver into the slot (dropping the old one) and returns the sender.
EventSender open_event_channel(BootstrapState& state);
void clear_event_receiver(BootstrapState& state);

// A copy of the stored policy, or the user text for an abandoned lock or a missing policy.
std::expected<ReleasePolicy, std::string> current_policy(BootstrapState& state);
// Stores a policy; fails with the abandoned-lock text when the slot's lock was abandoned.
std::expected<void, std::string> store_policy(BootstrapState& state, ReleasePolicy policy);

inline constexpr char kPolicyStateUnavailable[] = "更新策略状态不可用，请重新打开助手。";
inline constexpr char kPolicyNotYetKnown[] = "尚未取得正式版本策略，请重新检测。";

}  // namespace velko
