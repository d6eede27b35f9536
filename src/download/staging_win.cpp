#include "download/staging.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "common/win_path.h"
#include "download/digest_text.h"
#include "download/download_store.h"
#include "policy/download_address.h"
#include "policy/policy_request.h"
#include "win/http_session.h"
#include "win/os_error.h"
#include "win/system_library.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

constexpr DWORD kReadBytes = 1'048'576;
// Downloads are large and may stall on slow lines: longer than the policy request's limits.
constexpr int kResolveTimeoutMs = 30'000;
constexpr int kConnectTimeoutMs = 30'000;
constexpr int kSendTimeoutMs = 30'000;
constexpr int kReceiveTimeoutMs = 120'000;

std::uint32_t last_error() { return static_cast<std::uint32_t>(::GetLastError()); }

std::unexpected<std::string> coded(const char* text, std::uint32_t code) {
  return std::unexpected(coded_download_text(text, code));
}

std::unexpected<std::string> file_failure(const char* prefix, std::uint32_t code) {
  return std::unexpected(std::string(prefix) + win::os_error_text(code));
}

// Size of a file, or nothing when its metadata cannot be read. Links are not followed.
std::optional<std::uint64_t> file_size(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(win::wide(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void set_download_timeouts(HINTERNET session) {
  static auto* const setTimeouts = win::system_function<decltype(::WinHttpSetTimeouts)>(L"winhttp.dll", "WinHttpSetTimeouts");
  if (setTimeouts != nullptr) {
    setTimeouts(session, kResolveTimeoutMs, kConnectTimeoutMs, kSendTimeoutMs, kReceiveTimeoutMs);
  }
}

bool add_range_header(HINTERNET request, std::uint64_t offset) {
  static auto* const addHeaders =
      win::system_function<decltype(::WinHttpAddRequestHeaders)>(L"winhttp.dll", "WinHttpAddRequestHeaders");
  if (addHeaders == nullptr) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }
  const std::wstring header = win::wide(range_header(offset));
  return addHeaders(request, header.c_str(), static_cast<DWORD>(header.size()),
                    WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE) != FALSE;
}

std::expected<void, std::string> write_all(HANDLE file, const std::uint8_t* bytes, DWORD size) {
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(file, bytes, size, &written, nullptr)) return file_failure("保存下载文件失败：", last_error());
    if (written == 0) return file_failure("保存下载文件失败：", ERROR_WRITE_FAULT);
    bytes += written;
    size -= written;
  }
  return {};
}

// Fetches the package into the partial file, from `offset` on when the server allows it.
std::expected<void, std::string> download_into_partial(const PackageDescriptor& package, const std::string& partial,
                                                       std::uint64_t offset, const DownloadProgressContext& context) {
  const auto address = parse_download_address(package.downloadUrl);
  if (!address) return std::unexpected(address.error());

  const win::unique_hinternet session = win::open_http_session(win::wide(kServiceUserAgent));
  if (!session) return coded("初始化下载服务失败", last_error());
  win::apply_session_settings(session.get(), address->secure);
  set_download_timeouts(session.get());
  const win::unique_hinternet connection = win::connect_http(session.get(), address->host, address->port);
  if (!connection) return coded("连接下载服务器失败", last_error());
  const win::unique_hinternet request =
      win::open_http_request(connection.get(), L"GET", address->pathAndQuery, address->secure);
  if (!request) return coded("创建下载请求失败", last_error());
  if (offset > 0 && !add_range_header(request.get(), offset)) return coded("恢复下载失败", last_error());
  if (!win::send_http_request(request.get())) return coded("发送下载请求失败", last_error());
  if (!win::receive_http_response(request.get())) return coded("接收下载响应失败", last_error());
  const std::optional<DWORD> status = win::query_http_number(request.get(), WINHTTP_QUERY_STATUS_CODE);
  if (!status) return coded("读取下载状态失败", last_error());

  std::optional<std::string> contentRange;
  if (*status == 206 && offset > 0) contentRange = win::query_http_text(request.get(), WINHTTP_QUERY_CONTENT_RANGE);
  const auto mode = choose_partial_write(*status, offset, contentRange);
  if (const auto* failure = std::get_if<std::string>(&mode)) return std::unexpected(*failure);

  const std::wstring partialPath = win::wide(partial);
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  win::unique_file file;
  std::uint64_t written = 0;
  if (std::get<PartialWrite>(mode) == PartialWrite::Append) {
    file.reset(::CreateFileW(partialPath.c_str(), FILE_APPEND_DATA, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return file_failure("打开续传文件失败：", last_error());
    written = offset;
  } else {
    file.reset(::CreateFileW(partialPath.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return file_failure("创建下载文件失败：", last_error());
  }
  std::uint64_t inPartial = written;
  report_download_progress(context, written);

  std::vector<std::uint8_t> buffer(kReadBytes);
  for (;;) {
    DWORD available = 0;
    if (!win::query_http_data_available(request.get(), available)) return coded("读取下载进度失败", last_error());
    if (available == 0) break;
    DWORD read = 0;
    if (!win::read_http_data(request.get(), buffer.data(), std::min(available, kReadBytes), read)) {
      return coded("下载数据失败", last_error());
    }
    if (read == 0) break;
    if (auto saved = write_all(file.get(), buffer.data(), read); !saved) return saved;
    inPartial = saturating_add(inPartial, read);
    written = advance_written(written, read, package.size);
    report_download_progress(context, written);
    // More than the package can hold: the size check below reports it; reading on would only
    // fill the disk.
    if (partial_overflows(inPartial, package.size)) break;
  }
  if (!::FlushFileBuffers(file.get())) return file_failure("保存下载文件失败：", last_error());
  return {};
}

}  // namespace

std::expected<std::string, std::string> stage_package(const PackageDescriptor& package,
                                                      const std::string& downloadFolder,
                                                      const DownloadProgressContext& context) {
  const std::string finalPath = path_join(downloadFolder, package.fileName);
  const std::string partialPath = path_join(downloadFolder, partial_file_name(package.fileName));
  const std::uint64_t expectedSize = package.size;

  // A finished file that still matches is reused without any request.
  if (file_size(finalPath) == expectedSize) {
    const auto digest = sha256_of_file(finalPath);
    if (!digest) return std::unexpected(digest.error());
    if (same_digest(*digest, package.sha256)) {
      report_download_progress(context, expectedSize);
      return finalPath;
    }
  }

  // A partial file as long as the package may be complete: verify and promote it, or start over.
  const std::optional<std::uint64_t> partialSize = file_size(partialPath);
  if (package_disk_state(false, partialSize, expectedSize) == PackageDiskState::CompleteButUnchecked) {
    const auto digest = sha256_of_file(partialPath);
    if (!digest) return std::unexpected(digest.error());
    if (same_digest(*digest, package.sha256)) {
      if (auto moved = move_into_place(partialPath, finalPath); !moved) return std::unexpected(moved.error());
      report_download_progress(context, expectedSize);
      return finalPath;
    }
    if (!::DeleteFileW(win::wide(partialPath).c_str())) return file_failure("清理无效下载文件失败：", last_error());
  }

  const std::uint64_t offset = file_size(partialPath).value_or(0);
  if (auto fetched = download_into_partial(package, partialPath, offset, context); !fetched) {
    return std::unexpected(fetched.error());
  }

  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(win::wide(partialPath).c_str(), GetFileExInfoStandard, &data)) {
    return file_failure("读取下载文件大小失败：", last_error());
  }
  const std::uint64_t actualSize = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  if (actualSize != expectedSize) {
    return std::unexpected(incomplete_download_text(package.fileName, expectedSize, actualSize));
  }
  const auto digest = sha256_of_file(partialPath);
  if (!digest) return std::unexpected(digest.error());
  // The partial file stays: the next run finds it complete, fails its check and starts afresh.
  if (!same_digest(*digest, package.sha256)) return std::unexpected(verification_failed_text(package.fileName));
  if (auto moved = move_into_place(partialPath, finalPath); !moved) return std::unexpected(moved.error());
  report_download_progress(context, expectedSize);
  return finalPath;
}

std::expected<void, std::string> stage_packages(ComponentKind kind, const std::vector<PackageDescriptor>& packages,
                                                StagedFiles& stagedFiles, const EventSender& events) {
  const auto folder = downloads_folder();
  if (!folder) return std::unexpected(folder.error());
  DownloadProgressContext context{0, 0, kind, events};
  for (const PackageDescriptor& package : packages) context.totalBytes = saturating_add(context.totalBytes, package.size);
  std::vector<std::string> finalPaths;
  for (const PackageDescriptor& package : packages) {
    auto staged = stage_package(package, *folder, context);
    if (!staged) return std::unexpected(staged.error());
    context.completedBytes = saturating_add(context.completedBytes, package.size);
    finalPaths.push_back(std::move(*staged));
  }
  stagedFiles.insert_or_assign(kind, std::move(finalPaths));
  publish_event(events, WorkerEvent::component_ready(kind));
  return {};
}

}  // namespace velko
