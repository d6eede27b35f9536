#pragma once

#include <chrono>
#include <expected>
#include <optional>
#include <string>

#include "detect/environment_report.h"
#include "install/install_manifest.h"
#include "win/file_identity.h"

namespace velko {

using win::is_plain_file;
using win::same_path;

// The manifest of a valid workbench installation in `directory`, or nothing (no reason is
// given): both the manifest and the program must be plain files and the manifest must
// describe this very directory and program. Never fails; any thread.
std::optional<InstallManifest> read_install_manifest(const std::string& directory);
bool has_valid_installation(const std::string& directory);

// None, Older (also: valid while no policy is known yet) or Current against the current
// policy's latest version. Takes the policy lock briefly. Never fails; any thread.
WorkbenchInstallState check_installed_workbench(const std::string& directory);

// directory \ "VelkoTarn工作台.exe" of a valid installation, else the user text.
std::expected<std::string, std::string> workbench_executable(const std::string& directory);

// Installation worker: verifies the staged installer against the current policy, runs a
// verified private copy of it silently for `installDirectory`, checks the manifest it leaves
// behind and records the install location. The private copy and its run directory are
// removed again on every path (a failed removal is left behind and not reported).
std::expected<void, std::string> run_workbench_installer(const std::string& stagedInstaller,
                                                         const std::string& installDirectory);
// The same with the moment that names the run directories given instead of read from the
// clock, so that a caller can know the names in advance.
std::expected<void, std::string> run_workbench_installer_at(const std::string& stagedInstaller,
                                                            const std::string& installDirectory,
                                                            std::chrono::system_clock::time_point moment);

}  // namespace velko
