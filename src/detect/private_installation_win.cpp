#include "detect/private_installation.h"

#include <initializer_list>

#include "common/win_path.h"
#include "detect/install_manifest.h"
#include "detect/running_workbench.h"
#include "win/directories.h"
#include "win/file_identity.h"
#include "win/folder_security.h"
#include "win/os_error.h"

namespace velko {
namespace {

constexpr char kCheckFailedPrefix[] = "检查安装目录权限失败：";

enum class Kind { Folder, File };

struct Entry {
  std::string path;
  Kind kind;
  bool required;
};

// Each entry that exists must be of its kind (a link is judged as itself but used through its
// target, so it never passes) and trusted; `required` ones must also exist.
std::expected<bool, std::string> entries_trusted(std::initializer_list<Entry> entries) {
  for (const auto& [path, kind, required] : entries) {
    if (path.empty() || (!required && !win::path_exists(path))) continue;
    if (kind == Kind::File && !win::is_plain_file(path) && win::path_exists(path)) return false;
    if (kind == Kind::Folder) {
      const auto plain = win::is_plain_directory(path);
      if (plain && !*plain) return false;
    }
    const auto trusted = win::is_trusted_entry(path);
    if (!trusted) return win::os_failure(kCheckFailedPrefix, trusted.error());
    if (!*trusted) return false;
  }
  return true;
}

}  // namespace

std::expected<bool, std::string> is_private_installation(const std::string& directory, const std::string& program) {
  if (!win::is_local_path(directory)) return false;
  const auto above = win::folders_above_keep_in_place(directory);
  if (!above) return win::os_failure(kCheckFailedPrefix, above.error());
  if (!*above) return false;
  const std::string runtimeFolder = path_join(directory, kRuntimeComponentFolderName);
  return entries_trusted({{directory, Kind::Folder, true},
                          {runtimeFolder, Kind::Folder, false},
                          {path_join(runtimeFolder, kLauncherFileName), Kind::File, false},
                          {path_join(directory, kWorkbenchExecutableName), Kind::File, false},
                          {path_join(directory, kInstallManifestName), Kind::File, false},
                          {program, Kind::File, true}});
}

}  // namespace velko
