#include "ui/display_scale_win.h"

#include "ui/display_scale.h"
#include "win/system_library.h"
#include "win/unique_any.h"

namespace velko {
namespace {

// Windows 10 1607 and later.
using GetDpiForWindowFunction = UINT WINAPI(HWND);
using GetDpiForSystemFunction = UINT WINAPI();
// Windows 10 1703 and later.
using SetProcessDpiAwarenessContextFunction = BOOL WINAPI(DPI_AWARENESS_CONTEXT);
// Windows 8.1 and later (shcore.dll); 2 = PROCESS_PER_MONITOR_DPI_AWARE.
using SetProcessDpiAwarenessFunction = HRESULT WINAPI(int);
constexpr int kPerMonitorAware = 2;

int screen_dpi() {
  const win::WindowDc screen(nullptr);
  const int dpi = screen.get() ? ::GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
  return dpi > 0 ? dpi : kBaseDpi;
}

}  // namespace

void declare_dpi_awareness() {
  static auto* const set_context = win::system_function<SetProcessDpiAwarenessContextFunction>(
      L"user32.dll", "SetProcessDpiAwarenessContext");
  if (set_context != nullptr) {
    (void)set_context(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    return;
  }
  static auto* const set_awareness =
      win::system_function<SetProcessDpiAwarenessFunction>(L"shcore.dll", "SetProcessDpiAwareness");
  if (set_awareness != nullptr) {
    (void)set_awareness(kPerMonitorAware);
    return;
  }
  ::SetProcessDPIAware();
}

int window_dpi(HWND window) {
  if (window != nullptr) {
    static auto* const for_window = win::system_function<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
    if (for_window != nullptr) {
      if (const UINT dpi = for_window(window); dpi > 0) return static_cast<int>(dpi);
    }
  } else {
    static auto* const for_system = win::system_function<GetDpiForSystemFunction>(L"user32.dll", "GetDpiForSystem");
    if (for_system != nullptr) {
      if (const UINT dpi = for_system(); dpi > 0) return static_cast<int>(dpi);
    }
  }
  return screen_dpi();
}

}  // namespace velko
