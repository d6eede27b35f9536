#pragma once

#include <cstdint>
#include <expected>
#include <string>

namespace velko::win {

// Locks down a folder that an elevated program keeps things in which it later runs.
// `folder` must be a real directory (a link or junction is refused with ERROR_DIRECTORY, never
// followed). It becomes owned by Administrators with a protected DACL: full control for SYSTEM
// and Administrators, read and execute for Users, inherited by everything below. Every entry
// already below it is reset to Administrators ownership and inherited access only, so nothing
// that someone placed there earlier keeps rights of its own. Links below are reset themselves
// but not followed. Errors are Windows error codes.
std::expected<void, std::uint32_t> secure_admin_folder(const std::string& folder);

// The descriptors written, in SDDL: the folder itself, a folder below it, a file below it.
// Administrators own everything; SYSTEM and Administrators may do anything, Users may read and
// run (FILE_GENERIC_READ | FILE_GENERIC_EXECUTE = 0x1200A9). "P": the folder ignores whatever its
// parent would pass down; entries below carry only what they inherit from it ("ID").
inline constexpr wchar_t kAdminFolderDescriptor[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
inline constexpr wchar_t kAdminChildFolderDescriptor[] =
    L"O:BAD:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)";
inline constexpr wchar_t kAdminChildFileDescriptor[] = L"O:BAD:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)";

}  // namespace velko::win
