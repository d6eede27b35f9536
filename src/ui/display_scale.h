#pragma once

#include "ui/scene.h"
#include "ui/window_layout.h"

// The layouts are measured at 96 DPI. On a scaled display every length is multiplied by the
// window's DPI / 96 and rounded by this one rule, so that what is drawn, what is hit and what a
// reader is told stay on the same pixels.

namespace velko {

inline constexpr int kBaseDpi = 96;

// value * dpi / 96, rounded to the nearest integer, halves away from zero (as MulDiv rounds).
// A DPI below 1 counts as 96.
int scaled(int value, int dpi);
Rect scaled(const Rect& rect, int dpi);
// The inverse for a client size: the 96-DPI length that scales to `value` (nearest).
int unscaled(int value, int dpi);

// The scene with every coordinate, size, font height, radius and line width scaled; the same
// scene at 96 DPI.
Scene scaled_scene(Scene scene, int dpi);

}  // namespace velko
