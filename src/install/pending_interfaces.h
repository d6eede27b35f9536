#pragma once
// THROW-AWAY: declarations of the download subsystem's staging and hashing until they land.
#include <cstddef>
#include <cstdint>
#include <expected>
#include <map>
#include <string>
#include <vector>

#include "app/component_kind.h"
#include "app/event_channel.h"

namespace velko {

struct PackageDescriptor {
  std::string fileName;
  std::string downloadUrl;
  std::string sha256;
  std::uint64_t size = 0;
};

using StagedFiles = std::map<ComponentKind, std::vector<std::string>>;

std::expected<void, std::string> stage_packages(ComponentKind kind, const std::vector<PackageDescriptor>& packages,
                                                StagedFiles& stagedFiles, const EventSender& events);

std::string sha256_of_memory(const void* data, std::size_t size);

}  // namespace velko
