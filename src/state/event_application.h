#pragma once

#include "state/bootstrap_state.h"
#include "state/state_hooks.h"

namespace velko {

// Window thread only. Takes every queued event without blocking, then applies them in order.
// Returns whether at least one event was applied.
bool drain_events(BootstrapState& state, StateHooks& hooks);

void apply_event(BootstrapState& state, const WorkerEvent& event, StateHooks& hooks);

inline constexpr char kNoInstallDirectory[] = "没有可用的 IDE 安装目录。";

}  // namespace velko
