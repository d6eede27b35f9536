#pragma once

// Where the installer window draws what the driven tests look at, and the colours it draws
// there: client positions where no text lies.
#include <windows.h>

#include <chrono>

#include "support/screen_input.h"
#include "model/component_kind.h"
#include "ui/window_layout.h"

namespace velko::test {

inline constexpr wchar_t kProductWindowClass[] = L"VelkoOnlineBootstrapperPreview";

// Just inside a button's corner: its fill, away from caption and border.
constexpr POINT inside_corner(const Rect& area) { return {area.left + 4, area.top + 4}; }
// A point of a row's status ring (the ring's left edge, a pixel below its top).
constexpr POINT status_ring(int row) { return {row_layout(row).iconX + 8, row_layout(row).iconY + 1}; }

inline constexpr POINT kPrimaryFill = inside_corner(button_rect(ButtonId::Primary));
inline constexpr POINT kPrimaryCentre{button_rect(ButtonId::Primary).left + 52, button_rect(ButtonId::Primary).top + 18};
inline constexpr POINT kRecheckCentre{(button_rect(ButtonId::Recheck).left + button_rect(ButtonId::Recheck).right) / 2,
                                      button_rect(ButtonId::Recheck).top + 18};
inline constexpr POINT kCloseBox = inside_corner(button_rect(ButtonId::Close));
inline constexpr POINT kSystemRing = status_ring(0);
inline constexpr POINT kWebView2Ring = status_ring(static_cast<int>(ComponentKind::WebView2Runtime));
inline constexpr POINT kWorkbenchRing = status_ring(static_cast<int>(ComponentKind::Workbench));
inline constexpr POINT kFooter{kFooterHint.left + 270, kFooterHint.top + 2};

inline constexpr Colour kPrimaryEnabled{14, 99, 156};
inline constexpr Colour kPrimaryDisabled{36, 67, 89};
inline constexpr Colour kRingDone{83, 213, 156};
inline constexpr Colour kRingMissing{255, 140, 112};
inline constexpr Colour kRingChecking{64, 169, 255};
inline constexpr Colour kCloseIdle{60, 60, 60};
inline constexpr Colour kCloseHot{178, 45, 40};
inline constexpr Colour kPanel{37, 37, 38};

inline Colour pixel(HWND window, POINT at) { return screen_pixel(window, at.x, at.y); }
inline Colour wait_for(HWND window, POINT at, Colour wanted, std::chrono::milliseconds limit) {
  return wait_for_pixel(window, at.x, at.y, wanted, limit);
}

}  // namespace velko::test
