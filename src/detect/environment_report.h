#pragma once

#include <array>
#include <cstdint>
#include <string>

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
  std::array<bool, 6> staged{};  // indexed by ComponentKind

  bool operator==(const EnvironmentReport&) const = default;
};

}  // namespace velko
