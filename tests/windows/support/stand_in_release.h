#pragma once

#include <string>

#include "stand_in_versions.h"

namespace velko::test {

// The workbench release the stand-in installer installs, and where the test service serves it.
inline constexpr char kStandInRelease[] = VELKO_STANDIN_WORKBENCH_VERSION;
inline const std::string kStandInInstallerPath =
    std::string("/v1/downloads/VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v") + kStandInRelease + ".exe";

}  // namespace velko::test
