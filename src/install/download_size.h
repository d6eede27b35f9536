#pragma once

#include <cstdint>
#include <expected>
#include <string>

#include "model/component_kind.h"
#include "policy/release_policy.h"

namespace velko {

// "{size} MB" in units of 1,000,000 bytes with one digit after the point (rounded half up).
std::string megabytes_text(std::uint64_t bytes);

// The download size the window shows for a component: Microsoft's pinned bootstrapper
// (build::kPinnedWebView2BootstrapperBytes) for the WebView2 runtime, the policy's installer
// size for the workbench ("等待服务器" while no policy is known). Other kinds are never
// downloaded and show nothing.
std::string download_size_text(ComponentKind kind, const std::expected<ReleasePolicy, std::string>& policy);

}  // namespace velko
