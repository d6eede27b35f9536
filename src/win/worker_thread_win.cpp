#include "win/worker_thread.h"

#include <windows.h>

#include <cstdlib>
#include <memory>

#include "win/unique_any.h"

namespace velko::win {
namespace {

constexpr SIZE_T kWorkerStackBytes = 2 * 1024 * 1024;

DWORD WINAPI run_worker(void* parameter) {
  std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
  (*work)();
  return 0;
}

}  // namespace

std::expected<unique_handle, std::uint32_t> start_joinable_worker(std::function<void()> work, std::size_t stackBytes) {
  auto owned = std::make_unique<std::function<void()>>(std::move(work));
  unique_handle thread(::CreateThread(nullptr, stackBytes, run_worker, owned.get(),
                                      STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  if (!thread) return std::unexpected(static_cast<std::uint32_t>(::GetLastError()));
  owned.release();  // the thread owns it now
  return thread;
}

void start_detached_worker(std::function<void()> work) {
  if (!start_joinable_worker(std::move(work), kWorkerStackBytes)) std::abort();
}

}  // namespace velko::win
