// libFuzzer program of the certificate target (built by scripts/fuzz).
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return velko::fuzz_certificate(data, size);
}
