#include "ui/state_texts.h"

#include <cstdio>

#include "state/bootstrap_state.h"

namespace velko {

std::string format_elapsed(std::chrono::seconds elapsed) {
  const long long t = elapsed.count() < 0 ? 0 : elapsed.count();
  char buffer[64];
  if (t < 3600) {
    std::snprintf(buffer, sizeof buffer, "%02lld分%02lld秒", t / 60, t % 60);
  } else {
    std::snprintf(buffer, sizeof buffer, "%lld小时%02lld分%02lld秒", t / 3600, (t % 3600) / 60, t % 60);
  }
  return buffer;
}

std::string elapsed_text(BootstrapState& state, std::chrono::steady_clock::time_point now) {
  const StepClockValue start = state.stepClock.access_or_abort([](StepClockValue& clock) { return clock; });
  if (!start || *start > now) return format_elapsed(std::chrono::seconds(0));
  return format_elapsed(std::chrono::duration_cast<std::chrono::seconds>(now - *start));
}

}  // namespace velko
