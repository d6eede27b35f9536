#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velko {

// A security descriptor reduced to what a trust decision needs: its owner and DACL, with every
// principal as its SID string ("S-1-5-32-544") and rights as numeric access masks. The program
// reads it from the system's own descriptor (win/security_descriptor.h); tests write it in SDDL
// (common/sddl.h). Both readers give the same structure for the same descriptor.

enum class AceKind { Allow, Deny, Other };

// ACE flags, as in the Windows headers.
inline constexpr std::uint32_t kObjectInherit = 0x01;
inline constexpr std::uint32_t kContainerInherit = 0x02;
inline constexpr std::uint32_t kNoPropagateInherit = 0x04;
inline constexpr std::uint32_t kInheritOnly = 0x08;
inline constexpr std::uint32_t kInheritedAce = 0x10;

struct AccessEntry {
  // Entries that allow, in whatever form (object, conditional), are Allow: they count against trust
  // like plain ones.
  AceKind kind = AceKind::Other;
  std::uint32_t flags = 0;
  std::uint32_t mask = 0;
  // "S-1-..."; a name that is no SID (an SDDL alias the SDDL reader does not know) matches no
  // trusted principal.
  std::string sid;

  bool operator==(const AccessEntry&) const = default;
};

struct SecurityDescriptor {
  std::optional<std::string> owner;  // absent when the descriptor has none
  // No DACL, or a null one (SDDL "D:NO_ACCESS_CONTROL"): lets everyone do everything.
  bool nullDacl = true;
  bool daclProtected = false;
  std::vector<AccessEntry> dacl;

  bool operator==(const SecurityDescriptor&) const = default;
};

}  // namespace velko
