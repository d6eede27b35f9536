#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "detect/environment_report.h"

namespace velko {

// What a finished workbench installation says about itself in "install-manifest.json".
struct InstallManifest {
  std::string commandLibraryPath;
  std::string executablePath;
  std::string installPath;
  std::string product;
  std::string version;

  bool operator==(const InstallManifest&) const = default;
};

inline constexpr char kInstallManifestName[] = "install-manifest.json";
inline constexpr char kWorkbenchProductName[] = "VelkoTarn工作台";
inline constexpr char kEmbeddedCommandLibrary[] = "embedded://frontend-bundle";

// One JSON object with the five members as strings. Other members are skipped whatever
// their value; a member name repeated in any object, a wrong type, a syntax error or text
// after the object gives nothing.
std::optional<InstallManifest> parse_install_manifest(std::string_view text);

// Are these two paths the same file or directory? Injected so the rules stay pure.
using SamePathFunction = std::function<bool(const std::string&, const std::string&)>;

// Does the manifest describe a valid installation in `directory` whose program is
// `executable`? The checks run in a fixed order and stop at the first failure, so the
// costlier path resolutions only happen for an otherwise good manifest whose paths are both
// local drive paths (is_local_drive_path).
bool manifest_describes_installation(const InstallManifest& manifest, const std::string& directory,
                                     const std::string& executable, const SamePathFunction& samePath);

// The installed-workbench state: `manifest` of the directory (nothing when not valid) against
// the policy's latest version (nothing when no policy is known).
WorkbenchInstallState installed_workbench_state(const std::optional<InstallManifest>& manifest,
                                                const std::optional<std::string>& latestVersion);

}  // namespace velko
