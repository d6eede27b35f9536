#pragma once

#include <expected>
#include <string>

#include "model/event_channel.h"

namespace velko {

// Body of the launch worker: starts the installed workbench (or brings a running one to
// the front) and publishes LaunchSucceeded or LaunchFailed.
void run_launch_handoff(std::string installDirectory, EventSender events);

// Starts the deployed launcher of the install directory so that it waits for this
// process to end and then starts the workbench. An error input is passed on unchanged.
std::expected<void, std::string> relaunch_after_update(const std::expected<std::string, std::string>& installDirectory);

}  // namespace velko
