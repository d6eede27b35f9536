#pragma once

#include <windows.h>

#include <cstdint>
#include <expected>
#include <string>

#include "common/security_descriptor.h"

namespace velko::win {

// A SID as "S-1-5-32-544", or the Windows error code.
std::expected<std::string, std::uint32_t> sid_text(PSID sid);

// The owner and DACL of a descriptor, read from the descriptor itself, as the trust decisions take
// them. An entry of a type whose layout this reader does not know (a compound entry, a type newer
// than it) cannot be read, and then neither can the descriptor (ERROR_INVALID_ACL): what cannot be
// judged is not trusted.
std::expected<SecurityDescriptor, std::uint32_t> read_security_descriptor(PSECURITY_DESCRIPTOR descriptor);

// The same for an open entry (opened with READ_CONTROL).
std::expected<SecurityDescriptor, std::uint32_t> entry_security_descriptor(HANDLE entry);

}  // namespace velko::win
