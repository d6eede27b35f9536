#include "ui/window_hooks_win.h"

#include "launch/launch_handoff.h"
#include "state/classify_windows.h"

namespace velko {

void WindowHooks::classify_windows(BootstrapState& state) { velko::classify_windows(state); }

std::expected<void, std::string> WindowHooks::relaunch_after_update(
    const std::expected<std::string, std::string>& installDirectory) {
  return velko::relaunch_after_update(installDirectory);
}

void WindowHooks::post_quit() { ::PostQuitMessage(0); }

}  // namespace velko
