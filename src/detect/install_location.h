#pragma once

#include <string>

namespace velko {

// The record in the data folder that remembers where the workbench was last installed.
inline constexpr char kInstallLocationRecordName[] = "install-location.txt";

// The remembered install location when it holds a valid installation, else the default
// ("D:\VelkoTarn工作台" on a fixed D: drive, otherwise under "C:\Program Files"). Never fails.
std::string resolve_install_location();

}  // namespace velko
