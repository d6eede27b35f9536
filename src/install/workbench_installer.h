#pragma once

#include <chrono>
#include <expected>
#include <optional>
#include <string>

#include "detect/installed_workbench.h"
#include "policy/release_policy.h"

namespace velko {

// Installation worker: verifies the staged installer against `policy`, runs a
// verified private copy of it silently for `installDirectory`, checks the manifest it leaves
// behind and records the install location. The private copy and its run directory are
// removed again on every path (a failed removal is left behind and not reported).
std::expected<void, std::string> run_workbench_installer(const std::string& stagedInstaller,
                                                         const std::string& installDirectory,
                                                         const ReleasePolicy& policy);
// The same with the moment that names the run directories given instead of read from the
// clock, so that a caller can know the names in advance.
std::expected<void, std::string> run_workbench_installer_at(const std::string& stagedInstaller,
                                                            const std::string& installDirectory,
                                                            const ReleasePolicy& policy,
                                                            std::chrono::system_clock::time_point moment);

}  // namespace velko
