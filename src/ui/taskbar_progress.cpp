#include "ui/taskbar_progress.h"

#include <algorithm>

namespace velko {

TaskbarProgress taskbar_progress(const BootstrapState& state) {
  switch (state.phase) {
    case UiPhase::Failed: return {TaskbarState::Error, kTaskbarTotal};
    case UiPhase::Downloading:
      // The launch role never downloads; its phases are only ever Checking, Completed and Failed.
      return {TaskbarState::Normal, static_cast<std::uint32_t>(std::clamp(state.progressPercent, 0, 100))};
    case UiPhase::Installing: return {TaskbarState::Indeterminate, 0};
    default: return {};
  }
}

}  // namespace velko
