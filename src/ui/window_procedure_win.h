#pragma once

#include <windows.h>

#include "ui/window_layout.h"

namespace velko {

// The window procedure of the one top-level window (both roles).
LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The installer window's keyboard focus (None when no button has it). Window thread only.
ButtonId focused_button();
// The DPI the window is drawn at. Window thread only.
int window_drawing_dpi();

inline constexpr UINT_PTR kMainTimerId = 1;
inline constexpr UINT kMainTimerMilliseconds = 45;
inline constexpr UINT_PTR kHoverTimerId = 2;
inline constexpr UINT kHoverTimerMilliseconds = 16;

}  // namespace velko
