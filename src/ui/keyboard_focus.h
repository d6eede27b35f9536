#pragma once

#include "state/bootstrap_state.h"
#include "ui/window_layout.h"

// The installer window's keyboard: which button has the focus, where Tab moves it and what a
// key does. The window keeps one KeyboardFocus; only the window thread touches it.

namespace velko {

// Whether a button takes a press (and so the focus) in this phase; actionable = a supported
// report exists. The one answer behind hit-testing, the focus and the drawn states.
bool button_enabled(ButtonId button, UiPhase phase, bool actionable);

struct KeyboardFocus {
  ButtonId focused = ButtonId::None;
  bool movedByUser = false;        // Tab moved it: the next phase leaves it where it is
  bool primaryWasEnabled = false;  // as of the last follow_phase
  bool cuesShown = false;          // the focus is drawn: the keyboard has been used
};

// The enabled button after (or before, `backwards`) `current` in reading order (选择目录, 重新检测,
// the primary button, 关闭), wrapping round; from None, the first (or last). None when no button
// is enabled.
ButtonId next_focus(ButtonId current, bool backwards, UiPhase phase, bool actionable);

// After anything that may have changed the phase: a focused button that has become disabled
// loses the focus (and with it the user's choice), and a phase that enables the primary button
// gives it the focus unless the user has moved it. Returns whether the focused button changed.
bool follow_phase(KeyboardFocus& focus, UiPhase phase, bool actionable);

// Tab: moves the focus and marks it as the user's. Returns whether the focused button changed.
bool move_focus(KeyboardFocus& focus, bool backwards, UiPhase phase, bool actionable);

enum class KeyCommand { None, FocusNext, FocusPrevious, Press, Close };
// What a key press does in the installer window. A held key repeating presses nothing: one
// press is one click.
KeyCommand key_command(unsigned virtualKey, bool shift, bool repeated);

}  // namespace velko
