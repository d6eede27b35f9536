#pragma once

#include <expected>
#include <string>

#include "model/component_kind.h"
#include "model/event_channel.h"
#include "policy/release_policy.h"

namespace velko {

// What the window hands to the installation worker: the component statuses of the last
// environment report and the install directory.
struct InstallRequest {
  ComponentStatuses components;
  std::string installDirectory;
};

// Body of the installation worker: stages, installs and deploys, publishing progress
// events and ending with InstallCompleted or InstallFailed. `policy` is the release policy as
// the worker read it when it started (or why there is none): the one copy that staging and the
// installer run both use, so that they cannot disagree about the release.
void run_installation(InstallRequest request, std::expected<ReleasePolicy, std::string> policy, EventSender events);

}  // namespace velko
