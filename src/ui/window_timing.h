#pragma once

#include <cstdint>

// How many ticks of the main timer (45 ms each) the window's timed behaviour takes.

namespace velko {

// The checking bar climbs 3 per tick but stops here until the release policy has arrived.
inline constexpr std::int32_t kCheckingPercentBeforePolicy = 94;

// The badge's reveal runs through steps 0 to 34, one per tick; its shine sweeps during 0 to 29.
inline constexpr int kRevealLastStep = 34;
inline constexpr int kShineLastStep = 29;

// While waiting for the old workbench to exit, this many ticks are skipped between two checks
// of whether it still runs: a check on every 22nd tick, about once a second.
inline constexpr std::uint32_t kWorkbenchPollTicks = 21;

// The launch window says it is connecting for ticks 0 to 41, then that it is checking the program.
inline constexpr std::uint32_t kLaunchConnectingTicks = 41;
// After a successful launch the window closes on the first tick once 17 ticks have passed.
inline constexpr std::uint32_t kLaunchCloseTicks = 17;

}  // namespace velko
