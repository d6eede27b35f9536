#pragma once

#include <windows.h>

#include "app/bootstrap_state.h"
#include "ui/hover_state.h"
#include "ui/scene.h"

namespace velko {

// Draws the role's whole layout for the state into `dc` (client coordinates, `size` = client
// size), with the buttons faded as `hover` says (none by default). WM_PAINT and the render tests
// both draw through this one function.
void paint_content(HDC dc, BootstrapState& state, SIZE size, const HoverState& hover = {});

// WM_PAINT: draws into an off-screen bitmap and copies it to the window with one BitBlt.
void paint(HWND window, BootstrapState& state, const HoverState& hover);

// Runs a computed scene with the GDI primitives.
void draw_scene(HDC dc, const Scene& scene);

// The three primitives every drawing step goes through.
void draw_text(HDC dc, const std::string& text, const Rect& rect, Rgb colour, int size, int weight, bool centred);
// How wide draw_text draws `text` on one line, in pixels.
int text_width(HDC dc, const std::string& text, int size, int weight);
void round_rect(HDC dc, const Rect& rect, int radius, Rgb fill, Rgb border);
void fill_rect(HDC dc, const Rect& rect, Rgb colour);

}  // namespace velko
