#pragma once

#include <windows.h>

#include <optional>

#include "state/bootstrap_state.h"
#include "ui/hover_state.h"
#include "ui/scene.h"

namespace velko {

// What the window keeps besides the state that changes how it is drawn.
struct WindowView {
  ButtonId focused = ButtonId::None;
  bool focusCues = false;  // the focus is shown
  int dpi = 96;            // the window's DPI: the layouts are scaled to it
  std::optional<SystemColours> highContrast;  // set while a high-contrast theme is on
  bool firstFrame = false;  // nothing of the window has been painted yet
};

// The theme's colours while a high-contrast theme is on, nothing otherwise.
std::optional<SystemColours> high_contrast_colours();

// Draws the role's whole layout for the state into `dc` (client coordinates, `size` = client
// size), with the buttons faded as `hover` says (none by default). WM_PAINT and the render tests
// both draw through this one function.
void paint_content(HDC dc, BootstrapState& state, SIZE size, const HoverState& hover = {}, const WindowView& view = {});

// WM_PAINT: draws into an off-screen bitmap and copies it to the window with one BitBlt; the first
// frame is drawn straight into the window.
void paint(HWND window, BootstrapState& state, const HoverState& hover, const WindowView& view);

// Runs a computed scene with the GDI primitives.
void draw_scene(HDC dc, const Scene& scene);

// The three primitives every drawing step goes through.
void draw_text(HDC dc, const std::string& text, const Rect& rect, Rgb colour, int size, int weight, bool centred);
// How wide draw_text draws `text` on one line, in pixels.
int text_width(HDC dc, const std::string& text, int size, int weight);
void round_rect(HDC dc, const Rect& rect, int radius, Rgb fill, Rgb border, int lineWidth = 1);
void fill_rect(HDC dc, const Rect& rect, Rgb colour);

}  // namespace velko
