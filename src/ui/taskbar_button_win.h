#pragma once

#include <windows.h>

#include <optional>

#include "state/bootstrap_state.h"
#include "ui/taskbar_progress.h"

namespace velko {

// Progress on the window's taskbar button (ITaskbarList3). Window thread only. Without the
// taskbar interface nothing is shown and everything else works as before.

// The shell's registered "TaskbarButtonCreated" message.
UINT taskbar_button_created_message();
// WM_CREATE: the program runs elevated, so the shell's message must be let through explicitly.
void allow_taskbar_button_message(HWND window);
// The shell announced the button (again, after the shell restarted): shows the current progress.
void on_taskbar_button_created(HWND window, const BootstrapState& state);
// After the state may have changed: shows the progress when it differs from what is shown.
void update_taskbar_progress(HWND window, const BootstrapState& state);
// What the taskbar button shows now; nothing before the shell announced it or without the
// taskbar interface.
std::optional<TaskbarProgress> shown_taskbar_progress(HWND window);
// WM_DESTROY.
void forget_taskbar_button(HWND window);

}  // namespace velko
