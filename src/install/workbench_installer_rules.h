#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velko {

// "v{version}-{pid}-{nanos}-{attempt}": one private run directory of the workbench installer.
std::string installer_run_directory_name(std::string_view version, std::uint32_t processId, std::uint64_t nanos,
                                         unsigned attempt);

// The error text of a failed installer run: the installer's own report when it wrote one
// during this run (`freshReport`) and it holds more than white space, else the exit code text.
std::string installer_failure_text(const std::optional<std::string>& freshReport, std::string_view signedExitCode);

}  // namespace velko
