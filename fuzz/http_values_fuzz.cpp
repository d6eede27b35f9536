// libFuzzer program of the http_values target (built by scripts/fuzz).
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return velko::fuzz_http_values(data, size);
}
