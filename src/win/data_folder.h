#pragma once

#include <expected>
#include <optional>
#include <string>

namespace velko::win {

// The folder below the data folder that holds verified downloads and the partial files of
// unfinished ones.
inline constexpr char kDownloadsFolderName[] = "downloads";

// The system's ProgramData folder (the known folder, never the environment the user can set),
// "C:\ProgramData" when it cannot be read. A test build may redirect it with VELKO_TEST_PROGRAM_DATA.
std::string program_data_folder();
// The name of the data folder in ProgramData, and {program data}\VelkoInstaller: everything the
// program keeps lives below it.
inline constexpr char kInstallerDataFolderName[] = "VelkoInstaller";
std::string installer_data_folder();
// Creates or finds {program data}\VelkoInstaller and locks it down: owned by Administrators, a
// protected DACL (SYSTEM and Administrators full control, Users read and execute) that everything
// below inherits, nothing below with rights of its own. A folder that we find is used only when
// it and everything in it is owned by and changeable only by Administrators, SYSTEM,
// TrustedInstaller (or our own user, see own_user_sid); otherwise (also when it cannot be judged)
// it is moved aside under a new name in the same parent ("VelkoInstaller.untrusted-{date}-{n}"),
// kept with its contents, and a new folder is made, with the secure descriptor given in the creating
// call. A link in its place is removed (the link only). Returns the path, or the system's
// description of the failure followed by " (os error {code})" for the caller to prefix.
std::expected<std::string, std::string> prepare_installer_data_folder();
// The same check without creating anything: the data folder when it exists and is wholly ours
// (a folder that is not is moved aside first), else nothing. For readers of what it holds.
std::optional<std::string> trusted_installer_data_folder();
// {program data}\VelkoInstaller\downloads, created (with the protected folder above) when missing,
// or "创建下载目录失败：{error}".
std::expected<std::string, std::string> downloads_folder();

}  // namespace velko::win
