#include "detect/install_location.h"

#include <windows.h>

#include "common/unicode_space.h"
#include "common/utf.h"
#include "common/win_path.h"
#include "detect/installed_workbench.h"
#include "win/data_folder.h"
#include "win/file_identity.h"

namespace velko {
namespace {

std::optional<std::string> remembered_install_location() {
  // The record is read only from a data folder that nobody else can have written.
  const auto dataFolder = win::trusted_installer_data_folder();
  if (!dataFolder) return std::nullopt;
  auto text = win::read_whole_file(path_join(*dataFolder, kInstallLocationRecordName));
  if (!text || !is_valid_utf8(*text)) return std::nullopt;
  std::string path = trim_unicode_space(*text);
  // Only a folder that still holds the workbench is worth returning to.
  if (path.empty() || !win::is_local_path(path) || !has_valid_installation(path)) return std::nullopt;
  return path;
}

}  // namespace

std::string resolve_install_location() {
  if (auto remembered = remembered_install_location()) return std::move(*remembered);
  if (::GetDriveTypeW(L"D:\\") == DRIVE_FIXED) return "D:\\VelkoTarn工作台";
  return "C:\\Program Files\\VelkoTarn工作台";
}

}  // namespace velko
