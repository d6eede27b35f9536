#pragma once

#include <expected>
#include <string>
#include <vector>

#include "model/event_channel.h"
#include "model/worker_event.h"
#include "policy/release_policy.h"

#include <ostream>

namespace velko {
// Readable test failures.
void PrintTo(const WorkerEvent& event, std::ostream* out);
void PrintTo(WorkerEventTag tag, std::ostream* out);
}  // namespace velko

namespace velko::test {

// Writes a valid workbench installation into `directory`: "install-manifest.json" naming this
// directory and version, and `program` as "VelkoTarn工作台.exe".
void write_valid_installation(const std::string& directory, const std::string& version = "1.0.0",
                              const std::string& program = "stand-in workbench");

using PolicyResult = std::expected<ReleasePolicy, std::string>;
// What the worker is given while no policy has been fetched.
PolicyResult no_policy_yet();

// Runs the installation worker to its end on this thread with `policy`; every event it
// published, in order.
std::vector<WorkerEvent> run_installation_to_end(bool webView2Present, bool workbenchCurrent,
                                                 const std::string& installDirectory, const PolicyResult& policy);

// Every event queued so far, oldest first.
std::vector<WorkerEvent> drain_events(EventReceiver& receiver);
std::vector<WorkerEventTag> tags_of(const std::vector<WorkerEvent>& events);

// This test program's own path and bytes.
std::string own_program_path();

// The current user's desktop folder and the shortcut the deployment writes there.
std::string desktop_folder();
std::string desktop_shortcut_path();

// Forgets every WebView2 runtime registration the stand-in can make (both client keys).
void remove_webview2_registration();

struct ShortcutFields {
  std::string target;
  std::string arguments;
  std::string workingDirectory;
  std::string iconPath;
  int iconIndex = -1;
};
// Reads a saved shell link back through the shell.
ShortcutFields read_shortcut(const std::string& path);

bool is_hidden(const std::string& path);
// Volume serial and file index: changes when a file is replaced by another one.
std::string file_identity(const std::string& path);

}  // namespace velko::test
