#pragma once

#include <chrono>
#include <expected>
#include <string>

namespace velko {

struct BootstrapState;

// What applying events needs from the rest of the program; the window supplies the real
// operations, host tests supply observers.
class StateHooks {
 public:
  virtual ~StateHooks() = default;
  // Classifies the machine again and stores the results into the state.
  virtual void classify_windows(BootstrapState& state) = 0;
  // Starts the deployed launcher for the install directory (or passes the error on).
  virtual std::expected<void, std::string> relaunch_after_update(
      const std::expected<std::string, std::string>& installDirectory) = 0;
  // Ends the message loop; the program then exits.
  virtual void post_quit() = 0;
  virtual std::chrono::steady_clock::time_point now() { return std::chrono::steady_clock::now(); }
};

}  // namespace velko
