#pragma once

// Where the installer window draws what the driven tests look at, and the colours it draws
// there: client positions where no text lies.
#include <windows.h>

#include <chrono>

#include "support/screen_input.h"

namespace velko::test {

inline constexpr wchar_t kProductWindowClass[] = L"VelkoOnlineBootstrapperPreview";

inline constexpr POINT kPrimaryFill{582, 540};
inline constexpr POINT kPrimaryCentre{630, 554};
inline constexpr POINT kRecheckCentre{517, 554};
inline constexpr POINT kCloseBox{684, 4};
inline constexpr POINT kSystemRing{66, 268};
inline constexpr POINT kWebView2Ring{66, 404};
inline constexpr POINT kWorkbenchRing{66, 438};
inline constexpr POINT kFooter{300, 590};

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
