// Times classify_windows on this (supported) system as the program does it, reading the two
// WebView2 `pv` values with the registry functions, against the same classification with the
// two values read by starting "reg.exe query {key} /v pv" and parsing its output.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "detect/component_detection.h"
#include "state/bootstrap_state.h"
#include "state/classify_windows.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 15;

// What the detection would do with reg.exe: start it hidden, read its output, wait for it.
std::optional<std::string> query_with_reg_exe(const std::string& key) {
  wchar_t system[MAX_PATH];
  ::GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring program = std::wstring(system) + L"\\reg.exe";
  std::wstring commandLine = L"\"" + program + L"\" query \"" + velko::win::wide(key) + L"\" /v pv";
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return std::nullopt;
  velko::win::unique_handle reader(readEnd);
  velko::win::unique_handle writer(writeEnd);
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  startup.hStdInput = nullptr;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &info)) {
    return std::nullopt;
  }
  velko::win::unique_handle process(info.hProcess);
  velko::win::unique_handle thread(info.hThread);
  writer.reset();
  std::string output;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(reader.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) output.append(buffer, read);
  ::WaitForSingleObject(process.get(), INFINITE);
  DWORD exitCode = 1;
  ::GetExitCodeProcess(process.get(), &exitCode);
  if (exitCode != 0) return std::nullopt;
  return velko::registry_version_from_text(output);
}

double median_ms(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

template <typename F>
double time_ms(F&& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main() {
  velko::BootstrapState state;
  velko::classify_windows(state);  // warm-up: first touches of the registry and the file system
  if (!state.environment || !state.environment->supported) {
    std::printf("this system is not a supported one: %s\n", state.environment ? state.environment->systemLabel.c_str() : "?");
    return 1;
  }
  const std::string machineKey = std::string("HKLM\\") + velko::kWebView2MachineClientKey;
  const std::string userKey = std::string("HKCU\\") + velko::kWebView2UserClientKey;

  std::vector<double> direct, directQueries, regExeQueries;
  for (int i = 0; i < kRuns; ++i) {
    direct.push_back(time_ms([&] { velko::classify_windows(state); }));
    directQueries.push_back(time_ms([&] {
      velko::query_registry_version("HKLM", velko::kWebView2MachineClientKey);
      velko::query_registry_version("HKCU", velko::kWebView2UserClientKey);
    }));
    regExeQueries.push_back(time_ms([&] {
      query_with_reg_exe(machineKey);
      query_with_reg_exe(userKey);
    }));
  }
  const double classify = median_ms(direct);
  // The reg.exe variant is the same classification with the two direct reads replaced.
  const double withRegExe = classify - median_ms(directQueries) + median_ms(regExeQueries);
  std::printf("system: %s\n", state.environment->systemLabel.c_str());
  std::printf("runs: %d (medians)\n", kRuns);
  std::printf("classify_windows, pv read with the registry functions: %.3f ms\n", classify);
  std::printf("  of which the two registry reads:                     %.3f ms\n", median_ms(directQueries));
  std::printf("classify_windows, pv read by starting reg.exe twice:    %.3f ms\n", withRegExe);
  std::printf("  of which the two reg.exe runs:                        %.3f ms\n", median_ms(regExeQueries));
  std::printf("ratio (reg.exe / registry functions): %.1f\n", withRegExe / classify);
  return 0;
}
