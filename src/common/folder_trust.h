#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/security_descriptor.h"

namespace velko {

// Who may own and change what an elevated program runs or reads: Administrators, SYSTEM and
// TrustedInstaller. The user the program runs as counts only when the caller passes his SID, which
// it does only for a token without a linked one: in Admin Approval Mode the same user's unelevated
// programs carry the same SID and can change whatever he owns.
inline constexpr std::string_view kAdministratorsSid = "S-1-5-32-544";
inline constexpr std::string_view kSystemSid = "S-1-5-18";
inline constexpr std::string_view kTrustedInstallerSid =
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// Rights that let their holder change an object or what it will run: write or append data
// (for a folder: add files or folders), extended attributes and attributes, delete a child,
// delete, change permissions, take ownership, and the generic rights that include them.
inline constexpr std::uint32_t kChangingRights = 0x00000002 | 0x00000004 | 0x00000010 | 0x00000040 | 0x00000100 |
                                                 0x00010000 | 0x00040000 | 0x00080000 | 0x10000000 | 0x40000000;

bool is_trusted_principal(std::string_view sid, std::string_view ownUserSid);

// Is the owner one of the trusted principals? Whatever a standard user creates, he owns.
bool has_trusted_owner(const SecurityDescriptor& descriptor, std::string_view ownUserSid);

// True when nobody but a trusted principal can change the object or its permissions: it has
// a trusted owner (an owner may always rewrite the permissions) and a DACL without any
// allowing entry that gives a changing right to anyone else, whether the entry applies to the
// object itself or is only handed down to what will be created below it. "CREATOR OWNER" and
// "OWNER RIGHTS" stand for the owner and count as trusted; deny entries are not credited, so
// an entry that a deny would cancel still counts against the object. A null DACL is not
// trusted.
bool is_trusted_descriptor(const SecurityDescriptor& descriptor, std::string_view ownUserSid);

// Rights on a folder above an installation that would let their holder rename or replace it or
// one of its children (and so put his own tree where the installation's path leads): delete,
// delete a child, change permissions, take ownership, and the generic right that includes them.
inline constexpr std::uint32_t kReplacingRights = 0x00010000 | 0x00000040 | 0x00040000 | 0x00080000 | 0x10000000;

// Can nobody but a trusted principal rename or replace what is below this folder? A trusted
// owner, and no allowing entry that applies to the folder itself (entries only handed down do
// not) giving anyone else a replacing right. Adding new entries to the folder is harmless here.
// A volume's root cannot be renamed, so its own DELETE right (which Windows gives Authenticated
// Users on some formatted drives) moves nothing; `isVolumeRoot` leaves that one right out.
bool keeps_its_children_in_place(const SecurityDescriptor& descriptor, std::string_view ownUserSid,
                                 bool isVolumeRoot = false);

// Can a folder made directly below this volume root with an admin-only descriptor stay where it is
// and only administrators' (no volume without descriptors, no root that others fully control)?
bool root_can_hold_admin_folder(const std::optional<SecurityDescriptor>& root);

// What to do with an existing installation folder that others could have changed. Nothing in it is
// ever made trusted in place: its bytes may be anybody's.
enum class UntrustedFolderAction {
  Recreate,  // empty: removed and made afresh with the secure descriptor
  SetAside,  // the product's own folder holding a workbench installation: moved aside whole, made afresh
  Refuse,    // anything else (the user's own files): left exactly as it is
};
UntrustedFolderAction untrusted_install_folder_action(bool isEmpty, bool holdsWorkbenchInstallation,
                                                      bool hasProductFolderName);

// The name a distrusted folder is moved to, in the same parent, saying what it is and when it was
// set aside: "{name}.untrusted-{yyyymmdd}-{attempt}" (the caller makes the attempt number unforeseeable).
std::string set_aside_folder_name(std::string_view name, std::string_view date, std::uint64_t attempt);

}  // namespace velko
