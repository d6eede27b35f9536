#include "install/installation.h"

#include <windows.h>

#include <chrono>
#include <thread>

#include "common/failure.h"
#include "common/win_path.h"
#include "detect/component_detection.h"
#include "detect/installed_workbench.h"
#include "detect/running_workbench.h"
#include "download/publisher_key.h"
#include "download/staging.h"
#include "install/install_directory.h"
#include "install/installation_plan.h"
#include "install/webview2_bootstrapper.h"
#include "install/launcher_deployment.h"
#include "install/workbench_installer.h"
#include "policy/download_address.h"
#include "webview2_pin.h"

namespace velko {
namespace {

using Result = std::expected<void, std::string>;
using PolicyResult = std::expected<ReleasePolicy, std::string>;

// An update must not replace the program of a workbench that is still running.
Result ensure_workbench_stopped(const std::string& installDirectory) {
  if (!has_valid_installation(installDirectory)) return {};
  auto running = is_workbench_running(installDirectory);
  if (!running) return fail(running.error());
  if (*running) return fail(kWorkbenchStillRunningText);
  return {};
}

Result stage_webview2(StagedFiles& staged, const EventSender& events) {
  auto path = write_out_webview2_bootstrapper();
  if (!path) return fail(path.error());
  staged[ComponentKind::WebView2Runtime] = {*path};
  publish_event(events, WorkerEvent::download_progress(ComponentKind::WebView2Runtime, 100, kBootstrapperReadyText));
  publish_event(events, WorkerEvent::component_ready(ComponentKind::WebView2Runtime));
  return {};
}

Result stage_workbench(StagedFiles& staged, const PolicyResult& policy, const EventSender& events) {
  if (!policy) return fail(policy.error());
  PackageDescriptor package;
  package.fileName = workbench_installer_file_name(policy->latestVersion);
  package.downloadUrl = policy->downloadUrl;
  package.sha256 = policy->updateSha256;
  package.size = policy->installerBytes;
  package.publisherKeys.assign(built_in_publisher_keys().begin(), built_in_publisher_keys().end());
  return stage_packages(ComponentKind::Workbench,
                        component_display_name(ComponentKind::Workbench, release_version_text(policy)), {package},
                        staged, events);
}

// Takes a kind's staged files out of the run's map; the installation phase uses each once.
std::expected<std::vector<std::string>, std::string> take_staged(StagedFiles& staged, ComponentKind kind,
                                                                 std::string_view versionText) {
  auto entry = staged.find(kind);
  if (entry == staged.end() || entry->second.empty()) {
    return fail(missing_staged_files_text(component_display_name(kind, versionText)));
  }
  std::vector<std::string> paths = std::move(entry->second);
  staged.erase(entry);
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

Result install_webview2(StagedFiles& staged, const PolicyResult& policy, const EventSender& events) {
  auto paths = take_staged(staged, ComponentKind::WebView2Runtime, release_version_text(policy));
  if (!paths) return fail(paths.error());
  publish_event(events, WorkerEvent::step_started(ComponentKind::WebView2Runtime, kWebView2StepText));
  if (auto ran = run_webview2_bootstrapper(paths->front(), {"/silent", "/install"},
                                           std::string(build::kWebView2BootstrapperSha256));
      !ran) {
    return ran;
  }
  if (auto detected = wait_for_webview2(); !detected) return detected;
  publish_event(events, WorkerEvent::component_installed(ComponentKind::WebView2Runtime));
  return {};
}

Result install_workbench(StagedFiles& staged, const PolicyResult& policy, const std::string& installDirectory,
                         const EventSender& events) {
  auto paths = take_staged(staged, ComponentKind::Workbench, release_version_text(policy));
  if (!paths) return fail(paths.error());
  // Staging the workbench needed the policy, so it is there whenever its files are.
  if (!policy) return fail(policy.error());
  // The user may have started the workbench while we were downloading.
  if (auto stopped = ensure_workbench_stopped(installDirectory); !stopped) return stopped;
  const bool update = has_valid_installation(installDirectory);
  publish_event(events, WorkerEvent::step_started(ComponentKind::Workbench, workbench_step_text(update, installDirectory)));
  if (auto ran = run_workbench_installer(paths->front(), installDirectory, *policy); !ran) return ran;
  publish_event(events, WorkerEvent::component_installed(ComponentKind::Workbench));
  return {};
}

Result perform_installation(const InstallRequest& request, const PolicyResult& policy, const EventSender& events) {
  const std::string& directory = request.installDirectory;
  if (auto stopped = ensure_workbench_stopped(directory); !stopped) return stopped;
  // The folder is ours before anything lands in it: what runs elevated from it later must not
  // be replaceable by another user.
  if (auto prepared = prepare_install_directory(directory); !prepared) return prepared;
  const std::vector<ComponentKind> plan = plan_installation(request.webView2Present, request.workbenchCurrent);

  // Everything is on disk and verified before the first installer runs.
  StagedFiles staged;
  for (ComponentKind kind : plan) {
    const Result result =
        kind == ComponentKind::WebView2Runtime ? stage_webview2(staged, events) : stage_workbench(staged, policy, events);
    if (!result) return result;
  }
  for (ComponentKind kind : plan) {
    const Result result = kind == ComponentKind::WebView2Runtime ? install_webview2(staged, policy, events)
                                                                 : install_workbench(staged, policy, directory, events);
    if (!result) return result;
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
