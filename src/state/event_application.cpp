#include "state/event_application.h"

#include <algorithm>
#include <vector>

namespace velko {
namespace {

void set_step_clock(BootstrapState& state, StepClockValue value) {
  state.stepClock.access_or_abort([&](StepClockValue& clock) { clock = value; });
}

std::expected<std::string, std::string> install_directory_or_error(const BootstrapState& state) {
  if (state.installDirectory) return *state.installDirectory;
  return std::unexpected(std::string(kNoInstallDirectory));
}

}  // namespace

bool drain_events(BootstrapState& state, StateHooks& hooks) {
  std::vector<WorkerEvent> events;
  const bool hadReceiver = state.receiverSlot.access_or_abort([&](std::optional<EventReceiver>& slot) {
    if (!slot) return false;
    while (auto event = slot->try_receive()) events.push_back(std::move(*event));
    return true;
  });
  if (!hadReceiver) return false;
  for (const auto& event : events) apply_event(state, event, hooks);
  return !events.empty();
}

void apply_event(BootstrapState& state, const WorkerEvent& event, StateHooks& hooks) {
  switch (event.tag) {
    case WorkerEventTag::PolicyReady:
      state.policyReady = true;
      hooks.classify_windows(state);
      state.statusText.reset();
      break;
    case WorkerEventTag::PolicyFailed:
      state.revealStep = -1;
      state.policyReady = false;
      state.phase = UiPhase::Failed;
      state.statusText = event.text.value_or("");
      clear_event_receiver(state);
      break;
    case WorkerEventTag::DownloadProgress:
      set_step_clock(state, std::nullopt);
      state.currentComponent = event.component;
      state.progressPercent = std::clamp(event.percent, 0, 100);
      state.phase = UiPhase::Downloading;
      state.statusText = event.text.value_or("");
      break;
    case WorkerEventTag::StepStarted:
      state.busyTicks = 0;
      set_step_clock(state, hooks.now());
      state.currentComponent = event.component;
      state.progressPercent = 0;
      state.phase = UiPhase::Installing;
      state.statusText = event.text.value_or("");
      break;
    case WorkerEventTag::ComponentInstalled:
      if (state.environment) mark_component_installed(*state.environment, event.component);
      if (event.component == ComponentKind::Workbench) state.workbenchState = WorkbenchInstallState::Current;
      state.progressPercent = 100;
      break;
    case WorkerEventTag::ComponentReady:
      if (state.environment) {
        if (ComponentStatus* status = state.environment->components.find(event.component)) status->staged = true;
      }
      state.progressPercent = 100;
      break;
    case WorkerEventTag::InstallCompleted: {
      set_step_clock(state, std::nullopt);
      state.phase = UiPhase::Completed;
      state.progressPercent = 100;
      state.statusText = state.updateMode ? "VelkoTarn工作台已经更新完成。" : "全部缺失组件已经安装完成。";
      clear_event_receiver(state);
      if (state.installerMode.exchange(false)) {
        auto relaunched = hooks.relaunch_after_update(install_directory_or_error(state));
        if (relaunched) {
          hooks.post_quit();
        } else {
          state.phase = UiPhase::Failed;
          state.statusText = relaunched.error();
        }
      }
      break;
    }
    case WorkerEventTag::InstallFailed:
      set_step_clock(state, std::nullopt);
      state.phase = UiPhase::Failed;
      state.statusText = event.text.value_or("");
      clear_event_receiver(state);
      break;
    case WorkerEventTag::LaunchSucceeded:
      state.phase = UiPhase::Completed;
      state.statusText.reset();
      clear_event_receiver(state);
      break;
    case WorkerEventTag::LaunchFailed:
      state.phase = UiPhase::Failed;
      state.statusText = event.text.value_or("");
      clear_event_receiver(state);
      break;
  }
}

}  // namespace velko
