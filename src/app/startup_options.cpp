#include "app/startup_options.h"

#include <algorithm>

#include "common/win_path.h"
#include "install/launcher_files.h"

namespace velko {

std::optional<std::uint32_t> parse_process_id(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

StartupOptions parse_startup_options(const std::vector<std::string>& arguments) {
  StartupOptions options;
  const auto present = [&](std::string_view option) {
    return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
  };
  options.launchMode = present(kLaunchMainArgument);
  options.installerMode = present("--installer");
  options.autoContinue = options.installerMode || present("--resume");

  bool waitSeen = false;
  for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
    if (!waitSeen && arguments[i] == kWaitForProcessArgument) {
      waitSeen = true;
      options.waitForProcess = parse_process_id(arguments[i + 1]);
    }
    if (!options.installDir && arguments[i] == "--install-dir") options.installDir = arguments[i + 1];
  }
  return options;
}

std::optional<std::uint32_t> process_to_wait_for(const StartupOptions& options, std::uint32_t ownProcessId) {
  if (!options.waitForProcess || *options.waitForProcess == 0 || *options.waitForProcess == ownProcessId) {
    return std::nullopt;
  }
  return options.waitForProcess;
}

std::optional<std::string> launch_install_directory(std::string_view executablePath) {
  auto directory = path_parent(executablePath);
  if (!directory) return std::nullopt;
  if (path_file_name(*directory) == kRuntimeComponentFolderName) return path_parent(*directory);
  return directory;
}

}  // namespace velko
