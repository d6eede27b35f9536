#include "install/download_size.h"

#include "webview2_pinned.h"

namespace velko {

std::string megabytes_text(std::uint64_t bytes) {
  const std::uint64_t tenths = bytes / 100'000 + (bytes % 100'000 >= 50'000 ? 1 : 0);
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MB";
}

std::string download_size_text(ComponentKind kind, const std::expected<ReleasePolicy, std::string>& policy) {
  const ComponentRow* row = find_component(kind);
  if (!row) return {};
  switch (row->size) {
    case ComponentSize::None: return {};
    case ComponentSize::PinnedBootstrapper: return megabytes_text(build::kPinnedWebView2BootstrapperBytes);
    case ComponentSize::PolicyInstaller:
      return policy ? megabytes_text(policy->installerBytes) : std::string("等待服务器");
  }
  return {};
}

}  // namespace velko
