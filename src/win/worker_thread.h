#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>

#include "win/unique_any.h"

namespace velko::win {

// Starts `work` on a new detached thread with a 2 MiB stack. Nobody joins it; it ends
// with the process at the latest. A thread that cannot be created ends the process.
void start_detached_worker(std::function<void()> work);

// Starts `work` on a new thread with a stack of `stackBytes` and returns the thread's handle,
// which the caller waits on before anything `work` uses goes away; the Windows error code when
// no thread can be made.
std::expected<unique_handle, std::uint32_t> start_joinable_worker(std::function<void()> work, std::size_t stackBytes);

}  // namespace velko::win
