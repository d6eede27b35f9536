// A stand-in for the workbench installer. "--silent-install-to {directory}" installs the
// stand-in workbench (carried as resource 1) as "VelkoTarn工作台.exe" into the directory and
// writes "install-manifest.json" for the version compiled in (VELKO_STANDIN_VERSION).
// Tests choose other outcomes through environment variables inherited from the caller:
//   VELKO_STANDIN_INSTALLER_EXIT=N          install nothing and end with exit code N
//   VELKO_STANDIN_INSTALLER_REPORT=text     with the above: first write text (UTF-8) to
//                                           {ProgramData}\VelkoInstaller\last-ide-install-error.txt
//   VELKO_STANDIN_INSTALLER_VERSION=x.y.z   install, but put this version into the manifest
//   VELKO_STANDIN_INSTALLER_SELF=file       first write the path this program runs from to file
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <optional>
#include <string>

#include "common/win_path.h"
#include "win/directories.h"
#include "win/environment.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace {

using velko::path_join;
using velko::win::environment_value;

bool write_file(const std::string& path, const std::string& bytes) {
  velko::win::unique_file file(::CreateFileW(velko::win::wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

// Where the product under test keeps its data: the folder its test build was pointed at.
std::string bootstrapper_folder() {
  const auto programData = environment_value(L"VELKO_TEST_PROGRAM_DATA");
  return path_join(programData ? *programData : environment_value(L"ProgramData").value_or("C:\\ProgramData"),
                   "VelkoInstaller");
}

int fail(const std::string& message) {
  // Like the real installer: one UTF-8 message for the bootstrapper to show.
  const std::string folder = bootstrapper_folder();
  velko::win::create_directories(folder);
  write_file(path_join(folder, "last-ide-install-error.txt"), message);
  return 1;
}

std::optional<std::string> payload() {
  HRSRC resource = ::FindResourceW(nullptr, MAKEINTRESOURCEW(1), RT_RCDATA);
  if (resource == nullptr) return std::nullopt;
  HGLOBAL loaded = ::LoadResource(nullptr, resource);
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (bytes == nullptr) return std::nullopt;
  return std::string(static_cast<const char*>(bytes), ::SizeofResource(nullptr, resource));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (argv == nullptr || argc != 3 || std::wcscmp(argv[1], L"--silent-install-to") != 0) return 87;
  const std::string directory = velko::win::narrow(argv[2]);

  if (const auto selfRecord = environment_value(L"VELKO_STANDIN_INSTALLER_SELF")) {
    wchar_t self[32768];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, 32768);
    write_file(*selfRecord, velko::win::narrow(std::wstring_view(self, length)));
  }

  if (const auto exitCode = environment_value(L"VELKO_STANDIN_INSTALLER_EXIT")) {
    if (const auto report = environment_value(L"VELKO_STANDIN_INSTALLER_REPORT")) {
      velko::win::create_directories(bootstrapper_folder());
      write_file(path_join(bootstrapper_folder(), "last-ide-install-error.txt"), *report);
    }
    return static_cast<int>(std::strtol(exitCode->c_str(), nullptr, 10));
  }

  const auto program = payload();
  if (!program) return fail("安装包已损坏：缺少工作台程序。");
  if (!velko::win::create_directories(directory)) return fail("无法创建安装目录：" + directory);
  const std::string executable = path_join(directory, "VelkoTarn工作台.exe");
  if (!write_file(executable, *program)) return fail("无法写入工作台程序：" + executable);
  const std::string version = environment_value(L"VELKO_STANDIN_INSTALLER_VERSION").value_or(VELKO_STANDIN_VERSION);
  const std::string manifest = "{\n  \"product\": \"VelkoTarn工作台\",\n  \"version\": " + json_string(version) +
                               ",\n  \"installPath\": " + json_string(directory) + ",\n  \"executablePath\": " +
                               json_string(executable) +
                               ",\n  \"commandLibraryPath\": \"embedded://frontend-bundle\",\n  \"installedBy\": "
                               "\"stand-in\"\n}\n";
  if (!write_file(path_join(directory, "install-manifest.json"), manifest)) return fail("无法写入安装清单。");
  return 0;
}
