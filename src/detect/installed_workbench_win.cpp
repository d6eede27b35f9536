#include "detect/installed_workbench.h"

#include <algorithm>
#include <vector>

#include "common/win_path.h"
#include "detect/private_installation.h"
#include "detect/running_workbench.h"
#include "win/file_identity.h"

namespace velko {
namespace {

// Every folder from the drive's root down to `directory` is a real folder, each looked at only
// after the one above it: a junction on the way could lead the look anywhere, a share included.
bool reached_without_links(const std::string& directory) {
  std::vector<std::string> chain{directory};
  for (auto folder = path_parent(directory); folder && path_parent(*folder); folder = path_parent(*folder)) {
    chain.push_back(*folder);
  }
  return std::all_of(chain.rbegin(), chain.rend(),
                     [](const std::string& folder) { return win::is_plain_directory(folder).value_or(false); });
}

}  // namespace

std::optional<InstallManifest> read_install_manifest(const std::string& directory) {
  // A share is never looked at: the look alone would send the administrator's credentials there.
  if (!win::is_local_path(directory) || !reached_without_links(directory)) return std::nullopt;
  const std::string manifestPath = path_join(directory, kInstallManifestName);
  const std::string executable = path_join(directory, kWorkbenchExecutableName);
  if (!win::is_plain_file(manifestPath) || !win::is_plain_file(executable)) return std::nullopt;
  const auto text = win::read_whole_file(manifestPath);
  if (!text) return std::nullopt;
  auto manifest = parse_install_manifest(*text);
  // A drive letter may still name a share; such a path is never opened either.
  const auto sameLocalPath = [](const std::string& a, const std::string& b) {
    return win::is_local_path(a) && win::same_path(a, b);
  };
  if (!manifest || !manifest_describes_installation(*manifest, directory, executable, sameLocalPath)) {
    return std::nullopt;
  }
  return manifest;
}

bool has_valid_installation(const std::string& directory) { return read_install_manifest(directory).has_value(); }

WorkbenchInstallState check_installed_workbench(const std::string& directory,
                                                const std::optional<std::string>& latestVersion) {
  const WorkbenchInstallState state = installed_workbench_state(read_install_manifest(directory), latestVersion);
  // An installation that others could have changed is never started; installing again mends it.
  if (state == WorkbenchInstallState::Current && !is_private_installation(directory, {}).value_or(false)) {
    return WorkbenchInstallState::Older;
  }
  return state;
}

std::expected<std::string, std::string> workbench_executable(const std::string& directory) {
  if (!has_valid_installation(directory)) {
    return std::unexpected(std::string("工作台安装清单或主程序不完整，无法安全启动。"));
  }
  return path_join(directory, kWorkbenchExecutableName);
}

}  // namespace velko
