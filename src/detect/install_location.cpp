#include "detect/install_location.h"

#include "common/folder_trust.h"
#include "common/win_path.h"

namespace velko {

std::string default_install_location(bool dDriveFixed, const std::optional<SecurityDescriptor>& dRoot) {
  if (dDriveFixed && root_can_hold_admin_folder(dRoot)) return path_join("D:\\", kProductFolderName);
  return path_join("C:\\Program Files", kProductFolderName);
}

}  // namespace velko
