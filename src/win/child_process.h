#pragma once

#include <windows.h>

#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "win/unique_any.h"

namespace velko::win {

// A folder that is removed, with everything in it, when the object goes away.
class OwnedFolder {
 public:
  OwnedFolder() = default;
  explicit OwnedFolder(std::string path) : path_(std::move(path)) {}
  OwnedFolder(OwnedFolder&& other) noexcept : path_(std::exchange(other.path_, {})) {}
  OwnedFolder& operator=(OwnedFolder&& other) noexcept;
  OwnedFolder(const OwnedFolder&) = delete;
  OwnedFolder& operator=(const OwnedFolder&) = delete;
  ~OwnedFolder();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct ChildProcess {
  unique_handle process;
  std::uint32_t id = 0;
  // The child's own temporary folder, removed when this goes (wait for the child first).
  OwnedFolder temporaryFolder;
};

struct ProcessLaunch {
  std::string program;                  // full path; never searched for
  std::vector<std::string> arguments;   // quoted by the Windows rules
  // When absent, System32: only administrators can put anything there.
  std::optional<std::string> workingDirectory;
  DWORD creationFlags = CREATE_NO_WINDOW;
  // The folder the child's TEMP and TMP name. Absent: a folder made for this child alone, which
  // goes with the ChildProcess. Give one for a child that outlives its ChildProcess.
  std::optional<std::string> temporaryFolder;
  // Test builds only: the child gets this process's environment as it is (a test starting the
  // product with its hooks). Release builds ignore it.
  bool inheritEnvironment = false;
};

// Starts the program with an environment of the system's own values (child_environment_block):
// nothing of the user's environment, which an elevated program inherits, reaches the child. Its
// TEMP and TMP name an admin-only folder below the data folder. On failure the system's text
// of the error followed by " (os error {code})", for the caller to prefix.
std::expected<ChildProcess, std::string> start_process(const ProcessLaunch& launch);

// The admin-only folder below the data folder for temporary files of children that outlive the
// step that started them (the launcher handed over to, the workbench), created when missing;
// an error as for start_process.
std::expected<std::string, std::string> lasting_child_temporary_folder();

// Judges a program file through a handle that lets nobody write, rename or delete it (read
// access; the file position is the checker's). The complete user text when it must not run.
using HeldProgramCheck = std::function<std::expected<void, std::string>(HANDLE)>;

// Opens launch.program so that nobody may write, rename or delete it (read sharing only: the
// process can still be made from it), has `check` judge it through that handle and starts it
// only when the check passes, still holding the handle until the process exists: the bytes that
// were checked are the bytes that run. The failures: "{openFailure}{error}" when the file cannot
// be opened, the check's text, "{startFailure}{error}" when the process cannot be made.
std::expected<ChildProcess, std::string> start_checked_program(const ProcessLaunch& launch,
                                                               const HeldProgramCheck& check,
                                                               std::string_view openFailure,
                                                               std::string_view startFailure);

// Waits without a time limit; the exit code, or the Windows error code of the failed wait or query.
std::expected<std::uint32_t, std::uint32_t> wait_for_exit(const ChildProcess& child);

// Exit codes are shown in signed decimal ("-1073741819", not "3221225477").
std::string signed_exit_code_text(std::uint32_t exitCode);

}  // namespace velko::win
