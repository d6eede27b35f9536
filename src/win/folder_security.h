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

}  // namespace velko::win
