// Stand-in for the WebView2 Evergreen bootstrapper. Started with "/silent" "/install" it
// registers a runtime the way the product detects one: the `pv` value under the EdgeUpdate
// client key and the two runtime files in the version folder. Tests steer it through the
// environment:
//   VELKO_WEBVIEW2_STANDIN_EXIT_CODE  exit code (decimal, may be negative), default 0
//   VELKO_WEBVIEW2_STANDIN_REGISTER   "now" (default), "never", or a delay in milliseconds:
//                                     the stand-in exits at once and a hidden copy of it
//                                     registers after the delay
//   VELKO_WEBVIEW2_STANDIN_SCOPE      "user" (default: HKCU and %LOCALAPPDATA%) or "machine"
//                                     (HKLM WOW6432Node and %ProgramFiles(x86)%)
//   VELKO_WEBVIEW2_STANDIN_VERSION    the version registered, default "120.0.2210.91"
//   VELKO_WEBVIEW2_STANDIN_LOG        a file that gets one line per start: the arguments
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

constexpr wchar_t kClientKeyUser[] = L"SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
constexpr wchar_t kClientKeyMachine[] =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";

std::wstring environment(const wchar_t* name, const wchar_t* fallback = L"") {
  wchar_t buffer[32768];
  const DWORD length = ::GetEnvironmentVariableW(name, buffer, 32768);
  if (length == 0 || length >= 32768) return fallback;
  return std::wstring(buffer, length);
}

void append_log(int argc, wchar_t** argv) {
  const std::wstring log = environment(L"VELKO_WEBVIEW2_STANDIN_LOG");
  if (log.empty()) return;
  std::wstring line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += L' ';
    line += argv[i];
  }
  line += L'\n';
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), bytes, nullptr, nullptr);
  HANDLE file = ::CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  ::CloseHandle(file);
}

void create_directories(const std::wstring& path) {
  for (std::size_t i = 3; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == L'\\') ::CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
  }
}

bool touch(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  ::WriteFile(file, "stand-in", 8, &written, nullptr);
  ::CloseHandle(file);
  return true;
}

bool register_runtime() {
  const bool machine = environment(L"VELKO_WEBVIEW2_STANDIN_SCOPE") == L"machine";
  const std::wstring version = environment(L"VELKO_WEBVIEW2_STANDIN_VERSION", L"120.0.2210.91");
  const std::wstring base = machine ? environment(L"ProgramFiles(x86)") : environment(L"LOCALAPPDATA");
  if (base.empty()) return false;
  // Files first, then the registry value: the runtime is complete the moment `pv` appears.
  const std::wstring folder = base + L"\\Microsoft\\EdgeWebView\\Application\\" + version;
  create_directories(folder);
  if (!touch(folder + L"\\msedgewebview2.exe") || !touch(folder + L"\\msedge.dll")) return false;
  HKEY key = nullptr;
  if (::RegCreateKeyExW(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, machine ? kClientKeyMachine : kClientKeyUser,
                        0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG result = ::RegSetValueExW(key, L"pv", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                                       static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

// A hidden copy of this program that registers after the delay, so that the runtime
// appears only some time after the bootstrapper has exited.
void register_later(const std::wstring& delay) {
  wchar_t self[MAX_PATH * 4];
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  if (length == 0 || length >= MAX_PATH * 4) return;
  std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --register-after " + delay;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (::CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                       &info)) {
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--register-after") {
    ::Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    return register_runtime() ? 0 : 1;
  }
  append_log(argc, argv);
  const int exitCode = static_cast<int>(std::wcstol(environment(L"VELKO_WEBVIEW2_STANDIN_EXIT_CODE", L"0").c_str(), nullptr, 10));
  const bool install = argc == 3 && std::wstring(argv[1]) == L"/silent" && std::wstring(argv[2]) == L"/install";
  if (!install) return 87;  // what a bootstrapper says to arguments it does not take
  const std::wstring mode = environment(L"VELKO_WEBVIEW2_STANDIN_REGISTER", L"now");
  if (mode == L"now") {
    if (!register_runtime()) return 1603;
  } else if (mode != L"never") {
    register_later(mode);
  }
  return exitCode;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return wmain(__argc, __wargv); }
