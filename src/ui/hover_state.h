#pragma once

#include <array>

#include "ui/window_layout.h"

namespace velko {

// The installer window's hover feedback: which button is under the cursor, each button's fade
// level (0..1, indexed by ButtonId) and whether a mouse-leave notice is requested. The window owns
// it; only the window thread reads or writes it (the fade timer posts WM_TIMER to that thread).
struct HoverState {
  std::array<float, kButtonCount> levels{};
  ButtonId hovered = ButtonId::None;
  bool tracking = false;
};

}  // namespace velko
