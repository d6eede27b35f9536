#pragma once

#include <chrono>
#include <expected>
#include <optional>
#include <span>
#include <string>

#include "detect/installed_workbench.h"
#include "download/publisher_key.h"
#include "policy/release_policy.h"

namespace velko {

// Installation worker: verifies the staged installer against `policy`, runs a
// verified private copy of it silently for `installDirectory`, checks the manifest it leaves
// behind and records the install location. The private copy and its run directory are
// removed again on every path (a failed removal is left behind and not reported). When the
// build pins publisher keys, the copy runs only when one of them signed it.
std::expected<void, std::string> run_workbench_installer(const std::string& stagedInstaller,
                                                         const std::string& installDirectory,
                                                         const ReleasePolicy& policy);
// The same with the moment that names the run directories given instead of read from the
// clock, so that a caller can know the names in advance, and with the keys one of which must
// have signed the installer (none: no signature is asked for).
std::expected<void, std::string> run_workbench_installer_at(const std::string& stagedInstaller,
                                                            const std::string& installDirectory,
                                                            const ReleasePolicy& policy,
                                                            std::chrono::system_clock::time_point moment,
                                                            std::span<const PublisherKey> publisherKeys);

}  // namespace velko
