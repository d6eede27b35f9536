#pragma once

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
  ComponentStatuses components;

  bool operator==(const EnvironmentReport&) const = default;
};

// Records an installed component: present and staged. Unknown kinds change nothing; Generic
// only marks itself staged.
void mark_component_installed(EnvironmentReport& report, ComponentKind kind);

}  // namespace velko
