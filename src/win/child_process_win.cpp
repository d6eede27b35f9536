#include "win/child_process.h"

#include <shlobj.h>

#include <chrono>
#include <cwchar>

#include "build_config.h"
#include "common/child_environment.h"
#include "common/command_line.h"
#include "common/win_path.h"
#include "win/data_folder.h"
#include "win/directories.h"
#include "win/environment.h"
#include "win/file_identity.h"
#include "win/folder_security.h"
#include "win/os_error.h"
#include "win/shell_library.h"
#include "win/wide.h"

namespace velko::win {
namespace {

constexpr char kChildTemporaryFolderName[] = "temp";
constexpr char kLastingTemporaryFolderName[] = "lasting";
constexpr unsigned kFolderNameAttempts = 16;

std::string known_folder(REFKNOWNFOLDERID id) {
  return known_folder_path(id, KF_FLAG_DONT_VERIFY).value_or(std::string());
}

std::string computer_name() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  if (!::GetComputerNameW(name, &length)) return {};
  return narrow(std::wstring_view(name, length));
}

std::string user_name() {
  wchar_t name[257];
  DWORD length = 257;
  if (!::GetUserNameW(name, &length) || length == 0) return {};
  return narrow(std::wstring_view(name, length - 1));
}

const char* architecture_name(WORD architecture) {
  switch (architecture) {
    case PROCESSOR_ARCHITECTURE_AMD64: return "AMD64";
    case PROCESSOR_ARCHITECTURE_ARM64: return "ARM64";
    case PROCESSOR_ARCHITECTURE_INTEL: return "x86";
    default: return "";
  }
}

std::vector<std::pair<std::string, std::string>> own_variables() {
  std::vector<std::pair<std::string, std::string>> variables;
  wchar_t* const block = ::GetEnvironmentStringsW();
  if (block == nullptr) return variables;
  for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
    const std::wstring_view text(entry);
    // Entries such as "=C:=C:\..." have no name before their first '='.
    const std::size_t equals = text.find(L'=', 1);
    if (equals == std::wstring_view::npos) continue;
    variables.emplace_back(narrow(text.substr(0, equals)), narrow(text.substr(equals + 1)));
  }
  ::FreeEnvironmentStringsW(block);
  return variables;
}

std::wstring environment_block(const std::string& temporaryFolder) {
  SystemEnvironmentValues values;
  values.windowsFolder = system_windows_folder();
  values.systemFolder = system_directory();
  values.temporaryFolder = temporaryFolder;
  values.programData = program_data_folder();
  values.programFiles = known_folder(FOLDERID_ProgramFiles);
  values.programFilesX86 = known_folder(FOLDERID_ProgramFilesX86);
  values.commonProgramFiles = known_folder(FOLDERID_ProgramFilesCommon);
  values.commonProgramFilesX86 = known_folder(FOLDERID_ProgramFilesCommonX86);
  values.publicFolder = known_folder(FOLDERID_Public);
  values.userProfile = known_folder(FOLDERID_Profile);
  values.appData = known_folder(FOLDERID_RoamingAppData);
  values.localAppData = known_folder(FOLDERID_LocalAppData);
  values.computerName = computer_name();
  values.userName = user_name();
  SYSTEM_INFO system{};
  ::GetSystemInfo(&system);
  values.processorArchitecture = architecture_name(system.wProcessorArchitecture);
  values.processorCount = system.dwNumberOfProcessors;
  values.processorLevel = system.wProcessorLevel;
  values.processorRevision = system.wProcessorRevision;
  if constexpr (build::kTestBuild) {
    values.testVariables = own_variables();
    // Tests give the product a private machine through these, and the product's own detection
    // takes them from the environment; its stand-ins must see the same machine.
    if (auto folder = environment_value(L"ProgramFiles(x86)")) values.programFilesX86 = *folder;
    if (auto folder = environment_value(L"LOCALAPPDATA")) values.localAppData = *folder;
  }
  const std::u16string block = child_environment_block(values);
  return std::wstring(block.begin(), block.end());
}

// Entries are removed as themselves: a link below goes, what it leads to stays.
void remove_folder_tree(const std::string& folder) {
  if (const auto names = folder_entry_names(folder)) {
    for (const std::string& name : *names) {
      const std::string entry = path_join(folder, name);
      const std::wstring wideEntry = wide(entry);
      const DWORD attributes = ::GetFileAttributesW(wideEntry.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES) continue;
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) remove_folder_tree(entry);
        ::RemoveDirectoryW(wideEntry.c_str());
        continue;
      }
      if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        ::SetFileAttributesW(wideEntry.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
      }
      ::DeleteFileW(wideEntry.c_str());
    }
  }
  ::RemoveDirectoryW(wide(folder).c_str());
}

// An admin-only folder `name` in `parent`: made with the secure descriptor in the creating
// call, or found there as a real folder (the data folder's check has judged it).
std::expected<std::string, std::string> admin_folder_in(const std::string& parent, const std::string& name) {
  const std::string folder = path_join(parent, name);
  auto made = create_secure_folder(folder);
  if (!made && made.error() != ERROR_ALREADY_EXISTS) return std::unexpected(os_error_text(made.error()));
  const auto plain = is_plain_directory(folder);
  if (!plain) return std::unexpected(os_error_text(plain.error()));
  if (!*plain) return std::unexpected(os_error_text(ERROR_DIRECTORY));
  return folder;
}

std::expected<std::string, std::string> child_temporary_root() {
  auto data = prepare_installer_data_folder();
  if (!data) return std::unexpected(std::move(data.error()));
  return admin_folder_in(*data, kChildTemporaryFolderName);
}

// A new folder for one child, never one that anybody made before.
std::expected<OwnedFolder, std::string> own_temporary_folder() {
  auto root = child_temporary_root();
  if (!root) return std::unexpected(std::move(root.error()));
  const auto stamp = static_cast<unsigned long long>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  DWORD error = ERROR_ALREADY_EXISTS;
  for (unsigned attempt = 0; attempt < kFolderNameAttempts; ++attempt) {
    const std::string folder = path_join(*root, std::to_string(::GetCurrentProcessId()) + "-" +
                                                    std::to_string(stamp) + "-" + std::to_string(attempt));
    auto made = create_secure_folder(folder);
    if (made) return OwnedFolder(folder);
    error = made.error();
    if (error != ERROR_ALREADY_EXISTS) break;
  }
  return std::unexpected(os_error_text(error));
}

}  // namespace

OwnedFolder& OwnedFolder::operator=(OwnedFolder&& other) noexcept {
  if (this != &other) {
    if (!path_.empty()) remove_folder_tree(path_);
    path_ = std::exchange(other.path_, {});
  }
  return *this;
}

OwnedFolder::~OwnedFolder() {
  if (path_.empty()) return;
  const DWORD lastError = ::GetLastError();
  remove_folder_tree(path_);
  ::SetLastError(lastError);
}

std::expected<std::string, std::string> lasting_child_temporary_folder() {
  auto root = child_temporary_root();
  if (!root) return std::unexpected(std::move(root.error()));
  return admin_folder_in(*root, kLastingTemporaryFolderName);
}

std::expected<ChildProcess, std::string> start_process(const ProcessLaunch& launch) {
  const std::wstring program = wide(launch.program);
  std::wstring commandLine = wide(build_command_line(launch.program, launch.arguments));
  // Never the folder this elevated process inherited (often the user's Downloads): a child looks
  // for some DLLs in its working folder. Not the child's own folder either, which the child
  // would keep busy until it has wholly gone.
  const std::wstring directory = wide(launch.workingDirectory ? *launch.workingDirectory : system_directory());
  ChildProcess child;
  std::wstring environment;
  if (!(build::kTestBuild && launch.inheritEnvironment)) {
    std::string temporary;
    if (launch.temporaryFolder) {
      temporary = *launch.temporaryFolder;
    } else {
      auto own = own_temporary_folder();
      if (!own) return std::unexpected(std::move(own.error()));
      child.temporaryFolder = std::move(*own);
      temporary = child.temporaryFolder.path();
    }
    environment = environment_block(temporary);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        launch.creationFlags | CREATE_UNICODE_ENVIRONMENT,
                        environment.empty() ? nullptr : environment.data(), directory.c_str(), &startup, &info)) {
    return std::unexpected(last_error_text());
  }
  unique_handle thread(info.hThread);
  child.process.reset(info.hProcess);
  child.id = info.dwProcessId;
  return child;
}

std::expected<ChildProcess, std::string> start_checked_program(const ProcessLaunch& launch,
                                                               const HeldProgramCheck& check,
                                                               std::string_view openFailure,
                                                               std::string_view startFailure) {
  const unique_file held(::CreateFileW(wide(launch.program).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!held) return os_failure(openFailure, static_cast<std::uint32_t>(::GetLastError()));
  if (auto checked = check(held.get()); !checked) return std::unexpected(std::move(checked.error()));
  auto child = start_process(launch);
  if (!child) return std::unexpected(std::string(startFailure) + child.error());
  return std::move(*child);
}

std::expected<std::uint32_t, std::uint32_t> wait_for_exit(const ChildProcess& child) {
  if (::WaitForSingleObject(child.process.get(), INFINITE) == WAIT_FAILED) {
    return std::unexpected(static_cast<std::uint32_t>(::GetLastError()));
  }
  DWORD exitCode = 0;
  if (!::GetExitCodeProcess(child.process.get(), &exitCode)) {
    return std::unexpected(static_cast<std::uint32_t>(::GetLastError()));
  }
  return exitCode;
}

std::string signed_exit_code_text(std::uint32_t exitCode) {
  return std::to_string(static_cast<std::int32_t>(exitCode));
}

}  // namespace velko::win
