#pragma once

#include <expected>
#include <string>

#include "detect/private_installation.h"

namespace velko {

// Makes the install directory a folder that only administrators can change before anything is
// put into it. A path that is not on a local drive is refused before anything touches it
// (kNonLocalInstallFolderText), a link in the folder's place too (kLinkInstallFolderText), and a
// directory below a folder that lets others rename or replace its children
// (kMovableInstallFolderText). A missing folder is created with the secure descriptor in the
// creating call (missing parents likewise). An existing folder that others could have changed is
// never made trusted in place: an empty one is removed and made afresh; the product's own folder
// holding a workbench installation is moved aside whole ("{name}.untrusted-{date}-{n}" beside it)
// and made afresh; any other is refused with kSharedInstallFolderText and left as it is.
// Installation worker.
std::expected<void, std::string> prepare_install_directory(const std::string& directory);

}  // namespace velko
