#include "install/install_directory.h"

#include <windows.h>

#include <initializer_list>
#include <utility>

#include "common/folder_trust.h"
#include "common/win_path.h"
#include "detect/running_workbench.h"
#include "install/install_manifest.h"
#include "install/installation_plan.h"
#include "install/launcher_files.h"
#include "install/workbench_installer.h"
#include "win/directories.h"
#include "win/file_identity.h"
#include "win/folder_security.h"
#include "win/os_error.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

std::unexpected<std::string> failure(const char* prefix, std::uint32_t code) {
  return std::unexpected(std::string(prefix) + win::os_error_text(code));
}

std::expected<bool, std::uint32_t> is_empty_folder(const std::string& folder) {
  WIN32_FIND_DATAW entry{};
  win::unique_find find(::FindFirstFileExW(win::wide(path_join(folder, "*")).c_str(), FindExInfoBasic, &entry,
                                           FindExSearchNameMatch, nullptr, 0));
  if (!find) return std::unexpected(static_cast<std::uint32_t>(::GetLastError()));
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") return false;
  } while (::FindNextFileW(find.get(), &entry));
  return true;
}

constexpr char kCheckFailedPrefix[] = "检查安装目录权限失败：";

bool exists(const std::string& path) { return ::GetFileAttributesW(win::wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// Each entry that exists must be trusted; `required` ones must also exist.
std::expected<bool, std::string> entries_trusted(std::initializer_list<std::pair<std::string, bool>> entries) {
  for (const auto& [path, required] : entries) {
    if (!required && !exists(path)) continue;
    const auto trusted = win::is_trusted_entry(path);
    if (!trusted) return failure(kCheckFailedPrefix, trusted.error());
    if (!*trusted) return false;
  }
  return true;
}

std::expected<void, std::string> secure_existing(const std::string& directory) {
  const auto plain = win::is_plain_directory(directory);
  if (!plain) return failure(kCheckFailedPrefix, plain.error());
  if (!*plain) return std::unexpected(std::string(kSharedInstallFolderText));
  // What a later elevated launch will insist on is looked at now, so that installing again is
  // always the way out of a launch that refused.
  const LauncherPaths launcher = launcher_paths(directory);
  const auto trusted = entries_trusted({{directory, true},
                                        {launcher.folder, false},
                                        {launcher.launcher, false},
                                        {path_join(directory, kWorkbenchExecutableName), false},
                                        {path_join(directory, kInstallManifestName), false}});
  if (!trusted) return std::unexpected(trusted.error());
  if (*trusted) return {};
  const auto empty = is_empty_folder(directory);
  if (!empty) return failure(kCheckFailedPrefix, empty.error());
  const bool workbench = !*empty && read_install_manifest(directory).has_value();
  if (untrusted_install_folder_action(*empty, workbench) == UntrustedFolderAction::Refuse) {
    return std::unexpected(std::string(kSharedInstallFolderText));
  }
  if (auto secured = win::secure_admin_folder(directory); !secured) {
    return failure("设置安装目录权限失败：", secured.error());
  }
  return {};
}

}  // namespace

std::expected<void, std::string> prepare_install_directory(const std::string& directory) {
  if (::GetFileAttributesW(win::wide(directory).c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (const auto parent = path_parent(directory)) {
      if (auto made = win::create_directories(*parent); !made) return failure("创建安装目录失败：", made.error());
    }
    auto made = win::create_secure_folder(directory);
    if (made) return {};
    // Someone made it since we looked: judge it like any folder we find.
    if (made.error() != ERROR_ALREADY_EXISTS) return failure("创建安装目录失败：", made.error());
  }
  return secure_existing(directory);
}

std::expected<bool, std::string> is_private_installation(const std::string& directory, const std::string& program) {
  if (program.empty()) return entries_trusted({{directory, true}, {launcher_paths(directory).folder, false}});
  return entries_trusted({{directory, true}, {launcher_paths(directory).folder, false}, {program, true}});
}

}  // namespace velko
