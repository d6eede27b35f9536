#pragma once

#include <windows.h>

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

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

// The SID of the user this process runs as ("S-1-5-21-..."), when that user's ownership and
// rights can be trusted: only for a token without a linked one (the built-in Administrator, or UAC
// off). Empty otherwise, and when it cannot be read.
std::string own_user_sid();

// Whether nobody but Administrators, SYSTEM, TrustedInstaller (and this process's own user, see
// own_user_sid) can change the entry or its permissions (see is_trusted_descriptor). A link is
// judged itself, never followed. An entry that cannot be judged (its descriptor denied to us, say)
// is not trusted; the Windows error code only when it is missing or in use.
std::expected<bool, std::uint32_t> is_trusted_entry(const std::string& path);

// The same for a folder and everything below it, however deep; a link in the folder's own place
// counts as not trusted. Entries that vanish while they are looked at are skipped. Any thread,
// but it may take long: never the window thread.
std::expected<bool, std::uint32_t> is_trusted_tree(const std::string& folder);

// Whether no folder above `path`, up to its drive's root, lets anyone but a trusted principal
// rename or replace what is below it (keeps_its_children_in_place; the root's own DELETE right
// aside, since a root cannot be renamed): otherwise the path could be made to lead into someone
// else's tree. A link on the way (junction, mount point) is refused. The Windows error code when
// one cannot be read.
std::expected<bool, std::uint32_t> folders_above_keep_in_place(const std::string& path);

// Moves a folder that others could have changed out of the way, whole, in its own parent:
// "{name}.untrusted-{date}-{n}", n a number nobody can foresee. Nothing in it is deleted or changed. The new
// path, or the Windows error code.
std::expected<std::string, std::uint32_t> set_aside_folder(const std::string& folder, std::string_view date);
// Today's local date as "yyyymmdd", for set_aside_folder.
std::string local_date_text();

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
