#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/component_kind.h"

namespace velko {

enum class WorkbenchInstallState : std::uint8_t {
  None = 0,     // no readable installation
  Older = 1,    // installed but older than the policy's release, or no policy known yet
  Current = 2,  // installed and up to date
};

// What a classification found; replaced as a whole by every classification.
struct EnvironmentReport {
  std::string systemLabel;
  std::string verdict;
  bool supported = false;
  bool servicePack1Present = false;
  bool kb4490628Present = false;
  bool kb4474419Present = false;
  bool webView2Present = false;
  bool workbenchCurrent = false;
  std::array<bool, 6> staged{};  // indexed by ComponentKind, see staged_index

  bool operator==(const EnvironmentReport&) const = default;
};

constexpr std::size_t staged_index(ComponentKind kind) { return static_cast<std::size_t>(kind); }

// How many of the two installable components (WebView2, the workbench) are still missing.
int count_missing_components(const EnvironmentReport& report);
// Records an installed component: present and staged. Unknown kinds change nothing; Generic
// only marks its staged slot.
void mark_component_installed(EnvironmentReport& report, ComponentKind kind);

}  // namespace velko
