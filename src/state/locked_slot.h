#pragma once

#include <expected>
#include <mutex>
#include <type_traits>
#include <utility>

namespace velko {

struct SlotPoisoned {};

// A value behind its own lock that remembers when a holder failed (threw) while holding it.
// Every access is a short function run under the lock; never take another slot inside it.
template <typename T>
class LockedSlot {
 public:
  template <typename Fn>
  auto access(Fn&& fn) -> std::expected<std::invoke_result_t<Fn, T&>, SlotPoisoned> {
    using Result = std::invoke_result_t<Fn, T&>;
    std::lock_guard lock(mutex_);
    if (poisoned_) return std::unexpected(SlotPoisoned{});
    try {
      if constexpr (std::is_void_v<Result>) {
        fn(value_);
        return {};
      } else {
        return fn(value_);
      }
    } catch (...) {
      poisoned_ = true;
      throw;
    }
  }

  // For slots whose poisoning cannot follow from input: an abandoned lock ends the process.
  template <typename Fn>
  auto access_or_abort(Fn&& fn) -> std::invoke_result_t<Fn, T&> {
    auto result = access(std::forward<Fn>(fn));
    if (!result) std::terminate();
    if constexpr (!std::is_void_v<std::invoke_result_t<Fn, T&>>) return std::move(*result);
  }

 private:
  std::mutex mutex_;
  bool poisoned_ = false;
  T value_{};
};

}  // namespace velko
