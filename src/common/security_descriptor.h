#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velko {

// A security descriptor as Windows writes it in SDDL, reduced to what a trust decision needs.
// Well-known aliases ("BA", "SY", ...) are turned into their SID strings, so a descriptor read
// back from a handle and one written by hand compare alike. Rights are numeric access masks.

enum class AceKind { Allow, Deny, Other };

// ACE flags, as in the Windows headers.
inline constexpr std::uint32_t kObjectInherit = 0x01;
inline constexpr std::uint32_t kContainerInherit = 0x02;
inline constexpr std::uint32_t kNoPropagateInherit = 0x04;
inline constexpr std::uint32_t kInheritOnly = 0x08;
inline constexpr std::uint32_t kInheritedAce = 0x10;

struct AccessEntry {
  AceKind kind = AceKind::Other;
  std::uint32_t flags = 0;
  std::uint32_t mask = 0;
  // "S-1-..." for every known alias; an alias this reader does not know (a domain-relative one
  // such as "DA") is kept as written, and then matches no trusted principal.
  std::string sid;
};

struct SecurityDescriptor {
  std::optional<std::string> owner;  // absent when the text has no owner
  // No "D:" part, or "D:NO_ACCESS_CONTROL": a null DACL, which lets everyone do everything.
  bool nullDacl = true;
  bool daclProtected = false;
  std::vector<AccessEntry> dacl;
};

// Parses an SDDL text ("O:BAD:P(A;OICI;FA;;;SY)..."); nothing when it is not well formed or
// holds a quoted text (only conditional entries do).
// Group and SACL parts are checked for form and then dropped.
std::optional<SecurityDescriptor> parse_sddl(std::string_view text);

// The SID string of a two-letter SDDL alias, or nothing for an alias this reader does not know.
std::optional<std::string_view> sid_of_alias(std::string_view alias);

}  // namespace velko
