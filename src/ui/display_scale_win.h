#pragma once

#include <windows.h>

namespace velko {

// Asks for per-monitor awareness (v2) before any window exists. A process whose manifest
// already declares it is refused the call, as is one on a system without v2: both are
// harmless. Where the call itself is missing, the older per-monitor call is made instead.
void declare_dpi_awareness();

// The DPI of the window's monitor, or of the system before there is a window (null).
int window_dpi(HWND window);

}  // namespace velko
