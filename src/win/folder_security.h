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

// Creates one folder that already carries kAdminFolderDescriptor when it comes into being, so
// there is no moment in which someone else owns it or may change it. Its parent must exist;
// ERROR_ALREADY_EXISTS when anything has that name.
std::expected<void, std::uint32_t> create_secure_folder(const std::string& folder);

// The SID of the user this process runs as, as descriptors are read back ("S-1-5-21-...", or the
// alias Windows writes for it, such as "LA"); empty when it cannot be read.
std::string own_user_sid();

// Whether nobody but Administrators, SYSTEM, TrustedInstaller and this process's own user can
// change the entry or its permissions (see is_trusted_descriptor). A link is judged itself,
// never followed. The Windows error code when it cannot be opened or its descriptor read.
std::expected<bool, std::uint32_t> is_trusted_entry(const std::string& path);

// The same for a folder and everything below it; an entry deeper than the program's own trees
// ever go, and a link in the folder's own place, count as not trusted. Entries that vanish while
// they are looked at are skipped.
std::expected<bool, std::uint32_t> is_trusted_tree(const std::string& folder);

// Whether no folder above `path`, up to its drive's root, lets anyone but a trusted principal
// rename or replace what is below it (keeps_its_children_in_place): otherwise the path could be
// made to lead into someone else's tree. The Windows error code when one cannot be read.
std::expected<bool, std::uint32_t> folders_above_keep_in_place(const std::string& path);

// Whether the folder and everything below it is owned by a trusted principal (whatever its
// permissions): what a take-over of a loosened folder requires, since anything a standard user
// put there is his.
std::expected<bool, std::uint32_t> is_tree_made_by_trusted(const std::string& folder);

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
