#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velko {

// What the system itself says about the machine and the user, read from the system (folders,
// known folders, system information), never from this process's environment: an elevated
// program inherits the user's own variables, and a child that takes TEMP, PATH or COMSPEC from
// them loads or runs what the user's unelevated programs put there. Empty texts are left out.
struct SystemEnvironmentValues {
  std::string windowsFolder;          // "C:\Windows"
  std::string systemFolder;           // "C:\Windows\System32"
  std::string temporaryFolder;        // the admin-only folder the child keeps its temporary files in
  std::string programData;            // "C:\ProgramData"
  std::string programFiles;           // "C:\Program Files"
  std::string programFilesX86;        // "C:\Program Files (x86)"
  std::string commonProgramFiles;     // "C:\Program Files\Common Files"
  std::string commonProgramFilesX86;  // "C:\Program Files (x86)\Common Files"
  std::string publicFolder;           // "C:\Users\Public"
  std::string userProfile;            // "C:\Users\{user}"
  std::string appData;                // "C:\Users\{user}\AppData\Roaming"
  std::string localAppData;           // "C:\Users\{user}\AppData\Local"
  std::string computerName;
  std::string userName;
  std::string processorArchitecture;  // "AMD64", "ARM64" or "x86"
  std::uint32_t processorCount = 0;
  std::uint32_t processorLevel = 0;
  std::uint32_t processorRevision = 0;
  // Test builds only: this process's variables, of which those named "VELKO_..." (the tests'
  // hooks and the settings of the stand-ins for outside programs) are passed on. Release builds
  // leave it empty.
  std::vector<std::pair<std::string, std::string>> testVariables;
};

// The variables a child is started with, as name and value, sorted the way Windows wants an
// environment block (names compared ignoring letter case). TEMP and TMP are the temporary
// folder; PATH holds only the system's own folders; PATHEXT is the system's default.
std::vector<std::pair<std::string, std::string>> child_environment_variables(const SystemEnvironmentValues& values);

// The same as an environment block for CreateProcessW with CREATE_UNICODE_ENVIRONMENT:
// "name=value" texts in UTF-16, each ended by a zero, and one more zero after the last.
std::u16string child_environment_block(const SystemEnvironmentValues& values);

}  // namespace velko
