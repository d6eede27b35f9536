// libFuzzer program of the download_address target (built by scripts/fuzz).
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return velko::fuzz_download_address(data, size);
}
