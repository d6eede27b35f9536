#include "install/installation.h"

#include <vector>

#include "common/failure.h"
#include "detect/installed_workbench.h"
#include "install/component_installers.h"
#include "install/install_directory.h"
#include "install/installation_plan.h"
#include "install/launcher_deployment.h"

namespace velko {
namespace {

using Result = std::expected<void, std::string>;
using PolicyResult = std::expected<ReleasePolicy, std::string>;

Result perform_installation(const InstallRequest& request, const PolicyResult& policy, const EventSender& events) {
  const std::string& directory = request.installDirectory;
  if (auto stopped = ensure_workbench_stopped(directory); !stopped) return stopped;
  // The folder is ours before anything lands in it: what runs elevated from it later must not
  // be replaceable by another user.
  if (auto prepared = prepare_install_directory(directory); !prepared) return prepared;
  std::vector<const ComponentInstaller*> installers;
  for (ComponentKind kind : plan_installation(request.components)) installers.push_back(installer_for(kind));

  // Everything is on disk and verified before the first installer runs.
  StagedFiles staged;
  InstallRun run{policy, directory, staged, events};
  for (const ComponentInstaller* installer : installers) {
    if (auto done = installer->stage(run); !done) return done;
  }
  for (const ComponentInstaller* installer : installers) {
    if (auto done = installer->install(run); !done) return done;
  }
  if (has_valid_installation(directory)) {
    if (auto deployed = deploy_launcher(directory); !deployed) return fail(deployed.error());
  }
  publish_event(events, WorkerEvent::install_completed());
  return {};
}

}  // namespace

void run_installation(InstallRequest request, PolicyResult policy, EventSender events) {
  if (auto result = perform_installation(request, policy, events); !result) {
    publish_event(events, WorkerEvent::install_failed(std::move(result.error())));
  }
}

}  // namespace velko
