#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

#include "policy/release_policy.h"

namespace velko {

enum class ComponentKind : std::int32_t {
  Generic = 0,
  ServicePack1 = 1,
  Kb4490628 = 2,
  Kb4474419 = 3,
  WebView2Runtime = 4,
  Workbench = 5,
};

// The release the texts name: the policy's latest version, or "等待检测" while none is known
// (or it cannot be read).
std::string release_version_text(const std::expected<ReleasePolicy, std::string>& policy);

// Short name, used in component rows and step texts; the workbench's carries `versionText`
// (a release_version_text). Any unknown kind is "安装组件".
std::string component_display_name(ComponentKind kind, std::string_view versionText);

}  // namespace velko
