// The signer's certificate as a signed installer carries it: DER bytes from the download. The key
// found is a whole DER SEQUENCE lying inside the input, and what follows the certificate never
// changes it.

#include <span>

#include "download/publisher_key.h"
#include "fuzz_targets.h"

namespace velko {

int fuzz_certificate(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  const auto keyInfo = certificate_public_key_info(input);
  if (keyInfo) {
    VELKO_FUZZ_CHECK(keyInfo->data() >= data && keyInfo->data() + keyInfo->size() <= data + size);
    VELKO_FUZZ_CHECK(keyInfo->size() >= 2 && (*keyInfo)[0] == 0x30);
    // Its own length says how long it is.
    std::size_t length = (*keyInfo)[1];
    std::size_t header = 2;
    if (length & 0x80) {
      const std::size_t count = length & 0x7F;
      VELKO_FUZZ_CHECK(count >= 1 && count <= 4 && keyInfo->size() >= 2 + count);
      length = 0;
      for (std::size_t i = 0; i < count; ++i) length = (length << 8) | (*keyInfo)[2 + i];
      header += count;
    }
    VELKO_FUZZ_CHECK(header + length == keyInfo->size());
  } else {
    VELKO_FUZZ_CHECK(keyInfo.error() == "the signer's certificate cannot be read");
  }

  std::vector<std::uint8_t> followed(input.begin(), input.end());
  followed.insert(followed.end(), {0x30, 0x00, 0xFF});
  const auto again = certificate_public_key_info(followed);
  VELKO_FUZZ_CHECK(again.has_value() == keyInfo.has_value());
  if (keyInfo) {
    VELKO_FUZZ_CHECK(again->data() - followed.data() == keyInfo->data() - data);
    VELKO_FUZZ_CHECK(again->size() == keyInfo->size());
  }
  return 0;
}

}  // namespace velko
