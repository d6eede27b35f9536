// Security descriptors in SDDL, as the tests write them: the reader never fails outright, reads
// the same text the same way every time, and the trust decisions on any reading hold their rules.

#include "common/folder_trust.h"
#include "common/sddl.h"
#include "fuzz_targets.h"

namespace velko {
namespace {

constexpr std::string_view kOwnUser = "S-1-5-21-1004336348-1177238915-682003330-1001";

}  // namespace

int fuzz_sddl(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  const auto reading = parse_sddl(text);
  VELKO_FUZZ_CHECK(reading == parse_sddl(text));
  if (reading && reading->nullDacl) VELKO_FUZZ_CHECK(reading->dacl.empty());

  if (reading) {
    for (const std::string_view own : {kOwnUser, std::string_view("S-1-5-18")}) {
      // Trust and keeping children in place both need a trusted owner and a DACL.
      const bool ownerAndDacl = has_trusted_owner(*reading, own) && !reading->nullDacl;
      if (is_trusted_descriptor(*reading, own)) VELKO_FUZZ_CHECK(ownerAndDacl);
      for (const bool volumeRoot : {false, true}) {
        if (keeps_its_children_in_place(*reading, own, volumeRoot)) VELKO_FUZZ_CHECK(ownerAndDacl);
      }
    }
  }
  (void)sid_of_alias(text.substr(0, 2));
  return 0;
}

}  // namespace velko
