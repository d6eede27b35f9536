#include "detect/running_workbench.h"

namespace velko {

std::expected<std::optional<std::uint32_t>, std::string> find_running_process(const std::string&) {
  return std::optional<std::uint32_t>{};
}

std::expected<bool, std::string> is_workbench_running(const std::expected<std::string, std::string>& installDirectory) {
  if (!installDirectory) return std::unexpected(installDirectory.error());
  return false;
}

}  // namespace velko
