#include "ui/window_logic.h"

#include <algorithm>
#include <cmath>

#include "state/event_application.h"
#include "ui/component_names.h"
#include "ui/keyboard_focus.h"
#include "ui/scene.h"
#include "ui/state_texts.h"
#include "ui/window_timing.h"

namespace velko {

ButtonId hit_test(int x, int y, UiPhase phase, bool actionable, int dpi) {
  for (ButtonId button : {ButtonId::Close, ButtonId::Browse, ButtonId::Recheck, ButtonId::Primary}) {
    if (button_enabled(button, phase, actionable) && hits(scaled(button_rect(button), dpi), x, y)) return button;
  }
  return ButtonId::None;
}

bool wants_hand_cursor(ButtonId button) {
  return button == ButtonId::Browse || button == ButtonId::Recheck || button == ButtonId::Primary;
}

NonClientHit non_client_hit(int x, int y, bool launchMode, int dpi) {
  const bool caption = launchMode
                           ? (x < scaled(kLaunchWidth, dpi) && y < scaled(kLaunchTitleBarHeight, dpi))
                           : (x < scaled(button_rect(ButtonId::Close).left, dpi) && y < scaled(kTitleStrip.bottom, dpi));
  return caption ? NonClientHit::Caption : NonClientHit::Client;
}

namespace {

int start_reveal_step(const BootstrapState& state) { return report_supported(state) ? 0 : -1; }

std::expected<std::string, std::string> directory_or(const BootstrapState& state, const char* missing) {
  if (state.installDirectory) return *state.installDirectory;
  return std::unexpected(std::string(missing));
}

void fail(BootstrapState& state, std::string text) {
  state.phase = UiPhase::Failed;
  state.statusText = std::move(text);
}

void finish_check(BootstrapState& state, WindowActions& actions) {
  const bool supportedReport = report_supported(state);
  if (supportedReport && state.workbenchState == WorkbenchInstallState::Current) {
    state.revealStep = 0;
    state.phase = count_missing_components(state.environment->components) == 0 ? UiPhase::Completed : UiPhase::Ready;
  } else {
    state.phase = UiPhase::Ready;
    state.revealStep = start_reveal_step(state);
  }
  if (state.phase == UiPhase::Ready && state.autoContinue) start_installation(state, actions);
}

void poll_running_workbench(BootstrapState& state, WindowActions& actions) {
  const std::uint32_t previous = state.waitTicks.fetch_add(1);
  if (previous < kWorkbenchPollTicks) return;
  state.waitTicks = 0;
  auto running = actions.is_workbench_running(directory_or(state, kNoWorkbenchDirectory));
  if (!running) {
    fail(state, running.error());
    return;
  }
  if (*running) return;
  state.phase = UiPhase::Ready;
  state.statusText = kWorkbenchExitedText;
  state.revealStep = start_reveal_step(state);
  if (state.autoContinue) start_installation(state, actions);
}

}  // namespace

void on_main_tick(BootstrapState& state, WindowActions& actions) {
  const bool applied = drain_events(state, actions);

  if (state.launchMode) {
    const std::uint32_t previous = state.launchTicks.fetch_add(1);
    if (state.phase == UiPhase::Completed && previous >= kLaunchCloseTicks) {
      actions.destroy_window();
      return;
    }
    actions.invalidate();
    return;
  }

  const UiPhase before = state.phase;
  switch (state.phase) {
    case UiPhase::Checking: {
      const int cap = state.policyReady ? 100 : kCheckingPercentBeforePolicy;
      state.progressPercent = std::min(state.progressPercent + 3, cap);
      if (state.policyReady && state.progressPercent >= 100) finish_check(state, actions);
      break;
    }
    case UiPhase::Installing: state.busyTicks += 5; break;
    case UiPhase::WaitingForWorkbenchExit: poll_running_workbench(state, actions); break;
    default: break;
  }
  const bool phaseChanged = state.phase != before;

  bool revealRan = false;
  if (state.revealStep >= 0 && state.revealStep <= kRevealLastStep) {
    revealRan = true;
    state.revealStep = state.revealStep >= kRevealLastStep ? -1 : state.revealStep + 1;
  }

  const bool animated = state.phase == UiPhase::Checking || state.phase == UiPhase::Installing;
  if (animated || revealRan || applied || phaseChanged) {
    actions.refresh_hover();
    actions.invalidate();
  }
}

void on_hover_tick(HoverState& hover, WindowActions& actions) {
  bool changed = false;
  bool settled = true;
  for (std::size_t i = 0; i < hover.levels.size(); ++i) {
    const bool hovered = static_cast<std::size_t>(hover.hovered) == i;
    const float old = hover.levels[i];
    const float next = hovered ? std::min(old + kHoverStep, 1.0f) : std::max(old - kHoverStep, 0.0f);
    hover.levels[i] = next;
    if (std::fabs(next - old) > kHoverEpsilon) changed = true;
    if (next != (hovered ? 1.0f : 0.0f)) settled = false;
  }
  if (changed) actions.invalidate();
  if (settled) actions.stop_hover_timer();
}

void set_hovered(HoverState& hover, ButtonId button, WindowActions& actions) {
  if (hover.hovered == button) return;
  hover.hovered = button;
  actions.start_hover_timer();
}

void request_close(BootstrapState& state, WindowActions& actions) {
  if (!is_busy(state.phase)) actions.destroy_window();
}

bool start_installation(BootstrapState& state, WindowActions& actions) {
  if (state.phase != UiPhase::Ready || !report_supported(state)) return false;
  state.revealStep = -1;
  if (!state.installDirectory) {
    fail(state, kNoInstallDirectory);
    return true;
  }
  if (state.updateMode) {
    auto running = actions.is_workbench_running(*state.installDirectory);
    if (!running) {
      fail(state, running.error());
      return true;
    }
    if (*running) {
      state.autoContinue = true;
      state.phase = UiPhase::WaitingForWorkbenchExit;
      state.currentComponent = ComponentKind::Workbench;
      state.waitTicks = 0;
      state.statusText = kWaitingForExitText;
      return true;
    }
  }
  state.autoContinue = false;
  const EnvironmentReport& report = *state.environment;
  if (count_missing_components(report.components) == 0) {
    state.phase = UiPhase::Completed;
    state.progressPercent = 100;
    state.statusText = kNothingMissingText;
    return true;
  }
  EventSender sender = open_event_channel(state);
  state.phase = UiPhase::Downloading;
  state.progressPercent = 0;
  state.currentComponent = next_component(report.components);
  state.statusText = "正在准备下载 " + component_long_name(state.currentComponent, release_version_text(current_policy(state))) + "。";
  actions.start_installation_worker(
      InstallRequest{report.components, *state.installDirectory}, std::move(sender));
  return true;
}

void start_recheck(BootstrapState& state, WindowActions& actions) {
  state.phase = UiPhase::Checking;
  state.progressPercent = 4;
  state.statusText.reset();
  state.revealStep = -1;
  actions.classify_windows(state);
  actions.start_policy_check(state);
}

void choose_folder(BootstrapState& state, WindowActions& actions) {
  auto folder = actions.browse_for_folder();
  if (!folder) return;
  // The dialog runs its own message loop, so the main timer kept ticking while it was open and
  // may have started an installation (automatic continuation). Switching folders under a
  // running installation would offer a second, concurrent one: keep the running one.
  if (is_busy(state.phase)) return;
  state.installDirectory = std::move(*folder);
  actions.classify_windows(state);
  state.phase = UiPhase::Ready;
  state.progressPercent = 100;
  state.statusText.reset();
  state.revealStep = start_reveal_step(state);
  actions.invalidate();
}

void on_click(BootstrapState& state, int x, int y, WindowActions& actions, int dpi) {
  const bool busy = is_busy(state.phase);
  const auto on = [&](ButtonId button) { return hits(scaled(button_rect(button), dpi), x, y); };
  if (on(ButtonId::Close)) {
    request_close(state, actions);
  } else if (on(ButtonId::Browse)) {
    if (!busy) choose_folder(state, actions);
  } else if (on(ButtonId::Recheck)) {
    if (busy) return;
    start_recheck(state, actions);
    actions.invalidate();
  } else if (on(ButtonId::Primary)) {
    if (start_installation(state, actions)) {
      actions.refresh_hover();
      actions.invalidate();
      return;
    }
    if (state.phase != UiPhase::Completed) return;
    auto relaunched = actions.relaunch_after_update(directory_or(state, kNoInstallDirectory));
    if (relaunched) {
      actions.destroy_window();
    } else {
      fail(state, relaunched.error());
      actions.invalidate();
    }
  }
}

}  // namespace velko
