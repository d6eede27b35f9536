#include "app/startup_win.h"

#include <windows.h>
#include <dwmapi.h>

#include "app/startup_options.h"
#include "app/window_placement.h"
#include "common/command_line.h"
#include "detect/install_location.h"
#include "launch/launch_handoff.h"
#include "state/bootstrap_state.h"
#include "state/classify_windows.h"
#include "state/policy_check.h"
#include "ui/display_scale.h"
#include "ui/display_scale_win.h"
#include "ui/window_constants.h"
#include "ui/window_procedure_win.h"
#include "win/module_path.h"
#include "win/own_image.h"
#include "win/system_library.h"
#include "win/unique_any.h"
#include "win/wide.h"
#include "win/worker_thread.h"

namespace velko {
namespace {

constexpr DWORD kCornerPreferenceAttribute = 33;  // DWMWA_WINDOW_CORNER_PREFERENCE
constexpr DWORD kRoundSmall = 3;                  // DWMWCP_ROUNDSMALL

void wait_for_process(std::uint32_t processId) {
  win::unique_handle process(::OpenProcess(SYNCHRONIZE, FALSE, processId));
  if (process) ::WaitForSingleObject(process.get(), INFINITE);
}

std::optional<std::string> settle_install_directory(const StartupOptions& options) {
  if (options.launchMode) {
    if (auto path = win::own_executable_path()) {
      if (auto directory = launch_install_directory(*path)) return directory;
    }
    return resolve_install_location();
  }
  if (options.installDir) return options.installDir;
  return resolve_install_location();
}

bool register_window_class(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DROPSHADOW;
  windowClass.lpfnWndProc = window_procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
  if (windowClass.hIcon == nullptr) windowClass.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = nullptr;
  windowClass.lpszClassName = kWindowClassName;
  return ::RegisterClassExW(&windowClass) != 0;
}

HWND create_window(HINSTANCE instance, const RoleWindow& role) {
  // Made on the primary monitor, at its scale; WM_DPICHANGED follows the window elsewhere.
  const int dpi = window_dpi(nullptr);
  RECT frame{0, 0, scaled(role.clientWidth, dpi), scaled(role.clientHeight, dpi)};
  ::AdjustWindowRectEx(&frame, WS_POPUP, FALSE, WS_EX_APPWINDOW);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const WindowOrigin origin =
      window_origin(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), width, height);
  return ::CreateWindowExW(WS_EX_APPWINDOW, kWindowClassName, win::wide(role.title).c_str(), WS_POPUP, origin.x,
                           origin.y, width, height, nullptr, nullptr, instance, nullptr);
}

void request_small_round_corners(HWND window) {
  using SetAttribute = HRESULT WINAPI(HWND, DWORD, LPCVOID, DWORD);
  static auto* const set_attribute = win::system_function<SetAttribute>(L"dwmapi.dll", "DwmSetWindowAttribute");
  if (set_attribute == nullptr) return;
  const DWORD preference = kRoundSmall;
  set_attribute(window, kCornerPreferenceAttribute, &preference, sizeof preference);
}

void start_launch_worker(BootstrapState& state) {
  state.phase = UiPhase::Checking;
  state.statusText.reset();
  state.launchTicks = 0;
  EventSender sender = open_event_channel(state);
  if (!state.installDirectory) {
    state.phase = UiPhase::Failed;
    state.statusText = "没有找到工作台安装目录。";
    return;
  }
  win::start_detached_worker([directory = *state.installDirectory, sender = std::move(sender)]() mutable {
    run_launch_handoff(std::move(directory), std::move(sender));
  });
}

}  // namespace

void run_program() {
  // Pinned before anything else happens: from now on the program's path cannot be made to
  // name another file, and the launcher copy is read from this very file. A failure shows
  // only where the file is needed.
  (void)win::own_image_file();

  const auto arguments = split_command_line(win::narrow(::GetCommandLineW()));
  const StartupOptions options = parse_startup_options(arguments);

  if (auto processId = process_to_wait_for(options, ::GetCurrentProcessId())) wait_for_process(*processId);

  BootstrapState& state = bootstrap_state();
  state.launchMode = options.launchMode;
  state.installerMode = options.installerMode;
  state.autoContinue = options.autoContinue;

  declare_dpi_awareness();
  // The first frame shows the install folder and, in its heading and hint, whether the folder
  // holds a workbench to update; the rest of the classification shows only once the check is
  // over, so it waits until that frame is on the screen.
  state.installDirectory = settle_install_directory(options);
  if (!options.launchMode) classify_installed_workbench(state);

  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  if (!register_window_class(instance)) return;
  const RoleWindow& role = options.launchMode ? kLaunchWindow : kInstallerWindow;
  HWND window = create_window(instance, role);
  if (window == nullptr) return;
  request_small_round_corners(window);
  ::SetTimer(window, kMainTimerId, kMainTimerMilliseconds, nullptr);
  ::ShowWindow(window, SW_SHOW);
  ::UpdateWindow(window);

  if (!options.launchMode) {
    classify_windows(state);
    ::InvalidateRect(window, nullptr, FALSE);
  }

  if (options.launchMode) {
    start_launch_worker(state);
  } else {
    start_policy_check(state);
  }

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

}  // namespace velko
