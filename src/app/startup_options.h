#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velko {

// What the command line asks for. Options match whole arguments exactly (case-sensitive).
struct StartupOptions {
  bool launchMode = false;
  bool installerMode = false;
  bool autoContinue = false;
  std::optional<std::string> installDir;         // first --install-dir that has a value
  std::optional<std::uint32_t> waitForProcess;  // parsed value of the first --wait-for-process with a value
};

StartupOptions parse_startup_options(const std::vector<std::string>& arguments);

// An optional '+', then one or more decimal digits, nothing else, no 32-bit overflow.
std::optional<std::uint32_t> parse_process_id(std::string_view text);

// The process to wait for, unless it is 0 or the program's own id.
std::optional<std::uint32_t> process_to_wait_for(const StartupOptions& options, std::uint32_t ownProcessId);

// Launch role: the folder of the program, or its parent when that folder is "运行组件".
// Absent when the path has no parent; the caller then falls back to the remembered location.
std::optional<std::string> launch_install_directory(std::string_view executablePath);

}  // namespace velko
