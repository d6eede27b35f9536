#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velko {

// The fields of the true Windows version that the classification looks at.
struct WindowsVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
  std::uint8_t productType = 0;  // 1 = workstation; anything else counts as a server
};

inline constexpr std::uint8_t kWorkstationProductType = 1;

// The first row of the window: the system label, the verdict beside it, and whether we serve it.
struct SystemClassification {
  std::string systemLabel;
  std::string verdict;
  bool supported = false;

  bool operator==(const SystemClassification&) const = default;
};

// Nothing means the version could not be read.
SystemClassification classify_version(const std::optional<WindowsVersion>& version);

}  // namespace velko
