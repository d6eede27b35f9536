#pragma once

#include <cstdint>
#include <string>

namespace velko {

enum class ComponentKind : std::int32_t {
  Generic = 0,
  ServicePack1 = 1,
  Kb4490628 = 2,
  Kb4474419 = 3,
  WebView2Runtime = 4,
  Workbench = 5,
};

// Short name, used in component rows and step texts. Any unknown kind is "安装组件".
std::string component_display_name(ComponentKind kind);
// Long name, used while a download of the kind is being prepared.
std::string component_long_name(ComponentKind kind);

}  // namespace velko
