#pragma once

#include <optional>
#include <string_view>

#include "common/security_descriptor.h"

namespace velko {

// A reader of security descriptors written in SDDL, for the tests and the fuzz target that make
// descriptors from text; the program itself reads the system's descriptors directly, and its
// build does not link this reader. Well-known aliases ("BA", "SY", ...) are turned into their SID
// strings, so a descriptor written by hand and one the system reads compare alike.

// Parses an SDDL text ("O:BAD:P(A;OICI;FA;;;SY)..."); nothing when it is not well formed or
// holds a quoted text (only conditional entries do). An alias this reader does not know (a
// domain-relative one such as "DA") is kept as written.
// Group and SACL parts are checked for form and then dropped.
std::optional<SecurityDescriptor> parse_sddl(std::string_view text);

// The SID string of a two-letter SDDL alias, or nothing for an alias this reader does not know.
std::optional<std::string_view> sid_of_alias(std::string_view alias);

}  // namespace velko
