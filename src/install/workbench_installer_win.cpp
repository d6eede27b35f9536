#include "install/workbench_installer.h"

#include <windows.h>

#include <chrono>
#include <span>
#include <vector>
#include <memory>

#include "common/digest_text.h"
#include "common/utf.h"
#include "common/win_path.h"
#include "detect/install_location.h"
#include "detect/running_workbench.h"
#include "download/publisher_signature.h"
#include "install/workbench_installer_rules.h"
#include "policy/download_address.h"
#include "win/child_process.h"
#include "win/data_folder.h"
#include "win/directories.h"
#include "win/file_digest.h"
#include "win/file_identity.h"
#include "win/os_error.h"
#include "win/sha256.h"
#include "win/temporary_file.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

constexpr char kStagedInstallerMismatch[] = "待运行的工作台安装包校验失败，已停止安装。";
constexpr char kCopyMismatch[] = "安装程序独立运行副本校验失败，文件不会执行。";
constexpr char kCopyNotPublisherSigned[] = "安装程序独立运行副本不是制作方签名的安装包，文件不会执行。";
constexpr char kInstallerErrorReport[] = "last-ide-install-error.txt";
constexpr unsigned kRunDirectoryAttempts = 16;
// Reports count as written during this run when their last write is at most this much older
// than the start: FAT volumes keep write times in 2-second steps and file times may come from
// a coarser clock than the one we read.
constexpr std::int64_t kReportTimeTolerance = 2 * 10'000'000;  // 100-ns units

std::string os_text(std::uint32_t code) { return win::os_error_text(code); }

std::int64_t file_time_value(const FILETIME& time) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

std::int64_t now_file_time() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return file_time_value(now);
}

// The staged installer is checked by name for what costs nothing (plain file, policy size) before
// anything is created; its digest is taken while it is copied.
std::expected<void, std::string> precheck_staged_installer(const std::string& path, const ReleasePolicy& policy) {
  if (!win::is_plain_file(path) || win::file_size(path) != policy.installerBytes) {
    return std::unexpected(std::string(kStagedInstallerMismatch));
  }
  return {};
}

// The private run directory with its one copy; both are removed when the run is over.
class RunDirectory {
 public:
  RunDirectory(std::string directory, std::string copy) : directory_(std::move(directory)), copy_(std::move(copy)) {}
  RunDirectory(const RunDirectory&) = delete;
  RunDirectory& operator=(const RunDirectory&) = delete;
  ~RunDirectory() {
    ::DeleteFileW(win::wide(copy_).c_str());
    ::RemoveDirectoryW(win::wide(directory_).c_str());
  }
  const std::string& copy() const { return copy_; }

 private:
  std::string directory_;
  std::string copy_;
};

std::expected<std::string, std::string> prepare_run_directories() {
  // The copies run elevated: their folder lives inside the locked-down data folder.
  const auto dataFolder = win::prepare_installer_data_folder();
  if (!dataFolder) return std::unexpected("创建安装程序独立运行目录失败：" + dataFolder.error());
  const std::string runs = path_join(*dataFolder, "installer-runs");
  if (auto created = win::create_directories(runs); !created) {
    return std::unexpected("创建安装程序独立运行目录失败：" + os_text(created.error()));
  }
  const auto plain = win::is_plain_directory(runs);
  if (!plain) return std::unexpected("检查安装程序独立运行目录失败：" + os_text(plain.error()));
  if (!*plain) return std::unexpected(std::string("安装程序独立运行目录不是受支持的普通目录，已停止安装。"));
  return runs;
}

std::expected<std::unique_ptr<RunDirectory>, std::string> create_run_directory(
    const std::string& runs, const std::string& version, std::chrono::system_clock::time_point moment) {
  const auto sinceEpoch = moment.time_since_epoch();
  if (sinceEpoch.count() < 0) return std::unexpected(std::string("系统时间异常，无法创建安装程序独立运行副本。"));
  const auto nanos = static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count());
  const std::uint32_t processId = ::GetCurrentProcessId();
  for (unsigned attempt = 0; attempt < kRunDirectoryAttempts; ++attempt) {
    const std::string directory = path_join(runs, installer_run_directory_name(version, processId, nanos, attempt));
    const std::string copy = path_join(directory, workbench_installer_file_name(version));
    if (!path_parent(copy)) return std::unexpected(std::string("安装程序独立运行路径无效，已停止安装。"));
    if (::CreateDirectoryW(win::wide(directory).c_str(), nullptr)) {
      return std::make_unique<RunDirectory>(directory, copy);
    }
    const DWORD error = ::GetLastError();
    // Never reuse a directory: another run (or a removal that failed) owns it.
    if (error != ERROR_ALREADY_EXISTS) return std::unexpected("创建安装程序独立运行副本失败：" + os_text(error));
  }
  return std::unexpected(std::string("无法创建唯一的安装程序独立运行副本，请稍后重试。"));
}

// Copies the staged installer into the run directory in one read, hashing what is read. The copy
// holds exactly the bytes hashed, so a staged file that does not match the policy is refused
// here; the copy itself is verified again through the handle that starts it. It is not flushed:
// it is run from the cache and removed after the run, and a crash leaves nothing that is reused.
std::expected<void, std::string> make_copy(const std::string& staged, const std::string& copy,
                                           const ReleasePolicy& policy) {
  const win::unique_file source(::CreateFileW(win::wide(staged).c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                                              nullptr));
  if (!source) return win::os_failure("读取校验文件失败：", win::last_error());
  // A fresh name in a fresh directory: nothing may stand there already.
  const win::unique_file target(::CreateFileW(win::wide(copy).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!target) return win::os_failure("复制安装程序独立运行副本失败：", win::last_error());
  const auto digest = win::copy_hashing(source.get(), target.get(), "复制安装程序独立运行副本失败：");
  if (!digest) return std::unexpected(std::move(digest.error()));
  if (!same_digest(*digest, policy.updateSha256)) return std::unexpected(std::string(kStagedInstallerMismatch));
  return {};
}

// The installer's own report, when it was written during this run.
std::optional<std::string> fresh_error_report(std::int64_t startedAt) {
  const std::string path = path_join(win::installer_data_folder(), kInstallerErrorReport);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(win::wide(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  if (file_time_value(data.ftLastWriteTime) + kReportTimeTolerance < startedAt) return std::nullopt;
  auto text = win::read_whole_file(path);
  if (!text) return std::nullopt;
  return std::move(*text);
}

std::expected<void, std::string> write_install_location(const std::string& installDirectory) {
  const auto dataFolder = win::prepare_installer_data_folder();
  if (!dataFolder) return std::unexpected("创建安装位置记录目录失败：" + dataFolder.error());
  const std::string record = path_join(*dataFolder, kInstallLocationRecordName);
  const auto written = win::write_through_temporary(
      record + ".part", record,
      std::span(reinterpret_cast<const std::uint8_t*>(installDirectory.data()), installDirectory.size()));
  if (written) return {};
  switch (written.error().step) {
    case win::TemporaryWriteFailure::Step::Replace: return win::os_failure("替换旧下载文件失败：", written.error().code);
    case win::TemporaryWriteFailure::Step::Rename: return win::os_failure("保存下载文件失败：", written.error().code);
    default: return win::os_failure("写入安装位置记录失败：", written.error().code);
  }
}

std::expected<void, std::string> run_verified_copy(const RunDirectory& run, const std::string& staged,
                                                   const std::string& installDirectory, const ReleasePolicy& policy,
                                                   std::span<const PublisherKey> publisherKeys) {
  if (auto copied = make_copy(staged, run.copy(), policy); !copied) return copied;
  std::int64_t startedAt = 0;
  const auto check = [&](HANDLE copy) -> std::expected<void, std::string> {
    if (!win::is_plain_file(run.copy()) || win::file_size_of(copy) != policy.installerBytes) {
      return std::unexpected(std::string(kCopyMismatch));
    }
    // The digest and the signature each read the whole copy: side by side, through the held
    // handle and one opened from it, while the held handle keeps every writer out.
    // Refused until the check has said otherwise.
    std::expected<void, std::string> signature = std::unexpected(std::string(kCopyNotPublisherSigned));
    const auto digest = win::sha256_of_open_file_beside(copy, [&] {
      signature = check_publisher_signature(copy, run.copy(), publisherKeys, kCopyNotPublisherSigned);
    });
    if (!digest) return std::unexpected(digest.error());
    if (!same_digest(*digest, policy.updateSha256)) return std::unexpected(std::string(kCopyMismatch));
    if (!signature) return signature;
    // Reports written from here on belong to this run.
    startedAt = now_file_time();
    return {};
  };
  win::ProcessLaunch launch;
  launch.program = run.copy();
  launch.arguments = {"--silent-install-to", installDirectory};
  launch.creationFlags = CREATE_NO_WINDOW;
  auto child = win::start_checked_program(launch, check, "读取校验文件失败：", "启动 IDE 安装任务失败：");
  if (!child) return std::unexpected(std::move(child.error()));
  const auto exitCode = win::wait_for_exit(*child);
  if (!exitCode) return std::unexpected("等待 IDE 安装任务结束失败：" + os_text(exitCode.error()));
  if (*exitCode != 0) {
    return std::unexpected(installer_failure_text(fresh_error_report(startedAt), win::signed_exit_code_text(*exitCode)));
  }
  if (check_installed_workbench(installDirectory, policy.latestVersion) != WorkbenchInstallState::Current) {
    return std::unexpected(std::string("工作台安装任务已结束，但安装结果与本次发布文件不一致。"));
  }
  return write_install_location(installDirectory);
}

}  // namespace

std::expected<void, std::string> run_workbench_installer(const std::string& stagedInstaller,
                                                         const std::string& installDirectory,
                                                         const ReleasePolicy& policy) {
  return run_workbench_installer_at(stagedInstaller, installDirectory, policy, std::chrono::system_clock::now(),
                                    built_in_publisher_keys());
}

std::expected<void, std::string> run_workbench_installer_at(const std::string& stagedInstaller,
                                                            const std::string& installDirectory,
                                                            const ReleasePolicy& policy,
                                                            std::chrono::system_clock::time_point moment,
                                                            std::span<const PublisherKey> publisherKeys) {
  if (auto checked = precheck_staged_installer(stagedInstaller, policy); !checked) return checked;
  auto runs = prepare_run_directories();
  if (!runs) return std::unexpected(std::move(runs.error()));
  auto run = create_run_directory(*runs, policy.latestVersion, moment);
  if (!run) return std::unexpected(std::move(run.error()));
  return run_verified_copy(**run, stagedInstaller, installDirectory, policy, publisherKeys);
}

}  // namespace velko
