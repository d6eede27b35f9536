#pragma once

#include <expected>
#include <string>

#include "download/package_descriptor.h"
#include "model/component_kind.h"
#include "model/event_channel.h"
#include "policy/release_policy.h"

namespace velko {

// What one installation run shares with every installer: the policy as the worker read it
// (or why there is none), the install directory, the files staged so far and the events.
struct InstallRun {
  const std::expected<ReleasePolicy, std::string>& policy;
  const std::string& installDirectory;
  StagedFiles& staged;
  const EventSender& events;
};

// How one installable kind gets onto the machine. A run stages every planned kind before it
// installs the first.
class ComponentInstaller {
 public:
  virtual ~ComponentInstaller() = default;
  // Puts the kind's verified files into `run.staged`.
  virtual std::expected<void, std::string> stage(InstallRun& run) const = 0;
  // Takes the kind's staged files and installs them.
  virtual std::expected<void, std::string> install(InstallRun& run) const = 0;
};

// The installer of a kind; nothing for a kind that is not installable.
const ComponentInstaller* installer_for(ComponentKind kind);

// An update must not replace the program of a workbench that is still running.
std::expected<void, std::string> ensure_workbench_stopped(const std::string& installDirectory);

}  // namespace velko
