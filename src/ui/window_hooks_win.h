#pragma once

#include <windows.h>

#include "state/state_hooks.h"

namespace velko {

// The real operations behind event application, for the window thread.
class WindowHooks final : public StateHooks {
 public:
  void classify_windows(BootstrapState& state) override;
  std::expected<void, std::string> relaunch_after_update(
      const std::expected<std::string, std::string>& installDirectory) override;
  void post_quit() override;
};

}  // namespace velko
