#pragma once

#include <windows.h>

namespace velko {

// The window procedure of the one top-level window (both roles).
LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

inline constexpr UINT_PTR kMainTimerId = 1;
inline constexpr UINT kMainTimerMilliseconds = 45;
inline constexpr UINT_PTR kHoverTimerId = 2;
inline constexpr UINT kHoverTimerMilliseconds = 16;

}  // namespace velko
