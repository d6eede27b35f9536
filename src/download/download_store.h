#pragma once

#include <expected>
#include <string>

namespace velko {

// The "ProgramData" environment value, else "C:\ProgramData".
std::string program_data_folder();
// {program data}\VelkoInstaller: everything the program keeps lives below it.
std::string installer_data_folder();
// {program data}\VelkoInstaller\downloads, created (with the protected folder above) when missing.
std::expected<std::string, std::string> downloads_folder();
// SHA-256 of a file's bytes as 64 upper-case hexadecimal characters, or the user text.
std::expected<std::string, std::string> sha256_of_file(const std::string& path);
// Moves `from` over `to`, replacing it.
std::expected<void, std::string> move_into_place(const std::string& from, const std::string& to);

}  // namespace velko
