#pragma once

#include <chrono>
#include <expected>
#include <string>

#include "policy/release_policy.h"

namespace velko {

struct BootstrapState;

// "{m}分{s}秒", or "{h}小时{m}分{s}秒" from one hour on.
std::string format_elapsed(std::chrono::seconds elapsed);
// The release version the window names: the policy's, or "等待检测" while there is none.
std::string release_version_text(const std::expected<ReleasePolicy, std::string>& policy);

// The time since the current step started, as above; "00分00秒" before the first step.
std::string elapsed_text(BootstrapState& state, std::chrono::steady_clock::time_point now);

}  // namespace velko
