#include "ui/keyboard_focus.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace velko {
namespace {

constexpr std::array kReadingOrder{ButtonId::Browse, ButtonId::Recheck, ButtonId::Primary, ButtonId::Close};

// Virtual-key codes (winuser.h); the pure code does not include Windows headers.
constexpr unsigned kKeyTab = 0x09;
constexpr unsigned kKeyReturn = 0x0D;
constexpr unsigned kKeyEscape = 0x1B;
constexpr unsigned kKeySpace = 0x20;

}  // namespace

bool button_enabled(ButtonId button, UiPhase phase, bool actionable) {
  switch (button) {
    case ButtonId::Close:
    case ButtonId::Browse:
    case ButtonId::Recheck: return !is_busy(phase);
    case ButtonId::Primary: return (phase == UiPhase::Ready && actionable) || phase == UiPhase::Completed;
    case ButtonId::None: break;
  }
  return false;
}

ButtonId next_focus(ButtonId current, bool backwards, UiPhase phase, bool actionable) {
  const auto count = static_cast<int>(kReadingOrder.size());
  const auto found = std::find(kReadingOrder.begin(), kReadingOrder.end(), current);
  // From no button, the first step lands on the first (or, backwards, the last) one.
  int position = found == kReadingOrder.end() ? (backwards ? count : -1)
                                              : static_cast<int>(std::distance(kReadingOrder.begin(), found));
  for (int step = 0; step < count; ++step) {
    position = ((backwards ? position - 1 : position + 1) % count + count) % count;
    const ButtonId candidate = kReadingOrder[static_cast<std::size_t>(position)];
    if (button_enabled(candidate, phase, actionable)) return candidate;
  }
  return ButtonId::None;
}

bool follow_phase(KeyboardFocus& focus, UiPhase phase, bool actionable) {
  const ButtonId before = focus.focused;
  if (focus.focused != ButtonId::None && !button_enabled(focus.focused, phase, actionable)) {
    focus.focused = ButtonId::None;
    focus.movedByUser = false;
  }
  const bool primaryEnabled = button_enabled(ButtonId::Primary, phase, actionable);
  if (primaryEnabled && !focus.primaryWasEnabled && !focus.movedByUser) focus.focused = ButtonId::Primary;
  focus.primaryWasEnabled = primaryEnabled;
  return focus.focused != before;
}

bool move_focus(KeyboardFocus& focus, bool backwards, UiPhase phase, bool actionable) {
  const ButtonId next = next_focus(focus.focused, backwards, phase, actionable);
  if (next == ButtonId::None) return false;
  focus.movedByUser = true;
  const bool changed = next != focus.focused;
  focus.focused = next;
  return changed;
}

KeyCommand key_command(unsigned virtualKey, bool shift, bool repeated) {
  switch (virtualKey) {
    case kKeyTab: return shift ? KeyCommand::FocusPrevious : KeyCommand::FocusNext;
    case kKeyReturn:
    case kKeySpace: return repeated ? KeyCommand::None : KeyCommand::Press;
    case kKeyEscape: return KeyCommand::Close;
    default: return KeyCommand::None;
  }
}

}  // namespace velko
