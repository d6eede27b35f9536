#pragma once

#include <optional>
#include <string>

#include "common/security_descriptor.h"

namespace velko {

// The record in the data folder that remembers where the workbench was last installed.
inline constexpr char kInstallLocationRecordName[] = "install-location.txt";

// The installation folder's own name, as the default and earlier versions made it. Only a folder of
// this name is ever moved aside by an installation: any other is the user's.
inline constexpr char kProductFolderName[] = "VelkoTarn工作台";

// "D:\VelkoTarn工作台" when D: is a fixed drive whose root lets a folder that only administrators
// control stay in place below it; otherwise "C:\Program Files\VelkoTarn工作台" (no descriptors on
// D:, or a root that others fully control, would only lead to a refusal of a folder the user never
// chose). `dRoot` is D:\'s descriptor, absent when it has none or cannot be read.
std::string default_install_location(bool dDriveFixed, const std::optional<SecurityDescriptor>& dRoot);

// The remembered install location when it holds a valid installation, else the default. Never
// fails. A record is also looked for in the data folder that was last moved aside, so that an
// upgrade from a version that never secured it keeps its installation; that folder is only a hint,
// and the installation it names must pass the same checks as any other.
std::string resolve_install_location();

}  // namespace velko
