#pragma once

#include "ui/window_layout.h"

namespace velko {

inline constexpr wchar_t kWindowClassName[] = L"VelkoOnlineBootstrapperPreview";

struct RoleWindow {
  const char* title;
  int clientWidth;
  int clientHeight;
};

inline constexpr RoleWindow kInstallerWindow{"Velko Tarn 工作台智能安装引导器", kInstallerWidth, kInstallerHeight};
inline constexpr RoleWindow kLaunchWindow{"Velko Tarn 工作台", kLaunchWidth, kLaunchHeight};

}  // namespace velko
