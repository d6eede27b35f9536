#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "download/publisher_key.h"
#include "model/component_kind.h"

namespace velko {

// One file to stage in the download folder.
struct PackageDescriptor {
  std::string fileName;     // a plain name inside the download folder
  std::string downloadUrl;  // "http://" or "https://"
  std::string sha256;       // 64 hexadecimal digits, either case
  std::uint64_t size = 0;   // exact size in bytes
  // The keys one of which must have signed it (Authenticode); empty: no signature is asked for.
  std::vector<PublisherKey> publisherKeys;

  bool operator==(const PackageDescriptor&) const = default;
};

// The verified final paths of every staged component of one installation run, in package order.
// Filled while staging, emptied by the installation steps; lives for one run only.
using StagedFiles = std::map<ComponentKind, std::vector<std::string>>;

}  // namespace velko
