#include "install/component_installers.h"

#include <chrono>
#include <thread>

#include "common/failure.h"
#include "detect/component_detection.h"
#include "detect/installed_workbench.h"
#include "detect/running_workbench.h"
#include "download/publisher_key.h"
#include "download/staging.h"
#include "install/installation_plan.h"
#include "install/webview2_bootstrapper.h"
#include "install/workbench_installer.h"
#include "policy/download_address.h"
#include "webview2_pin.h"

namespace velko {
namespace {

using Result = std::expected<void, std::string>;

// Takes a kind's staged files out of the run's map; the installation phase uses each once.
std::expected<std::vector<std::string>, std::string> take_staged(InstallRun& run, ComponentKind kind) {
  auto entry = run.staged.find(kind);
  if (entry == run.staged.end() || entry->second.empty()) {
    return fail(missing_staged_files_text(component_display_name(kind, release_version_text(run.policy))));
  }
  std::vector<std::string> paths = std::move(entry->second);
  run.staged.erase(entry);
  return paths;
}

// The bootstrapper may hand the actual installation to a service that finishes after it has
// exited: look at once, then every two seconds, until the limit has passed.
Result wait_for_webview2() {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    if (detect_webview2()) return {};
    if (webview2_wait_expired(std::chrono::steady_clock::now() - start)) return fail(kWebView2NotDetectedText);
    std::this_thread::sleep_for(kWebView2DetectionPeriod);
  }
}

class WebView2Installer final : public ComponentInstaller {
 public:
  Result stage(InstallRun& run) const override {
    auto path = write_out_webview2_bootstrapper();
    if (!path) return fail(path.error());
    run.staged[kKind] = {*path};
    publish_event(run.events, WorkerEvent::download_progress(kKind, 100, kBootstrapperReadyText));
    publish_event(run.events, WorkerEvent::component_ready(kKind));
    return {};
  }

  Result install(InstallRun& run) const override {
    auto paths = take_staged(run, kKind);
    if (!paths) return fail(paths.error());
    publish_event(run.events, WorkerEvent::step_started(kKind, kWebView2StepText));
    if (auto ran = run_webview2_bootstrapper(paths->front(), {"/silent", "/install"},
                                             std::string(build::kWebView2BootstrapperSha256));
        !ran) {
      return ran;
    }
    if (auto detected = wait_for_webview2(); !detected) return detected;
    publish_event(run.events, WorkerEvent::component_installed(kKind));
    return {};
  }

 private:
  static constexpr ComponentKind kKind = ComponentKind::WebView2Runtime;
};

class WorkbenchInstaller final : public ComponentInstaller {
 public:
  Result stage(InstallRun& run) const override {
    if (!run.policy) return fail(run.policy.error());
    PackageDescriptor package;
    package.fileName = workbench_installer_file_name(run.policy->latestVersion);
    package.downloadUrl = run.policy->downloadUrl;
    package.sha256 = run.policy->updateSha256;
    package.size = run.policy->installerBytes;
    package.publisherKeys.assign(built_in_publisher_keys().begin(), built_in_publisher_keys().end());
    return stage_packages(kKind, component_display_name(kKind, release_version_text(run.policy)), {package},
                          run.staged, run.events);
  }

  Result install(InstallRun& run) const override {
    auto paths = take_staged(run, kKind);
    if (!paths) return fail(paths.error());
    // Staging the workbench needed the policy, so it is there whenever its files are.
    if (!run.policy) return fail(run.policy.error());
    // The user may have started the workbench while we were downloading.
    if (auto stopped = ensure_workbench_stopped(run.installDirectory); !stopped) return stopped;
    const bool update = has_valid_installation(run.installDirectory);
    publish_event(run.events, WorkerEvent::step_started(kKind, workbench_step_text(update, run.installDirectory)));
    if (auto ran = run_workbench_installer(paths->front(), run.installDirectory, *run.policy); !ran) return ran;
    publish_event(run.events, WorkerEvent::component_installed(kKind));
    return {};
  }

 private:
  static constexpr ComponentKind kKind = ComponentKind::Workbench;
};

const ComponentInstaller* installer_of(ComponentInstallation installation) {
  static const WebView2Installer webView2;
  static const WorkbenchInstaller workbench;
  switch (installation) {
    case ComponentInstallation::None: return nullptr;
    case ComponentInstallation::WebView2Bootstrapper: return &webView2;
    case ComponentInstallation::WorkbenchPackage: return &workbench;
  }
  return nullptr;
}

}  // namespace

const ComponentInstaller* installer_for(ComponentKind kind) {
  const ComponentRow* row = find_component(kind);
  return row ? installer_of(row->installation) : nullptr;
}

Result ensure_workbench_stopped(const std::string& installDirectory) {
  if (!has_valid_installation(installDirectory)) return {};
  auto running = is_workbench_running(installDirectory);
  if (!running) return fail(running.error());
  if (*running) return fail(kWorkbenchStillRunningText);
  return {};
}

}  // namespace velko
