#pragma once

#include <functional>

namespace velko::win {

// Starts `work` on a new detached thread with a 2 MiB stack. Nobody joins it; it ends
// with the process at the latest. A thread that cannot be created ends the process.
void start_detached_worker(std::function<void()> work);

}  // namespace velko::win
