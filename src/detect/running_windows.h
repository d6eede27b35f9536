#pragma once

#include "detect/windows_version.h"

namespace velko {

// The classification of the Windows this process runs on, from its true version (not the one
// the manifest's compatibility shims report). Never fails: an unreadable version is unsupported.
SystemClassification classify_running_windows();

}  // namespace velko
