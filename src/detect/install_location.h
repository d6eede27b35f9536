#pragma once

#include <string>

namespace velko {

// The remembered install location when it holds a valid installation, else the default
// ("D:\VelkoTarn工作台" on a fixed D: drive, otherwise under "C:\Program Files"). Never fails.
std::string resolve_install_location();

}  // namespace velko
