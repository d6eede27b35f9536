#pragma once

#include <string>

#include "app/event_channel.h"

namespace velko {

// What the window hands to the installation worker: the present flags of the last
// environment report and the install directory.
struct InstallRequest {
  bool webView2Present = false;
  bool workbenchCurrent = false;
  std::string installDirectory;
};

// Body of the installation worker: stages, installs and deploys, publishing progress
// events and ending with InstallCompleted or InstallFailed.
void run_installation(InstallRequest request, EventSender events);

}  // namespace velko
