#include "support/installation_fixture.h"

#include "install/installation.h"

#include "state/bootstrap_state.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "support/scoped_temp_dir.h"
#include "win/com_apartment.h"
#include "win/module_path.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {

void PrintTo(WorkerEventTag tag, std::ostream* out) {
  static const char* const names[] = {"PolicyReady",    "PolicyFailed",     "DownloadProgress", "StepStarted",
                                      "ComponentInstalled", "ComponentReady", "InstallCompleted", "InstallFailed",
                                      "LaunchSucceeded", "LaunchFailed"};
  const auto index = static_cast<std::size_t>(tag);
  *out << (index < std::size(names) ? names[index] : "?");
}

void PrintTo(const WorkerEvent& event, std::ostream* out) {
  PrintTo(event.tag, out);
  *out << "(" << static_cast<int>(event.component) << ", " << event.percent;
  if (event.text) *out << ", \"" << *event.text << "\"";
  *out << ")";
}

}  // namespace velko

namespace velko::test {
namespace {

std::string json_escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

}  // namespace

void write_valid_installation(const std::string& directory, const std::string& version, const std::string& program) {
  make_directories(directory);
  const std::string executable = directory + "\\VelkoTarn工作台.exe";
  write_file(executable, program);
  write_file(directory + "\\install-manifest.json",
             "{\"commandLibraryPath\":\"embedded://frontend-bundle\",\"executablePath\":\"" + json_escape(executable) +
                 "\",\"installPath\":\"" + json_escape(directory) + "\",\"product\":\"VelkoTarn工作台\",\"version\":\"" +
                 version + "\"}");
}

PolicyResult no_policy_yet() { return std::unexpected(std::string(kPolicyNotYetKnown)); }

std::vector<WorkerEvent> run_installation_to_end(bool webView2Present, bool workbenchCurrent,
                                                 const std::string& installDirectory, const PolicyResult& policy) {
  auto [sender, receiver] = make_event_channel();
  InstallRequest request;
  request.components[ComponentKind::WebView2Runtime].present = webView2Present;
  request.components[ComponentKind::Workbench].present = workbenchCurrent;
  request.installDirectory = installDirectory;
  run_installation(request, policy, sender);
  return drain_events(receiver);
}

std::vector<WorkerEvent> drain_events(EventReceiver& receiver) {
  std::vector<WorkerEvent> events;
  while (auto event = receiver.try_receive()) events.push_back(std::move(*event));
  return events;
}

std::vector<WorkerEventTag> tags_of(const std::vector<WorkerEvent>& events) {
  std::vector<WorkerEventTag> tags;
  for (const auto& event : events) tags.push_back(event.tag);
  return tags;
}

std::string own_program_path() {
  auto path = win::own_executable_path();
  EXPECT_TRUE(path);
  return path.value_or("");
}

std::string desktop_folder() {
  win::unique_cotaskmem<PWSTR> raw;
  EXPECT_EQ(::SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, raw.put()), S_OK);
  return raw ? win::narrow(raw.get()) : "";
}

std::string desktop_shortcut_path() { return desktop_folder() + "\\Velko Tarn 工作台.lnk"; }

void remove_webview2_registration() {
  const wchar_t* user = L"SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
  const wchar_t* machine = L"SOFTWARE\\WOW6432Node\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
  ::RegDeleteKeyExW(HKEY_CURRENT_USER, user, KEY_WOW64_64KEY, 0);
  ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, machine, KEY_WOW64_64KEY, 0);
}

ShortcutFields read_shortcut(const std::string& path) {
  ShortcutFields fields;
  const win::ComApartment apartment;
  {
    win::com_ptr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void()))) {
      ADD_FAILURE() << "no shell link object";
    } else {
      win::com_ptr<IPersistFile> persist;
      link.query(persist);
      if (!persist || FAILED(persist->Load(win::wide(path).c_str(), STGM_READ))) {
        ADD_FAILURE() << "cannot load " << path;
      } else {
        wchar_t buffer[MAX_PATH * 4] = {};
        // From the item list: the path text of the link header may be in the ANSI code page.
        win::unique_cotaskmem<PIDLIST_ABSOLUTE> items;
        if (SUCCEEDED(link->GetIDList(items.put())) && items) {
          if (::SHGetPathFromIDListW(items.get(), buffer)) fields.target = win::narrow(buffer);
        }
        buffer[0] = 0;
        link->GetArguments(buffer, MAX_PATH * 4);
        fields.arguments = win::narrow(buffer);
        buffer[0] = 0;
        link->GetWorkingDirectory(buffer, MAX_PATH * 4);
        fields.workingDirectory = win::narrow(buffer);
        buffer[0] = 0;
        link->GetIconLocation(buffer, MAX_PATH * 4, &fields.iconIndex);
        fields.iconPath = win::narrow(buffer);
      }
    }
  }
  return fields;
}

bool is_hidden(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(win::wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
}

std::string file_identity(const std::string& path) {
  win::unique_file file(::CreateFileW(win::wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !::GetFileInformationByHandle(file.get(), &info)) return "none";
  return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) + ":" +
         std::to_string(info.nFileIndexLow);
}

}  // namespace velko::test
