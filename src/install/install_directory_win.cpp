#include "install/install_directory.h"

#include <windows.h>

#include <initializer_list>
#include <utility>
#include <vector>

#include "common/folder_trust.h"
#include "common/win_path.h"
#include "detect/installed_workbench.h"
#include "detect/running_workbench.h"
#include "install/installation_plan.h"
#include "install/launcher_files.h"
#include "win/directories.h"
#include "win/file_identity.h"
#include "win/folder_security.h"
#include "win/os_error.h"
#include "win/unique_any.h"
#include "win/wide.h"

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
    if (!required && !win::path_exists(path)) continue;
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

std::expected<void, std::string> secure_existing(const std::string& directory) {
  const auto plain = win::is_plain_directory(directory);
  if (!plain) return win::os_failure(kCheckFailedPrefix, plain.error());
  if (!*plain) return std::unexpected(std::string(kSharedInstallFolderText));
  // What a later elevated launch will insist on is looked at now, so that installing again is
  // always the way out of a launch that refused.
  const LauncherPaths launcher = launcher_paths(directory);
  const auto trusted = entries_trusted({{directory, Kind::Folder, true},
                                        {launcher.folder, Kind::Folder, false},
                                        {launcher.launcher, Kind::File, false},
                                        {path_join(directory, kWorkbenchExecutableName), Kind::File, false},
                                        {path_join(directory, kInstallManifestName), Kind::File, false}});
  if (!trusted) return std::unexpected(trusted.error());
  if (*trusted) return {};
  const auto names = win::folder_entry_names(directory);
  if (!names) return win::os_failure(kCheckFailedPrefix, names.error());
  if (names->empty()) {
    // Permissions are checked when a handle is opened: one that someone opened while the folder
    // was open to him would outlive any new descriptor. A new folder has no such handles.
    if (!::RemoveDirectoryW(win::wide(directory).c_str())) {
      return win::os_failure("设置安装目录权限失败：", static_cast<std::uint32_t>(::GetLastError()));
    }
    if (auto made = win::create_secure_folder(directory); !made) return win::os_failure("创建安装目录失败：", made.error());
    return {};
  }
  // A workbench installation is taken over only when everything in it was made by an
  // administrator: a standard user owns whatever he put there (a manifest, a program, a DLL).
  const auto made = win::is_tree_made_by_trusted(directory);
  if (!made) return win::os_failure(kCheckFailedPrefix, made.error());
  const bool workbench = *made && read_install_manifest(directory).has_value();
  if (untrusted_install_folder_action(false, workbench) == UntrustedFolderAction::Refuse) {
    return std::unexpected(std::string(kSharedInstallFolderText));
  }
  if (auto secured = win::secure_admin_folder(directory); !secured) {
    return win::os_failure("设置安装目录权限失败：", secured.error());
  }
  return {};
}

// Missing folders above the install directory are ours too: one that others could rename
// would let them put their own tree in its place later.
std::expected<void, std::uint32_t> create_missing_parents(const std::string& directory) {
  std::vector<std::string> missing;
  for (auto parent = path_parent(directory); parent && !win::path_exists(*parent); parent = path_parent(*parent)) {
    missing.push_back(*parent);
  }
  for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
    auto made = win::create_secure_folder(*folder);
    if (!made && made.error() != ERROR_ALREADY_EXISTS) return made;
  }
  return {};
}

}  // namespace

std::expected<void, std::string> prepare_install_directory(const std::string& directory) {
  if (!win::path_exists(directory)) {
    if (auto made = create_missing_parents(directory); !made) return win::os_failure("创建安装目录失败：", made.error());
  }
  const auto above = win::folders_above_keep_in_place(directory);
  if (!above) return win::os_failure(kCheckFailedPrefix, above.error());
  if (!*above) return std::unexpected(std::string(kMovableInstallFolderText));
  if (!win::path_exists(directory)) {
    auto made = win::create_secure_folder(directory);
    if (made) return {};
    // Someone made it since we looked: judge it like any folder we find.
    if (made.error() != ERROR_ALREADY_EXISTS) return win::os_failure("创建安装目录失败：", made.error());
  }
  return secure_existing(directory);
}

std::expected<bool, std::string> is_private_installation(const std::string& directory, const std::string& program) {
  const auto above = win::folders_above_keep_in_place(directory);
  if (!above) return win::os_failure(kCheckFailedPrefix, above.error());
  if (!*above) return false;
  const std::string runtimeFolder = launcher_paths(directory).folder;
  if (program.empty()) return entries_trusted({{directory, Kind::Folder, true}, {runtimeFolder, Kind::Folder, false}});
  return entries_trusted(
      {{directory, Kind::Folder, true}, {runtimeFolder, Kind::Folder, false}, {program, Kind::File, true}});
}

}  // namespace velko
