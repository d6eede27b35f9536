#pragma once

#include <optional>
#include <string>

namespace velko::win {

// Full path of the running program's own executable, or nothing when Windows cannot say.
std::optional<std::string> own_executable_path();

}  // namespace velko::win
