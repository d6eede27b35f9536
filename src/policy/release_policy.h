#pragma once

#include <cstdint>
#include <string>

namespace velko {

// The checked release policy: what the later steps need from the download service's answer.
struct ReleasePolicy {
  std::string latestVersion;
  std::string downloadUrl;
  std::string updateSha256;  // 64 upper-case hexadecimal characters
  std::uint64_t installerBytes = 0;

  bool operator==(const ReleasePolicy&) const = default;
};

}  // namespace velko
