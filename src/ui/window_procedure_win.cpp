#include "ui/window_procedure_win.h"

#include "app/bootstrap_state.h"
#include "app/event_application.h"
#include "ui/window_hooks_win.h"
#include "win/unique_any.h"

namespace velko {
namespace {

COLORREF background_colour(const BootstrapState& state) {
  return state.launchMode ? RGB(18, 24, 32) : RGB(30, 30, 30);
}

void request_close(HWND window, const BootstrapState& state) {
  if (!is_busy(state.phase)) ::DestroyWindow(window);
}

void paint(HWND window, BootstrapState& state) {
  win::PaintScope scope(window);
  RECT client{};
  ::GetClientRect(window, &client);
  win::unique_hbrush brush(::CreateSolidBrush(background_colour(state)));
  ::FillRect(scope.dc(), &client, brush.get());
}

void on_main_tick(HWND window, BootstrapState& state) {
  WindowHooks hooks;
  drain_events(state, hooks);
  ::InvalidateRect(window, nullptr, FALSE);
}

}  // namespace

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  BootstrapState& state = bootstrap_state();
  switch (message) {
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    case WM_PAINT:
      paint(window, state);
      return 0;
    case WM_CLOSE:
      request_close(window, state);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) request_close(window, state);
      return 0;
    case WM_TIMER:
      if (wParam == kMainTimerId) on_main_tick(window, state);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace velko
