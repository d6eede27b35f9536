#pragma once

#include <expected>
#include <optional>
#include <string>

#include "detect/environment_report.h"
#include "detect/install_manifest.h"

namespace velko {

// The manifest of a valid workbench installation in `directory`, or nothing (no reason is
// given; a path that is not on a local drive is not looked at): both the manifest and the program must be plain files and the manifest must
// describe this very directory and program. Never fails; any thread.
std::optional<InstallManifest> read_install_manifest(const std::string& directory);
bool has_valid_installation(const std::string& directory);

// None, Older (also: valid while no release is known, `latestVersion` empty, or current but in a
// folder that others could have changed) or Current against the release's latest version. Never
// fails; any thread.
WorkbenchInstallState check_installed_workbench(const std::string& directory,
                                                const std::optional<std::string>& latestVersion);

// directory \ "VelkoTarn工作台.exe" of a valid installation, else the user text.
std::expected<std::string, std::string> workbench_executable(const std::string& directory);

}  // namespace velko
