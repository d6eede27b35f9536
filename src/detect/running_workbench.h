#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>

namespace velko {

inline constexpr char kWorkbenchExecutableName[] = "VelkoTarn工作台.exe";

// Is a process running that was started from exactly this executable file? The id of
// the first such process in list order, nothing when none runs, or the user text.
std::expected<std::optional<std::uint32_t>, std::string> find_running_process(const std::string& executablePath);

// Is the workbench of this install directory running? An error input is passed on unchanged.
std::expected<bool, std::string> is_workbench_running(const std::expected<std::string, std::string>& installDirectory);

}  // namespace velko
