#pragma once

// Whether a window shows a text where its layout puts it: the text is drawn by the product's own
// text primitive onto the background found on the screen and compared pixel by pixel with what
// the screen shows. The window draws no text a test could read otherwise.
#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

#include "state/bootstrap_state.h"
#include "ui/scene.h"

namespace velko::test {

// The installer layout's text step that draws `text` for this state, if the layout draws it.
std::optional<TextOp> installer_text(const BootstrapState& state, const std::string& text);
// The same for the launch layout (620 x 250).
std::optional<TextOp> launch_text(const BootstrapState& state, const std::string& text);

// Pixels inside the text's rectangle (less a two-pixel margin, where borders may lie) that
// differ between the screen and the text drawn on the rectangle's most common colour.
int text_mismatch(HWND window, const TextOp& text);
bool shows_text(HWND window, const TextOp& text);
// Polls until the window shows the text or the time is up.
bool wait_for_text(HWND window, const TextOp& text, std::chrono::milliseconds limit);

}  // namespace velko::test
