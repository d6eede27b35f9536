#pragma once

#include <windows.h>

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
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

// Waits without a time limit; the exit code, or the Windows error code of the failed wait or query.
std::expected<std::uint32_t, std::uint32_t> wait_for_exit(const ChildProcess& child);

// Exit codes are shown in signed decimal ("-1073741819", not "3221225477").
std::string signed_exit_code_text(std::uint32_t exitCode);

}  // namespace velko::win
