#include "install/install_directory.h"

#include <windows.h>

#include <vector>

#include "common/folder_trust.h"
#include "common/win_path.h"
#include "detect/install_location.h"
#include "detect/installed_workbench.h"
#include "install/installation_plan.h"
#include "win/directories.h"
#include "win/file_identity.h"
#include "win/folder_security.h"
#include "win/os_error.h"
#include "win/wide.h"

namespace velko {
namespace {

constexpr char kCheckFailedPrefix[] = "检查安装目录权限失败：";
constexpr char kCreateFailedPrefix[] = "创建安装目录失败：";

std::expected<void, std::string> create_afresh(const std::string& directory) {
  if (auto made = win::create_secure_folder(directory); !made) return win::os_failure(kCreateFailedPrefix, made.error());
  return {};
}

// The folder's bytes may be anybody's, so nothing in it is trusted or re-permissioned: it goes
// (empty, or moved aside whole) or it is refused. Handles opened while it was open to others would
// outlive any new descriptor; a folder made afresh has none.
std::expected<void, std::string> replace_untrusted(const std::string& directory) {
  const auto names = win::folder_entry_names(directory);
  if (!names) return win::os_failure(kCheckFailedPrefix, names.error());
  const bool holdsInstallation = !names->empty() && read_install_manifest(directory).has_value();
  switch (untrusted_install_folder_action(names->empty(), holdsInstallation,
                                          path_file_name(directory) == kProductFolderName)) {
    case UntrustedFolderAction::Recreate:
      if (!::RemoveDirectoryW(win::wide(directory).c_str())) {
        return win::os_failure(kCreateFailedPrefix, static_cast<std::uint32_t>(::GetLastError()));
      }
      return create_afresh(directory);
    case UntrustedFolderAction::SetAside:
      if (auto moved = win::set_aside_folder(directory, win::local_date_text()); !moved) {
        return win::os_failure(kSetAsideFailedPrefix, moved.error());
      }
      return create_afresh(directory);
    case UntrustedFolderAction::Refuse:
      return std::unexpected(std::string(kSharedInstallFolderText));
  }
  return std::unexpected(std::string(kSharedInstallFolderText));
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
  // Opening a share hands the administrator's credentials to its host: not even a look.
  if (!win::is_local_path(directory)) return std::unexpected(std::string(kNonLocalInstallFolderText));
  if (!win::path_exists(directory)) {
    if (auto made = create_missing_parents(directory); !made) return win::os_failure(kCreateFailedPrefix, made.error());
  }
  const auto above = win::folders_above_keep_in_place(directory);
  if (!above) return win::os_failure(kCheckFailedPrefix, above.error());
  if (!*above) return std::unexpected(std::string(kMovableInstallFolderText));
  if (!win::path_exists(directory)) {
    auto made = win::create_secure_folder(directory);
    if (made) return {};
    // Someone made it since we looked: judge it like any folder we find.
    if (made.error() != ERROR_ALREADY_EXISTS) return win::os_failure(kCreateFailedPrefix, made.error());
  }
  const auto plain = win::is_plain_directory(directory);
  if (!plain) return win::os_failure(kCheckFailedPrefix, plain.error());
  if (!*plain) return std::unexpected(std::string(kLinkInstallFolderText));
  // What a later elevated launch will insist on is looked at now, so that installing again is
  // always the way out of a launch that refused.
  const auto isPrivate = is_private_installation(directory, {});
  if (!isPrivate) return std::unexpected(isPrivate.error());
  if (*isPrivate) return {};
  return replace_untrusted(directory);
}

}  // namespace velko
