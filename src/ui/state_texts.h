#pragma once

#include <chrono>
#include <string>

namespace velko {

struct BootstrapState;

// "{m}分{s}秒", or "{h}小时{m}分{s}秒" from one hour on.
std::string format_elapsed(std::chrono::seconds elapsed);
// The time since the current step started, as above; "00分00秒" before the first step.
std::string elapsed_text(BootstrapState& state, std::chrono::steady_clock::time_point now);

}  // namespace velko
