#include "detect/install_location.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "common/unicode_space.h"
#include "common/utf.h"
#include "common/win_path.h"
#include "detect/installed_workbench.h"
#include "detect/private_installation.h"
#include "win/data_folder.h"
#include "win/directories.h"
#include "win/file_identity.h"
#include "win/security_descriptor.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

// Data folders of earlier runs that were moved aside: a few are looked at, newest name first.
constexpr std::size_t kSetAsideFoldersLooked = 8;

// The installation a record names, when it is local and still holds the workbench.
std::optional<std::string> recorded_installation(const std::string& folder) {
  const std::string record = path_join(folder, kInstallLocationRecordName);
  if (!win::is_plain_file(record)) return std::nullopt;
  auto text = win::read_whole_file(record);
  if (!text || !is_valid_utf8(*text)) return std::nullopt;
  std::string path = trim_unicode_space(*text);
  // Only a folder that still holds the workbench is worth returning to.
  if (path.empty() || !win::is_local_path(path) || !has_valid_installation(path)) return std::nullopt;
  return path;
}

// A data folder moved aside (by an upgrade from a version that never secured it, say) may hold the
// record of a real installation. It is anybody's, so its record is only a hint: the installation
// it names must be one that only administrators can change.
std::optional<std::string> hinted_installation() {
  const std::string parent = win::program_data_folder();
  auto names = win::folder_entry_names(parent);
  if (!names) return std::nullopt;
  const std::string prefix = std::string(win::kInstallerDataFolderName) + ".untrusted-";
  std::vector<std::string> setAside;
  for (std::string& name : *names) {
    if (name.starts_with(prefix)) setAside.push_back(std::move(name));
  }
  std::sort(setAside.rbegin(), setAside.rend());
  if (setAside.size() > kSetAsideFoldersLooked) setAside.resize(kSetAsideFoldersLooked);
  for (const std::string& name : setAside) {
    const std::string folder = path_join(parent, name);
    if (!win::is_plain_directory(folder).value_or(false)) continue;
    auto path = recorded_installation(folder);
    if (path && is_private_installation(*path, {}).value_or(false)) return path;
  }
  return std::nullopt;
}

std::optional<std::string> remembered_install_location() {
  // The record is read only from a data folder that nobody else can have written.
  if (const auto dataFolder = win::trusted_installer_data_folder()) {
    if (auto path = recorded_installation(*dataFolder)) return path;
  }
  return hinted_installation();
}

std::optional<SecurityDescriptor> drive_root_descriptor(const wchar_t* root) {
  win::unique_file handle(::CreateFileW(root, READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return std::nullopt;
  auto descriptor = win::entry_security_descriptor(handle.get());
  if (!descriptor) return std::nullopt;
  return std::move(*descriptor);
}

}  // namespace

std::string resolve_install_location() {
  if (auto remembered = remembered_install_location()) return std::move(*remembered);
  const bool dFixed = ::GetDriveTypeW(L"D:\\") == DRIVE_FIXED;
  return default_install_location(dFixed, dFixed ? drive_root_descriptor(L"D:\\") : std::nullopt);
}

}  // namespace velko
