#include "launch/launch_handoff.h"

#include <windows.h>

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "build_config.h"
#include "detect/running_workbench.h"
#include "detect/private_installation.h"
#include "install/launcher_deployment.h"
#include "install/launcher_files.h"
#include "detect/installed_workbench.h"
#include "launch/launch_rules.h"
#include "win/environment.h"
#include "win/child_process.h"
#include "win/os_error.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

// What EnumWindows looks for: a visible top-level window of one process.
struct WindowSearch {
  HWND found = nullptr;
  DWORD processId = 0;
};

BOOL CALLBACK find_visible_window(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && ::IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND visible_window_of(std::uint32_t processId) {
  WindowSearch search;
  search.processId = processId;
  ::EnumWindows(find_visible_window, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::chrono::milliseconds startup_limit() {
  if constexpr (!build::kTestBuild) {
    return kLaunchTimeLimit;
  } else {
    const auto value = win::environment_value(win::wide(kLaunchLimitOverrideVariable).c_str());
    return launch_time_limit(build::kTestBuild, value ? std::optional<std::string_view>(*value) : std::nullopt);
  }
}

// Waits until the started workbench shows a visible window, ends, or runs out of time.
WorkerEvent wait_for_first_window(const win::ChildProcess& workbench) {
  const auto limit = startup_limit();
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    // Any visible window of the process counts, a splash window too.
    if (visible_window_of(workbench.id) != nullptr) return WorkerEvent::launch_succeeded();
    const DWORD waited = ::WaitForSingleObject(workbench.process.get(), 0);
    if (waited == WAIT_OBJECT_0) {
      DWORD exitCode = 0;
      if (!::GetExitCodeProcess(workbench.process.get(), &exitCode)) {
        return WorkerEvent::launch_failed("检查工作台启动状态失败：" + win::last_error_text());
      }
      return WorkerEvent::launch_failed(early_exit_text(exitCode));
    }
    if (waited != WAIT_TIMEOUT) return WorkerEvent::launch_failed("检查工作台启动状态失败：" + win::last_error_text());
    // Left running: it may still come up, and it is the user's program.
    if (std::chrono::steady_clock::now() - start >= limit) return WorkerEvent::launch_failed(kLaunchTimeoutText);
    std::this_thread::sleep_for(kLaunchPollPeriod);
  }
}

WorkerEvent launch_workbench(const std::string& installDirectory) {
  auto executable = workbench_executable(installDirectory);
  if (!executable) return WorkerEvent::launch_failed(kIncompleteInstallationText);
  const auto isPrivate = is_private_installation(installDirectory, *executable);
  if (!isPrivate) return WorkerEvent::launch_failed(isPrivate.error());
  if (!*isPrivate) return WorkerEvent::launch_failed(kInstallationNotPrivateText);
  auto running = find_running_process(*executable);
  if (!running) return WorkerEvent::launch_failed(running.error());
  if (*running) {
    if (HWND window = visible_window_of(**running)) ::SetForegroundWindow(window);
    return WorkerEvent::launch_succeeded();
  }
  win::ProcessLaunch launch;
  launch.program = *executable;
  launch.arguments = {kWorkbenchMainArgument};
  launch.workingDirectory = installDirectory;
  launch.creationFlags = 0;
  // The workbench runs elevated for the user long after this program has gone: its temporary
  // files go to an admin-only folder that stays, never to the user's TEMP.
  auto temporary = win::lasting_child_temporary_folder();
  if (!temporary) return WorkerEvent::launch_failed("启动VelkoTarn工作台失败：" + temporary.error());
  launch.temporaryFolder = *temporary;
  auto workbench = win::start_process(launch);
  if (!workbench) return WorkerEvent::launch_failed("启动VelkoTarn工作台失败：" + workbench.error());
  return wait_for_first_window(*workbench);
}

}  // namespace

void run_launch_handoff(std::string installDirectory, EventSender events) {
  publish_event(events, launch_workbench(installDirectory));
}

std::expected<void, std::string> relaunch_after_update(const std::expected<std::string, std::string>& installDirectory) {
  if (!installDirectory) return std::unexpected(installDirectory.error());
  if (!has_valid_installation(*installDirectory)) return std::unexpected(std::string(kNoInstallResultText));
  // Nothing is written into, or started from, a folder that others could have changed: only an
  // installation (which moves such a folder aside) mends it, and detection then asks for one.
  const auto isPrivate = is_private_installation(*installDirectory, {});
  if (!isPrivate) return std::unexpected(isPrivate.error());
  if (!*isPrivate) return std::unexpected(std::string(kInstallationNotPrivateText));
  auto launcher = deploy_launcher(*installDirectory);
  if (!launcher) return std::unexpected(launcher.error());
  const auto launcherPrivate = is_private_installation(*installDirectory, *launcher);
  if (!launcherPrivate) return std::unexpected(launcherPrivate.error());
  if (!*launcherPrivate) return std::unexpected(std::string(kInstallationNotPrivateText));
  win::ProcessLaunch launch;
  launch.program = *launcher;
  launch.arguments = {kWaitForProcessArgument, std::to_string(::GetCurrentProcessId()), kLaunchMainArgument};
  launch.workingDirectory = *installDirectory;
  launch.creationFlags = 0;
  // The launcher outlives this program; see launch_workbench.
  auto temporary = win::lasting_child_temporary_folder();
  if (!temporary) return std::unexpected("准备打开 IDE 失败：" + temporary.error());
  launch.temporaryFolder = *temporary;
  auto started = win::start_process(launch);
  if (!started) return std::unexpected("准备打开 IDE 失败：" + started.error());
  return {};
}

}  // namespace velko
