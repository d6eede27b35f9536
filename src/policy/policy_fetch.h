#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

#include "policy/release_policy.h"

namespace velko {

// Policy worker thread only; blocking. Fetches the policy from the download service, checks
// it and, when it leaves the installer size out, makes one HEAD request for it. The value or
// the complete user text.
std::expected<ReleasePolicy, std::string> fetch_release_policy();
// The same against another policy address (tests use it to reach addresses where nothing
// listens); the installer address rules still pin the compiled-in download host.
std::expected<ReleasePolicy, std::string> fetch_release_policy_at(std::string_view policyAddress);

// One HEAD request: the installer's Content-Length (1..4,294,967,295) or a message.
std::expected<std::uint32_t, std::string> probe_installer_size(std::string_view address);

}  // namespace velko
