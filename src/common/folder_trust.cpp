#include "common/folder_trust.h"

namespace velko {
namespace {

constexpr std::string_view kCreatorOwnerSid = "S-1-3-0";
constexpr std::string_view kOwnerRightsSid = "S-1-3-4";
constexpr std::uint32_t kDeleteRight = 0x00010000;

}  // namespace

bool is_trusted_principal(std::string_view sid, std::string_view ownUserSid) {
  return sid == kAdministratorsSid || sid == kSystemSid || sid == kTrustedInstallerSid ||
         (!ownUserSid.empty() && sid == ownUserSid);
}

bool has_trusted_owner(const SecurityDescriptor& descriptor, std::string_view ownUserSid) {
  return descriptor.owner && is_trusted_principal(*descriptor.owner, ownUserSid);
}

bool is_trusted_descriptor(const SecurityDescriptor& descriptor, std::string_view ownUserSid) {
  if (!has_trusted_owner(descriptor, ownUserSid)) return false;
  if (descriptor.nullDacl) return false;
  for (const AccessEntry& entry : descriptor.dacl) {
    if (entry.kind != AceKind::Allow || (entry.mask & kChangingRights) == 0) continue;
    if (entry.sid == kCreatorOwnerSid || entry.sid == kOwnerRightsSid) continue;
    if (!is_trusted_principal(entry.sid, ownUserSid)) return false;
  }
  return true;
}

bool keeps_its_children_in_place(const SecurityDescriptor& descriptor, std::string_view ownUserSid,
                                 bool isVolumeRoot) {
  if (!has_trusted_owner(descriptor, ownUserSid) || descriptor.nullDacl) return false;
  const std::uint32_t replacing = isVolumeRoot ? kReplacingRights & ~kDeleteRight : kReplacingRights;
  for (const AccessEntry& entry : descriptor.dacl) {
    if (entry.kind != AceKind::Allow || (entry.flags & kInheritOnly) != 0) continue;
    if ((entry.mask & replacing) == 0 || entry.sid == kOwnerRightsSid) continue;
    if (!is_trusted_principal(entry.sid, ownUserSid)) return false;
  }
  return true;
}

bool root_can_hold_admin_folder(const std::optional<SecurityDescriptor>& root) {
  return root && keeps_its_children_in_place(*root, {}, true);
}

UntrustedFolderAction untrusted_install_folder_action(bool isEmpty, bool holdsWorkbenchInstallation,
                                                      bool hasProductFolderName) {
  if (isEmpty) return UntrustedFolderAction::Recreate;
  if (holdsWorkbenchInstallation && hasProductFolderName) return UntrustedFolderAction::SetAside;
  return UntrustedFolderAction::Refuse;
}

std::string set_aside_folder_name(std::string_view name, std::string_view date, std::uint64_t attempt) {
  return std::string(name) + ".untrusted-" + std::string(date) + "-" + std::to_string(attempt);
}

}  // namespace velko
