#pragma once

#include <string>
#include <string_view>

#include "model/component_kind.h"

namespace velko {

// Long name, used while a download of the kind is being prepared; the workbench's carries
// `versionText` (a release_version_text). Any unknown kind is "安装组件".
std::string component_long_name(ComponentKind kind, std::string_view versionText);

}  // namespace velko
