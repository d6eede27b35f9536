#include "win/security_descriptor.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstddef>
#include <optional>

#include "win/os_error.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::win {
namespace {

struct AceType {
  BYTE type;
  AceKind kind;
  // Mask, object flags and up to two GUIDs before the SID, instead of the mask alone.
  bool isObject;
};

// Every form of allowing is Allow: an object or conditional entry taken for harmless would let its
// holder in unnoticed. Denying is never credited, so only the plain form needs telling apart.
constexpr AceType kAceTypes[] = {
    {ACCESS_ALLOWED_ACE_TYPE, AceKind::Allow, false},
    {ACCESS_DENIED_ACE_TYPE, AceKind::Deny, false},
    {SYSTEM_AUDIT_ACE_TYPE, AceKind::Other, false},
    {SYSTEM_ALARM_ACE_TYPE, AceKind::Other, false},
    {ACCESS_ALLOWED_OBJECT_ACE_TYPE, AceKind::Allow, true},
    {ACCESS_DENIED_OBJECT_ACE_TYPE, AceKind::Other, true},
    {SYSTEM_AUDIT_OBJECT_ACE_TYPE, AceKind::Other, true},
    {SYSTEM_ALARM_OBJECT_ACE_TYPE, AceKind::Other, true},
    {ACCESS_ALLOWED_CALLBACK_ACE_TYPE, AceKind::Allow, false},
    {ACCESS_DENIED_CALLBACK_ACE_TYPE, AceKind::Other, false},
    {ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE, AceKind::Allow, true},
    {SYSTEM_AUDIT_CALLBACK_ACE_TYPE, AceKind::Other, false},
    {SYSTEM_MANDATORY_LABEL_ACE_TYPE, AceKind::Other, false},
    {SYSTEM_RESOURCE_ATTRIBUTE_ACE_TYPE, AceKind::Other, false},
    {SYSTEM_SCOPED_POLICY_ID_ACE_TYPE, AceKind::Other, false},
};

std::optional<AceType> ace_type(BYTE type) {
  for (const AceType& known : kAceTypes) {
    if (known.type == type) return known;
  }
  return std::nullopt;
}

std::expected<AccessEntry, std::uint32_t> read_entry(const ACE_HEADER* header) {
  const auto type = ace_type(header->AceType);
  if (!type) return std::unexpected(static_cast<std::uint32_t>(ERROR_INVALID_ACL));
  const auto* bytes = reinterpret_cast<const std::byte*>(header);
  std::size_t sidOffset = offsetof(ACCESS_ALLOWED_ACE, SidStart);
  if (type->isObject) {
    const auto* object = reinterpret_cast<const ACCESS_ALLOWED_OBJECT_ACE*>(header);
    sidOffset = offsetof(ACCESS_ALLOWED_OBJECT_ACE, ObjectType);
    if (header->AceSize < sidOffset) return std::unexpected(static_cast<std::uint32_t>(ERROR_INVALID_ACL));
    if (object->Flags & ACE_OBJECT_TYPE_PRESENT) sidOffset += sizeof(GUID);
    if (object->Flags & ACE_INHERITED_OBJECT_TYPE_PRESENT) sidOffset += sizeof(GUID);
  }
  auto* sid = const_cast<std::byte*>(bytes + sidOffset);
  if (header->AceSize < sidOffset + offsetof(SID, SubAuthority) || !::IsValidSid(sid) ||
      ::GetLengthSid(sid) > header->AceSize - sidOffset) {
    return std::unexpected(static_cast<std::uint32_t>(ERROR_INVALID_ACL));
  }
  auto text = sid_text(sid);
  if (!text) return std::unexpected(text.error());
  // The mask follows the header in every type.
  return AccessEntry{type->kind, header->AceFlags, reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header)->Mask,
                     std::move(*text)};
}

}  // namespace

std::expected<std::string, std::uint32_t> sid_text(PSID sid) {
  unique_hlocal<LPWSTR> text;
  if (!::ConvertSidToStringSidW(sid, text.put())) return std::unexpected(last_error());
  return narrow(text.get());
}

std::expected<SecurityDescriptor, std::uint32_t> read_security_descriptor(PSECURITY_DESCRIPTOR descriptor) {
  PSID owner = nullptr;
  BOOL ownerDefaulted = FALSE;
  PACL dacl = nullptr;
  BOOL daclPresent = FALSE;
  BOOL daclDefaulted = FALSE;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!::GetSecurityDescriptorOwner(descriptor, &owner, &ownerDefaulted) ||
      !::GetSecurityDescriptorDacl(descriptor, &daclPresent, &dacl, &daclDefaulted) ||
      !::GetSecurityDescriptorControl(descriptor, &control, &revision)) {
    return std::unexpected(last_error());
  }
  SecurityDescriptor result;
  if (owner != nullptr) {
    if (!::IsValidSid(owner)) return std::unexpected(static_cast<std::uint32_t>(ERROR_INVALID_SID));
    auto text = sid_text(owner);
    if (!text) return std::unexpected(text.error());
    result.owner = std::move(*text);
  }
  if (!daclPresent) return result;
  result.daclProtected = (control & SE_DACL_PROTECTED) != 0;
  if (dacl == nullptr) return result;
  result.nullDacl = false;
  // Walked by hand within the list's own size: a descriptor read from a volume someone brought
  // need not have been checked by the system, and every entry must lie wholly inside the list.
  std::size_t offset = sizeof(ACL);
  for (DWORD index = 0; index < dacl->AceCount; ++index) {
    if (offset + sizeof(ACE_HEADER) > dacl->AclSize) return std::unexpected(static_cast<std::uint32_t>(ERROR_INVALID_ACL));
    const auto* header = reinterpret_cast<const ACE_HEADER*>(reinterpret_cast<const std::byte*>(dacl) + offset);
    if (header->AceSize < sizeof(ACE_HEADER) || offset + header->AceSize > dacl->AclSize) {
      return std::unexpected(static_cast<std::uint32_t>(ERROR_INVALID_ACL));
    }
    auto entry = read_entry(header);
    if (!entry) return std::unexpected(entry.error());
    result.dacl.push_back(std::move(*entry));
    offset += header->AceSize;
  }
  return result;
}

std::expected<SecurityDescriptor, std::uint32_t> entry_security_descriptor(HANDLE entry) {
  unique_hlocal<PSECURITY_DESCRIPTOR> descriptor;
  const DWORD result = ::GetSecurityInfo(entry, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                         nullptr, nullptr, nullptr, nullptr, descriptor.put());
  if (result != ERROR_SUCCESS) return std::unexpected(static_cast<std::uint32_t>(result));
  return read_security_descriptor(descriptor.get());
}

}  // namespace velko::win
