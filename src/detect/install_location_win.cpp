#include "detect/install_location.h"

#include <windows.h>

namespace velko {

std::string resolve_install_location() {
  if (::GetDriveTypeW(L"D:\\") == DRIVE_FIXED) return "D:\\VelkoTarn工作台";
  return "C:\\Program Files\\VelkoTarn工作台";
}

}  // namespace velko
