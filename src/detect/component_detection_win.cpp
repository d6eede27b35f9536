#include "detect/component_detection.h"

#include <windows.h>

#include <vector>

#include "common/win_path.h"
#include "detect/install_location.h"
#include "detect/installed_workbench.h"
#include "policy/download_address.h"
#include "webview2_pin.h"
#include "win/data_folder.h"
#include "win/environment.h"
#include "win/file_digest.h"
#include "win/file_identity.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

std::optional<std::uint64_t> plain_file_size(const std::string& path) {
  if (!win::is_plain_file(path)) return std::nullopt;
  return win::file_size(path);
}

struct RuntimeCandidate {
  std::string version;
  std::string applicationFolder;
};

bool runtime_files_present(const RuntimeCandidate& candidate) {
  // The folders come from variables the user can set: a share named there is never looked at.
  if (!win::is_local_path(candidate.applicationFolder)) return false;
  const std::string folder = path_join(candidate.applicationFolder, candidate.version);
  return win::is_plain_file(path_join(folder, "msedgewebview2.exe")) &&
         win::is_plain_file(path_join(folder, "msedge.dll"));
}

bool bootstrapper_staged(const std::string& downloadFolder) {
  return is_intact_file(path_join(downloadFolder, kWebView2BootstrapperName), build::kWebView2BootstrapperBytes,
                        build::kWebView2BootstrapperSha256);
}

bool workbench_installer_staged(const std::string& downloadFolder, const std::optional<ReleasePolicy>& policy) {
  if (!policy) return false;
  const std::string path = path_join(downloadFolder, workbench_installer_file_name(policy->latestVersion));
  return plain_file_size(path) == policy->installerBytes;
}

bool is_workbench_current(const std::optional<ReleasePolicy>& policy) {
  return check_installed_workbench(resolve_install_location(),
                                   policy ? std::optional(policy->latestVersion) : std::nullopt) ==
         WorkbenchInstallState::Current;
}

bool is_present(ComponentDetection detection, const std::optional<ReleasePolicy>& policy) {
  switch (detection) {
    // Windows 10 and 11 already carry these updates.
    case ComponentDetection::CarriedByWindows: return true;
    case ComponentDetection::WebView2Runtime: return detect_webview2();
    case ComponentDetection::WorkbenchInstallation: return is_workbench_current(policy);
  }
  return false;
}

bool is_staged(ComponentInstallation installation, const std::string& downloadFolder,
               const std::optional<ReleasePolicy>& policy) {
  switch (installation) {
    case ComponentInstallation::None: return false;
    case ComponentInstallation::WebView2Bootstrapper: return bootstrapper_staged(downloadFolder);
    case ComponentInstallation::WorkbenchPackage: return workbench_installer_staged(downloadFolder, policy);
  }
  return false;
}

}  // namespace

bool is_intact_file(const std::string& path, std::uint64_t bytes, std::string_view sha256) {
  if (plain_file_size(path) != bytes) return false;
  const auto digest = win::sha256_of_file(path);
  return digest && *digest == sha256;
}

std::optional<std::string> query_registry_version(std::string_view root, std::string_view subkey) {
  HKEY rootKey = nullptr;
  if (root == "HKLM") {
    rootKey = HKEY_LOCAL_MACHINE;
  } else if (root == "HKCU") {
    rootKey = HKEY_CURRENT_USER;
  } else {
    return std::nullopt;
  }
  // The 64-bit view, as the system's own reg.exe sees it on x64 Windows.
  win::unique_hkey key;
  if (::RegOpenKeyExW(rootKey, win::wide(subkey).c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put()) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  DWORD type = 0;
  DWORD bytes = 0;
  if (::RegQueryValueExW(key.get(), L"pv", nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return std::nullopt;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  // Room for every byte, a stored length need not be whole UTF-16 units, and one spare unit so
  // that a value stored without its terminating NUL still ends.
  std::vector<wchar_t> buffer((bytes + sizeof(wchar_t) - 1) / sizeof(wchar_t) + 1, L'\0');
  DWORD capacity = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
  if (::RegQueryValueExW(key.get(), L"pv", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &capacity) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return registry_version_from_text(win::narrow_until_nul(buffer.data(), capacity / sizeof(wchar_t)));
}

bool detect_webview2() {
  std::vector<RuntimeCandidate> candidates;
  // Both registry values are read before any file is looked at.
  if (const auto programFiles = win::environment_value(L"ProgramFiles(x86)")) {
    if (auto version = query_registry_version("HKLM", kWebView2MachineClientKey)) {
      candidates.push_back({std::move(*version), path_join(*programFiles, "Microsoft\\EdgeWebView\\Application")});
    }
  }
  if (const auto localAppData = win::environment_value(L"LOCALAPPDATA")) {
    if (auto version = query_registry_version("HKCU", kWebView2UserClientKey)) {
      candidates.push_back({std::move(*version), path_join(*localAppData, "Microsoft\\EdgeWebView\\Application")});
    }
  }
  for (const RuntimeCandidate& candidate : candidates) {
    if (runtime_files_present(candidate)) return true;
  }
  return false;
}

EnvironmentReport detect_components(const std::optional<ReleasePolicy>& policy) {
  EnvironmentReport report;
  ComponentStatuses& statuses = report.components;
  for (const ComponentRow& row : kComponentTable) {
    statuses.byKind[kind_index(row.kind)].present = is_present(row.detection, policy);
  }
  // Only a data folder that nobody else can have filled counts as holding our downloads.
  if (const auto dataFolder = win::trusted_installer_data_folder()) {
    const std::string downloadFolder = path_join(*dataFolder, win::kDownloadsFolderName);
    for (const ComponentRow& row : kComponentTable) {
      ComponentStatus& status = statuses.byKind[kind_index(row.kind)];
      if (!status.present) status.staged = is_staged(row.installation, downloadFolder, policy);
    }
  }
  return report;
}

}  // namespace velko
