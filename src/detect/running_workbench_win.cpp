#include "detect/running_workbench.h"

#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "common/utf.h"
#include "common/win_path.h"
#include "detect/running_workbench_win.h"
#include "win/file_identity.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

constexpr std::size_t kImagePathCapacity = 32768;

std::string code_text(std::uint32_t code) { return std::to_string(code); }

// Both names are compared as UTF-8: equal byte length, ASCII letters folded, all else exact.
bool same_name(std::string_view a, std::string_view b) { return equal_ignoring_ascii_case(a, b); }

std::string resolved_or_unchanged(const std::string& path) {
  if (auto resolved = win::final_path(path)) return *resolved;
  return path;
}

// Opens one candidate and compares its image with the executable we look for.
std::expected<CandidateOutcome, std::string> check_candidate(std::uint32_t processId, const std::string& wanted) {
  win::unique_handle process = open_listed_process(processId);
  if (!process) return unopened_candidate_outcome(processId, static_cast<std::uint32_t>(::GetLastError()));
  std::vector<wchar_t> buffer(kImagePathCapacity, L'\0');
  DWORD length = static_cast<DWORD>(buffer.size());
  if (!::QueryFullProcessImageNameW(process.get(), 0, buffer.data(), &length)) {
    return judge_unreadable_candidate(process.get(), processId, static_cast<std::uint32_t>(::GetLastError()));
  }
  process.reset();
  const std::string rawImage = win::narrow(std::wstring_view(buffer.data(), length));
  // Anyone may run a program of that name from a share; its path is never opened, and it is not
  // the installed workbench.
  if (!win::is_local_path(rawImage)) return CandidateOutcome::Differs;
  const std::string image = resolved_or_unchanged(rawImage);
  return same_name(image, wanted) ? CandidateOutcome::Matches : CandidateOutcome::Differs;
}

}  // namespace

win::unique_handle open_listed_process(std::uint32_t processId) {
  return win::unique_handle(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
}

std::expected<CandidateOutcome, std::string> judge_unreadable_candidate(HANDLE process, std::uint32_t processId,
                                                                        std::uint32_t queryError) {
  // The exit code, not a zero-time wait: waiting needs SYNCHRONIZE, which the search does not ask
  // for, so such a wait fails on every process and an ended candidate would stop the search.
  DWORD exitCode = 0;
  const std::optional<std::uint32_t> code =
      ::GetExitCodeProcess(process, &exitCode) ? std::optional<std::uint32_t>(exitCode) : std::nullopt;
  return unreadable_candidate_outcome(processId, queryError, code);
}

std::expected<std::optional<std::uint32_t>, std::string> find_running_process(const std::string& executablePath) {
  const std::string fileName = path_file_name(executablePath);
  if (fileName.empty() || !is_valid_utf8(fileName)) return std::unexpected(std::string("工作台程序路径无效。"));
  // No installation of ours runs from a share, and its path is never opened.
  if (!win::is_local_path(executablePath)) return std::optional<std::uint32_t>{};

  win::unique_snapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return std::unexpected(std::string("无法读取当前进程列表。"));

  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  if (!::Process32FirstW(snapshot.get(), &entry)) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_NO_MORE_FILES) return std::optional<std::uint32_t>{};
    return std::unexpected("无法读取当前进程列表（错误码 " + code_text(error) + "）。");
  }

  std::optional<std::string> wanted;  // resolved only once a candidate turns up
  for (;;) {
    const std::string entryName = win::narrow_until_nul(entry.szExeFile, std::size(entry.szExeFile));
    if (same_name(entryName, fileName)) {
      if (!wanted) wanted = resolved_or_unchanged(executablePath);
      auto outcome = check_candidate(entry.th32ProcessID, *wanted);
      if (!outcome) return std::unexpected(std::move(outcome.error()));
      if (*outcome == CandidateOutcome::Matches) return std::optional<std::uint32_t>(entry.th32ProcessID);
    }
    entry = PROCESSENTRY32W{};
    entry.dwSize = sizeof entry;
    if (!::Process32NextW(snapshot.get(), &entry)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_NO_MORE_FILES) return std::optional<std::uint32_t>{};
      return std::unexpected("读取当前进程列表时中断（错误码 " + code_text(error) + "）。");
    }
  }
}

std::expected<bool, std::string> is_workbench_running(const std::expected<std::string, std::string>& installDirectory) {
  if (!installDirectory) return std::unexpected(installDirectory.error());
  auto running = find_running_process(path_join(*installDirectory, kWorkbenchExecutableName));
  if (!running) return std::unexpected(std::move(running.error()));
  return running->has_value();
}

}  // namespace velko
