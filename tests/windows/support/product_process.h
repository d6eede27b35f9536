#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "win/child_process.h"

namespace velko::test {

// Starts the built product (VelkoTarnOnlineInstaller.exe) with these arguments.
win::ChildProcess start_product(const std::vector<std::string>& arguments);
// Starts any program; fails the test when it cannot be started.
win::ChildProcess start_program(const std::string& program, const std::vector<std::string>& arguments,
                                DWORD creationFlags = 0);

// The first visible top-level window of the process with this class name, waiting up to `limit`.
std::optional<HWND> wait_for_window(std::uint32_t processId, const wchar_t* className,
                                    std::chrono::milliseconds limit);
// A visible top-level window of the process right now, if any.
std::optional<HWND> visible_window_of(std::uint32_t processId, const wchar_t* className);

std::string window_title(HWND window);
SIZE client_size(HWND window);

// Ends every process started from the file `image` (a test that failed may leave some behind).
void end_processes_started_from(const std::string& image);

// Waits for the process to end; its exit code, or nothing after `limit`.
std::optional<std::uint32_t> wait_for_exit(const win::ChildProcess& child, std::chrono::milliseconds limit);

}  // namespace velko::test
