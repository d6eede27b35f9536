#pragma once

#include <expected>
#include <optional>
#include <string>

#include "install/installation.h"
#include "state/bootstrap_state.h"
#include "state/state_hooks.h"
#include "ui/display_scale.h"
#include "ui/hover_state.h"
#include "ui/window_layout.h"

namespace velko {

// What the window's decisions need from Windows and from the other subsystems. The window
// procedure supplies the real operations; host tests supply recorders.
class WindowActions : public StateHooks {
 public:
  virtual void destroy_window() = 0;
  // Invalidates the whole client area without erasing.
  virtual void invalidate() = 0;
  // Hit-tests the current cursor position, sets the hovered button and the cursor.
  virtual void refresh_hover() = 0;
  virtual void start_hover_timer() = 0;
  virtual void stop_hover_timer() = 0;
  virtual void start_policy_check(BootstrapState& state) = 0;
  virtual std::expected<bool, std::string> is_workbench_running(
      const std::expected<std::string, std::string>& installDirectory) = 0;
  // Starts the installation worker on a new detached thread.
  virtual void start_installation_worker(InstallRequest request, EventSender sender) = 0;
  // The modal folder dialog: the chosen file-system path, or nothing when cancelled.
  virtual std::optional<std::string> browse_for_folder() = 0;
};

// The button under (x, y) for hover feedback and the cursor; actionable = a supported report
// exists (report_supported). Client coordinates of a window at `dpi`.
ButtonId hit_test(int x, int y, UiPhase phase, bool actionable, int dpi = kBaseDpi);
// Browse, Recheck and Primary show the hand cursor; Close and None the arrow.
bool wants_hand_cursor(ButtonId button);

enum class NonClientHit { Caption, Client };
// Client coordinates at `dpi`; the title strip drags the window.
NonClientHit non_client_hit(int x, int y, bool launchMode, int dpi = kBaseDpi);

inline constexpr float kHoverStep = 0.14f;
inline constexpr float kHoverEpsilon = 1.1920929e-07f;
inline constexpr char kWaitingForExitText[] = "正在等待旧工作台正常退出；退出后将自动继续更新。";
inline constexpr char kWorkbenchExitedText[] = "已检测到工作台退出，正在自动继续更新。";
inline constexpr char kNothingMissingText[] = "当前所需组件均已安装。";
inline constexpr char kNoWorkbenchDirectory[] = "没有可用的工作台安装目录。";

// Timer 1, every kMainTimerMilliseconds.
void on_main_tick(BootstrapState& state, WindowActions& actions);
// Timer 2, every 16 ms: one step of the hover fade.
void on_hover_tick(HoverState& hover, WindowActions& actions);
// Stores the hovered button and starts the fade timer when it changed.
void set_hovered(HoverState& hover, ButtonId button, WindowActions& actions);
// A left-button press in the installer window (client coordinates at `dpi`).
void on_click(BootstrapState& state, int x, int y, WindowActions& actions, int dpi = kBaseDpi);
// Close, Esc and the close button: refused while a download or installation runs.
void request_close(BootstrapState& state, WindowActions& actions);
// Returns whether its preconditions held (and it did something).
bool start_installation(BootstrapState& state, WindowActions& actions);
void start_recheck(BootstrapState& state, WindowActions& actions);
// The folder dialog and, when a folder was chosen, the new check of that folder.
void choose_folder(BootstrapState& state, WindowActions& actions);

}  // namespace velko
