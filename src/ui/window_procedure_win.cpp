#include "ui/window_procedure_win.h"

#include <windowsx.h>
#include <objbase.h>
#include <shlobj.h>

#include "detect/running_workbench.h"
#include "state/bootstrap_state.h"
#include "state/policy_check.h"
#include "ui/accessible_items.h"
#include "ui/accessible_window_win.h"
#include "ui/display_scale.h"
#include "ui/display_scale_win.h"
#include "ui/hover_state.h"
#include "ui/keyboard_focus.h"
#include "ui/painting_win.h"
#include "ui/taskbar_button_win.h"
#include "ui/window_hooks_win.h"
#include "ui/window_logic.h"
#include "win/com_apartment.h"
#include "win/shell_library.h"
#include "win/unique_any.h"
#include "win/wide.h"
#include "win/worker_thread.h"

namespace velko {
namespace {

constexpr wchar_t kFolderDialogTitle[] = L"选择VelkoTarn工作台安装目录";

// The window's hover feedback. Only the window thread touches it: the procedure, its timers
// (WM_TIMER arrives through this thread's queue) and painting all run there.
HoverState& window_hover() {
  static HoverState hover;
  return hover;
}

// The DPI the window is drawn at: its monitor's when it was made, then what WM_DPICHANGED says.
int& window_scale() {
  static int dpi = kBaseDpi;
  return dpi;
}

// Whether the window has been painted since it was made.
bool& window_painted() {
  static bool painted = false;
  return painted;
}

// The keyboard focus, kept like the hover feedback by the window thread alone.
KeyboardFocus& window_focus() {
  static KeyboardFocus focus;
  return focus;
}

void set_cursor(bool hand) { ::SetCursor(::LoadCursorW(nullptr, hand ? IDC_HAND : IDC_ARROW)); }

// The button under the cursor right now (None when the cursor is outside the client area).
ButtonId button_under_cursor(HWND window, const BootstrapState& state) {
  POINT cursor{};
  if (!::GetCursorPos(&cursor) || !::ScreenToClient(window, &cursor)) return ButtonId::None;
  RECT client{};
  ::GetClientRect(window, &client);
  if (!::PtInRect(&client, cursor)) return ButtonId::None;
  return hit_test(cursor.x, cursor.y, state.phase, report_supported(state), window_scale());
}

class WindowProcedureActions final : public WindowActions {
 public:
  WindowProcedureActions(HWND window, HoverState& hover) : window_(window), hover_(hover) {}

  void classify_windows(BootstrapState& state) override { hooks_.classify_windows(state); }
  std::expected<void, std::string> relaunch_after_update(
      const std::expected<std::string, std::string>& installDirectory) override {
    return hooks_.relaunch_after_update(installDirectory);
  }
  void post_quit() override { hooks_.post_quit(); }

  void destroy_window() override { ::DestroyWindow(window_); }
  void invalidate() override { ::InvalidateRect(window_, nullptr, FALSE); }
  void refresh_hover() override {
    const ButtonId button = button_under_cursor(window_, bootstrap_state());
    set_hovered(hover_, button, *this);
    set_cursor(wants_hand_cursor(button));
  }
  void start_hover_timer() override { ::SetTimer(window_, kHoverTimerId, kHoverTimerMilliseconds, nullptr); }
  void stop_hover_timer() override { ::KillTimer(window_, kHoverTimerId); }
  void start_policy_check(BootstrapState& state) override { velko::start_policy_check(state); }
  std::expected<bool, std::string> is_workbench_running(
      const std::expected<std::string, std::string>& installDirectory) override {
    return velko::is_workbench_running(installDirectory);
  }
  void start_installation_worker(InstallRequest request, EventSender sender) override {
    win::start_detached_worker([request = std::move(request), sender = std::move(sender)]() mutable {
      // The worker reads the release once: staging and the installer run use this one copy.
      run_installation(std::move(request), current_policy(bootstrap_state()), std::move(sender));
    });
  }
  std::optional<std::string> browse_for_folder() override {
    // The new-style dialog needs an apartment on this thread.
    const win::ComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = window_;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = kFolderDialogTitle;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    const win::unique_cotaskmem<PIDLIST_ABSOLUTE> chosen(win::browse_for_folder(&info));
    if (!chosen) return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    if (!win::path_from_id_list(chosen.get(), path)) return std::nullopt;
    return win::narrow_until_nul(path, MAX_PATH);
  }

 private:
  HWND window_;
  HoverState& hover_;
  WindowHooks hooks_;
};

LRESULT on_set_cursor(HWND window, BootstrapState& state, WPARAM wParam, LPARAM lParam) {
  if (state.launchMode) {
    set_cursor(false);
    return TRUE;
  }
  if (LOWORD(lParam) != HTCLIENT) return ::DefWindowProcW(window, WM_SETCURSOR, wParam, lParam);
  set_cursor(wants_hand_cursor(button_under_cursor(window, state)));
  return TRUE;
}

LRESULT on_nc_hit_test(HWND window, const BootstrapState& state, LPARAM lParam) {
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ::ScreenToClient(window, &point);
  return non_client_hit(point.x, point.y, state.launchMode, window_scale()) == NonClientHit::Caption ? HTCAPTION
                                                                                                  : HTCLIENT;
}

void on_mouse_move(HWND window, const BootstrapState& state, HoverState& hover, WindowActions& actions,
                   LPARAM lParam) {
  if (state.launchMode) {
    set_cursor(false);
    return;
  }
  if (!hover.tracking) {
    hover.tracking = true;
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = window;
    track.dwHoverTime = 0;
    if (!::TrackMouseEvent(&track)) hover.tracking = false;
  }
  const ButtonId button =
      hit_test(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), state.phase, report_supported(state), window_scale());
  set_hovered(hover, button, actions);
  set_cursor(wants_hand_cursor(button));
}

void on_mouse_leave(HoverState& hover, WindowActions& actions) {
  hover.tracking = false;
  set_hovered(hover, ButtonId::None, actions);
  set_cursor(false);
}

// The focus moved to another button: it is redrawn, and readers follow it.
void focus_moved(HWND window) {
  ::InvalidateRect(window, nullptr, FALSE);
  announce_accessible_focus(window, focused_button());
}

// After anything that may have changed what the window shows: the focus follows the phase,
// readers hear it, the taskbar button shows the progress.
void after_state_change(HWND window, BootstrapState& state) {
  if (!::IsWindow(window)) return;
  if (!state.launchMode && follow_phase(window_focus(), state.phase, report_supported(state))) focus_moved(window);
  announce_accessible_changes(window, state);
  update_taskbar_progress(window, state);
}

// A press of a button by the keyboard or a reader: the very click a mouse would make on it,
// and like a click nothing while a modal dialog has disabled the window.
void press_button(HWND window, BootstrapState& state, WindowActions& actions, ButtonId button) {
  if (state.launchMode || button == ButtonId::None || !::IsWindowEnabled(window)) return;
  const ClientPoint point = button_press_point(button);
  on_click(state, point.x, point.y, actions);
  after_state_change(window, state);
}

// Windows hides focus rectangles until the keyboard is first used, and tells a window when that
// changes (WM_UPDATEUISTATE). The first key shows them here and tells the system as well; the
// window does not wait for the system's answer, which Wine does not always give.
void show_focus_cues(HWND window) {
  KeyboardFocus& focus = window_focus();
  if (focus.cuesShown) return;
  focus.cuesShown = true;
  if ((::SendMessageW(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0) {
    ::SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  }
  ::InvalidateRect(window, nullptr, FALSE);
}

void on_key(HWND window, BootstrapState& state, WindowActions& actions, WPARAM key, LPARAM lParam) {
  const bool shift = ::GetKeyState(VK_SHIFT) < 0;
  const bool repeated = (lParam & (1 << 30)) != 0;
  const KeyCommand command = key_command(static_cast<unsigned>(key), shift, repeated);
  if (command == KeyCommand::Close) {
    request_close(state, actions);
    return;
  }
  if (command == KeyCommand::None || state.launchMode) return;
  show_focus_cues(window);
  KeyboardFocus& focus = window_focus();
  if (command == KeyCommand::Press) {
    press_button(window, state, actions, focus.focused);
    return;
  }
  if (move_focus(focus, command == KeyCommand::FocusPrevious, state.phase, report_supported(state))) {
    focus_moved(window);
  }
}

}  // namespace

ButtonId focused_button() { return window_focus().focused; }
int window_drawing_dpi() { return window_scale(); }

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  BootstrapState& state = bootstrap_state();
  HoverState& hover = window_hover();
  WindowProcedureActions actions(window, hover);
  // A registration that failed gives 0, which must not turn WM_NULL into a press.
  if (message != 0 && message == accessible_press_message()) {
    // A reader's default action on a button.
    if (wParam < static_cast<WPARAM>(ButtonId::None)) press_button(window, state, actions, static_cast<ButtonId>(wParam));
    return 0;
  }
  if (message != 0 && message == taskbar_button_created_message()) {
    on_taskbar_button_created(window, state);
    return 0;
  }
  switch (message) {
    case WM_CREATE:
      accessible_window_created(window);
      allow_taskbar_button_message(window);
      window_focus() = KeyboardFocus{};
      window_painted() = false;
      window_scale() = window_dpi(window);
      ::SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
      return 0;
    case WM_UPDATEUISTATE:
      if ((HIWORD(wParam) & UISF_HIDEFOCUS) != 0 && LOWORD(wParam) != UIS_INITIALIZE) {
        window_focus().cuesShown = LOWORD(wParam) == UIS_CLEAR;
        ::InvalidateRect(window, nullptr, FALSE);
      }
      return ::DefWindowProcW(window, message, wParam, lParam);
    case WM_SETFOCUS:
      focus_moved(window);
      return 0;
    case WM_KILLFOCUS:
      ::InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_GETOBJECT:
      if (auto answer = answer_get_object(window, wParam, lParam)) return *answer;
      return ::DefWindowProcW(window, message, wParam, lParam);
    case WM_DESTROY:
      forget_accessible_object(window);
      forget_taskbar_button(window);
      ::KillTimer(window, kHoverTimerId);
      ::PostQuitMessage(0);
      return 0;
    case WM_PAINT:
      paint(window, state, hover,
            {focused_button(), ::GetFocus() == window && window_focus().cuesShown, window_scale(),
             high_contrast_colours(), !window_painted()});
      window_painted() = true;
      return 0;
    case WM_CLOSE:
      request_close(state, actions);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETCURSOR:
      return on_set_cursor(window, state, wParam, lParam);
    case WM_NCHITTEST:
      return on_nc_hit_test(window, state, lParam);
    case WM_KEYDOWN:
      on_key(window, state, actions, wParam, lParam);
      return 0;
    case WM_SYSKEYDOWN:
      // Alt+F4: what the close box does, refused alike while an installation runs.
      if (wParam == VK_F4) {
        request_close(state, actions);
        return 0;
      }
      return ::DefWindowProcW(window, message, wParam, lParam);
    case WM_TIMER:
      if (wParam == kMainTimerId) {
        on_main_tick(state, actions);
        after_state_change(window, state);
      } else if (wParam == kHoverTimerId) {
        on_hover_tick(hover, actions);
      }
      return 0;
    case WM_MOUSEMOVE:
      on_mouse_move(window, state, hover, actions, lParam);
      return 0;
    case WM_MOUSELEAVE:
      on_mouse_leave(hover, actions);
      return 0;
    case WM_SETTINGCHANGE:
    case WM_THEMECHANGED:
    case WM_SYSCOLORCHANGE:
      // A high-contrast theme switched on or off, or its colours changed: each paint asks anew.
      ::InvalidateRect(window, nullptr, FALSE);
      return ::DefWindowProcW(window, message, wParam, lParam);
    case WM_DPICHANGED: {
      // Moved to a monitor of another scale (or the scale changed): the window takes the size
      // and place Windows suggests, which keeps it under the cursor, and is drawn anew.
      window_scale() = LOWORD(wParam);
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      if (suggested != nullptr) {
        ::SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      }
      ::InvalidateRect(window, nullptr, FALSE);
      actions.refresh_hover();
      return 0;
    }
    case WM_LBUTTONDOWN:
      if (!state.launchMode) on_click(state, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), actions, window_scale());
      after_state_change(window, state);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace velko
