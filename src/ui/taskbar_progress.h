#pragma once

#include <cstdint>

#include "state/bootstrap_state.h"

namespace velko {

// What the window's taskbar button shows, like other installers and downloads do.
enum class TaskbarState : std::uint8_t { None, Normal, Indeterminate, Error };

struct TaskbarProgress {
  TaskbarState state = TaskbarState::None;
  std::uint32_t completed = 0;  // of kTaskbarTotal; only for Normal and Error
  bool operator==(const TaskbarProgress&) const = default;
};

inline constexpr std::uint32_t kTaskbarTotal = 100;

// The percent while downloading, a moving bar while a component installs, a full error bar when
// the window shows a failure, nothing otherwise.
TaskbarProgress taskbar_progress(const BootstrapState& state);

}  // namespace velko
