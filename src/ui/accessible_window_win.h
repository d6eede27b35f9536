#pragma once

#include <windows.h>
#include <oleacc.h>

#include <optional>

#include "state/bootstrap_state.h"
#include "ui/window_layout.h"

namespace velko {

// Screen readers and other assistive technology reach the custom-drawn window through an
// IAccessible object for its client area, answered from accessible_items. Window thread only.

// WM_GETOBJECT: the object for OBJID_CLIENT (creating it, and initialising COM on this thread,
// on the first request); nothing for other object ids, which the default handling answers.
std::optional<LRESULT> answer_get_object(HWND window, WPARAM wParam, LPARAM lParam);

// The very object WM_GETOBJECT hands out, with a new reference; null when it cannot be made.
// For tests that run the window in their own process, where the cross-process route is missing.
IAccessible* client_accessible_object(HWND window);

// The message a default action posts to press a button (wParam: the ButtonId) through the click
// handler; posted, not run inline, so that a modal dialog never runs inside a reader's call.
UINT accessible_press_message();

// After the state may have changed: raises the WinEvents (name, value, state change of a child)
// for what readers should hear. Cheap when nothing was repainted and nothing is held back.
void announce_accessible_changes(HWND window, BootstrapState& state);

// The keyboard focus is now on `focused` (None: on the window itself): readers are told, when
// the window has the focus.
void announce_accessible_focus(HWND window, ButtonId focused);

// WM_DESTROY: cuts the object off from the window; readers that still hold it get errors, and
// no new object is made for it.
void forget_accessible_object(HWND window);
// WM_CREATE: a window that reuses a destroyed one's handle is answered again.
void accessible_window_created(HWND window);

}  // namespace velko
