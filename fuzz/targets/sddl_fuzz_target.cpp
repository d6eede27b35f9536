// Security descriptors in SDDL, as read back from folders and files: the reader never fails
// outright, reads the same text the same way every time, and the trust decisions on the text
// are those on its reading.

#include "common/folder_trust.h"
#include "common/security_descriptor.h"
#include "fuzz_targets.h"

namespace velko {
namespace {

constexpr std::string_view kOwnUser = "S-1-5-21-1004336348-1177238915-682003330-1001";

bool same_reading(const std::optional<SecurityDescriptor>& a, const std::optional<SecurityDescriptor>& b) {
  if (a.has_value() != b.has_value()) return false;
  if (!a) return true;
  if (a->owner != b->owner || a->nullDacl != b->nullDacl || a->daclProtected != b->daclProtected ||
      a->dacl.size() != b->dacl.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a->dacl.size(); ++i) {
    const AccessEntry& x = a->dacl[i];
    const AccessEntry& y = b->dacl[i];
    if (x.kind != y.kind || x.flags != y.flags || x.mask != y.mask || x.sid != y.sid) return false;
  }
  return true;
}

}  // namespace

int fuzz_sddl(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  const auto reading = parse_sddl(text);
  VELKO_FUZZ_CHECK(same_reading(reading, parse_sddl(text)));
  if (reading && reading->nullDacl) VELKO_FUZZ_CHECK(reading->dacl.empty());

  for (const std::string_view own : {kOwnUser, std::string_view("S-1-5-18")}) {
    const bool trusted = is_trusted_sddl(text, own);
    VELKO_FUZZ_CHECK(trusted == is_trusted_sddl(text, own));
    VELKO_FUZZ_CHECK(trusted == (reading && is_trusted_descriptor(*reading, own)));
    const bool trustedOwner = has_trusted_owner_sddl(text, own);
    VELKO_FUZZ_CHECK(trustedOwner == (reading && has_trusted_owner(*reading, own)));
    // Trust needs a trusted owner and a DACL.
    if (trusted) VELKO_FUZZ_CHECK(trustedOwner && !reading->nullDacl);
  }
  (void)sid_of_alias(text.substr(0, 2));
  return 0;
}

}  // namespace velko
