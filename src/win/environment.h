#pragma once

#include <optional>
#include <string>

namespace velko::win {

// A variable of this process's environment as UTF-8; nothing when it is unset or empty.
std::optional<std::string> environment_value(const wchar_t* name);

}  // namespace velko::win
