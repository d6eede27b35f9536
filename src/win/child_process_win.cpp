#include "win/child_process.h"

#include "common/command_line.h"
#include "win/directories.h"
#include "win/os_error.h"
#include "win/wide.h"

namespace velko::win {

std::expected<ChildProcess, std::uint32_t> start_process(const ProcessLaunch& launch) {
  const std::wstring program = wide(launch.program);
  std::wstring commandLine = wide(build_command_line(launch.program, launch.arguments));
  // Never the folder this elevated process inherited (often the user's Downloads): a child looks
  // for some DLLs in its working folder. Not the child's own folder either, which the child
  // would keep busy until it has wholly gone.
  const std::wstring directory = wide(launch.workingDirectory ? *launch.workingDirectory : system_directory());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        launch.creationFlags | CREATE_UNICODE_ENVIRONMENT, nullptr,
                        directory.c_str(), &startup, &info)) {
    return std::unexpected(static_cast<std::uint32_t>(::GetLastError()));
  }
  unique_handle thread(info.hThread);
  ChildProcess child;
  child.process.reset(info.hProcess);
  child.id = info.dwProcessId;
  return child;
}

std::expected<ChildProcess, std::string> start_checked_program(const ProcessLaunch& launch,
                                                               const HeldProgramCheck& check,
                                                               std::string_view openFailure,
                                                               std::string_view startFailure) {
  const unique_file held(::CreateFileW(wide(launch.program).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!held) return os_failure(openFailure, static_cast<std::uint32_t>(::GetLastError()));
  if (auto checked = check(held.get()); !checked) return std::unexpected(std::move(checked.error()));
  auto child = start_process(launch);
  if (!child) return os_failure(startFailure, child.error());
  return std::move(*child);
}

std::expected<std::uint32_t, std::uint32_t> wait_for_exit(const ChildProcess& child) {
  if (::WaitForSingleObject(child.process.get(), INFINITE) == WAIT_FAILED) {
    return std::unexpected(static_cast<std::uint32_t>(::GetLastError()));
  }
  DWORD exitCode = 0;
  if (!::GetExitCodeProcess(child.process.get(), &exitCode)) {
    return std::unexpected(static_cast<std::uint32_t>(::GetLastError()));
  }
  return exitCode;
}

std::string signed_exit_code_text(std::uint32_t exitCode) {
  return std::to_string(static_cast<std::int32_t>(exitCode));
}

}  // namespace velko::win
