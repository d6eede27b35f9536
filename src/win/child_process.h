#pragma once

#include <windows.h>

#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win/unique_any.h"

namespace velko::win {

struct ChildProcess {
  unique_handle process;
  std::uint32_t id = 0;
};

struct ProcessLaunch {
  std::string program;                  // full path; never searched for
  std::vector<std::string> arguments;   // quoted by the Windows rules
  // When absent, System32: only administrators can put anything there.
  std::optional<std::string> workingDirectory;
  DWORD creationFlags = CREATE_NO_WINDOW;
};

// Starts the program; on failure the Windows error code of CreateProcessW.
std::expected<ChildProcess, std::uint32_t> start_process(const ProcessLaunch& launch);

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
