#include "download/staging.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "common/digest_text.h"
#include "common/win_path.h"
#include "download/download_store.h"
#include "download/publisher_signature.h"
#include "policy/download_address.h"
#include "win/data_folder.h"
#include "win/directories.h"
#include "win/block_pipeline.h"
#include "win/file_digest.h"
#include "win/file_identity.h"
#include "win/http_request.h"
#include "win/http_session.h"
#include "win/os_error.h"
#include "win/sha256.h"
#include "win/temporary_file.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

// Downloads are large and may stall on slow lines: longer than the session's usual time-outs.
constexpr win::HttpTimeouts kDownloadTimeouts{30'000, 30'000, 30'000, 120'000};

constexpr win::HttpStepTexts kDownloadSteps{
    .session = "初始化下载服务失败",
    .connect = "连接下载服务器失败",
    .open = "创建下载请求失败",
    .addHeader = "恢复下载失败",
    .send = "发送下载请求失败",
    .receive = "接收下载响应失败",
    .status = "读取下载状态失败",
};

std::unexpected<std::string> coded(const char* text, std::uint32_t code) {
  return std::unexpected(coded_download_text(text, code));
}

std::expected<void, std::string> write_all(HANDLE file, const std::uint8_t* bytes, DWORD size) {
  while (size > 0) {
    DWORD written = 0;
    if (!::WriteFile(file, bytes, size, &written, nullptr)) return win::os_failure("保存下载文件失败：", win::last_error());
    if (written == 0) return win::os_failure("保存下载文件失败：", ERROR_WRITE_FAULT);
    bytes += written;
    size -= written;
  }
  return {};
}

// The partial file, opened for this run alone: created when missing and shared with nobody, so a
// second copy of the program staging the same package can neither write to it nor truncate or
// delete it, and fails at once instead. `created` tells whether this open made the file.
struct HeldPartial {
  win::unique_file file;
  bool created = false;
};

std::expected<HeldPartial, std::string> hold_partial(const std::string& path) {
  const std::wstring widePath = win::wide(path);
  const bool existed = win::path_exists(path);
  HeldPartial held;
  held.file.reset(::CreateFileW(widePath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!held.file) {
    const std::uint32_t code = win::last_error();
    if (auto elsewhere = file_held_elsewhere_text(code)) return std::unexpected(std::move(*elsewhere));
    return win::os_failure(existed ? "打开续传文件失败：" : "创建下载文件失败：", code);
  }
  held.created = ::GetLastError() != ERROR_ALREADY_EXISTS;
  return held;
}

// Empties the held file and leaves its position at the start.
bool truncate_held(HANDLE file) {
  const LARGE_INTEGER start{};
  return ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

// A partial file this run created and never wrote to goes again when the run fails: the folder
// looks as it did before.
void discard_if_empty(HANDLE file) {
  if (win::file_size_of(file) != 0u) return;
  win::delete_when_closed(file);
}

// Progress of the bytes as they arrive: every whole percent at most once per interval.
class PacedProgress {
 public:
  explicit PacedProgress(const DownloadProgressContext& context) : context_(context) {}

  void report(std::uint64_t written, bool always) {
    const std::uint64_t now = ::GetTickCount64();
    const std::int32_t percent = download_percent(context_, written);
    if (!always && !pacing_.due(percent, now)) return;
    pacing_.sent(percent, now);
    report_download_progress(context_, written);
  }

 private:
  const DownloadProgressContext& context_;
  ProgressPacing pacing_;
};

// Fetches the package into the held partial file, from `offset` on when the server allows it,
// feeding `hash` with every byte the file holds at the end: the part kept from an earlier run,
// read once through the held handle, then each block as it is written.
std::expected<void, std::string> download_into_partial(const PackageDescriptor& package, HANDLE file,
                                                       std::uint64_t offset, const DownloadProgressContext& context,
                                                       win::Sha256& hash) {
  const auto address = parse_download_address(package.downloadUrl);
  if (!address) return std::unexpected(address.error());

  // The range is asked for only when the partial file holds something.
  const auto answer =
      win::open_service_request(L"GET", {address->host, address->port, address->pathAndQuery, address->secure},
                                kDownloadTimeouts, offset > 0 ? range_header(offset) : std::string());
  if (!answer) return coded(win::step_text(kDownloadSteps, answer.error().step), answer.error().code);
  const HINTERNET request = answer->request.get();
  const DWORD status = answer->status;

  std::optional<std::string> contentRange;
  if (status == 206 && offset > 0) contentRange = win::query_http_text(request, WINHTTP_QUERY_CONTENT_RANGE);
  const auto mode = choose_partial_write(status, offset, contentRange);
  if (const auto* failure = std::get_if<std::string>(&mode)) return std::unexpected(*failure);
  if (const auto* discard = std::get_if<DiscardPartial>(&mode)) {
    if (!win::delete_when_closed(file)) return win::os_failure("清理无效下载文件失败：", win::last_error());
    return std::unexpected(discard->text);
  }

  std::uint64_t written = 0;
  if (std::get<PartialWrite>(mode) == PartialWrite::Append) {
    // Leaves the position at the end, where the answer continues the file.
    if (auto kept = win::hash_open_file(file, hash); !kept) return kept;
    written = offset;
  } else if (!truncate_held(file)) {
    return win::os_failure("创建下载文件失败：", win::last_error());
  }
  std::uint64_t inPartial = written;
  PacedProgress progress(context);
  progress.report(written, true);

  // Received bytes are gathered into blocks of up to 1 MiB (WinHTTP hands out a few KiB per
  // read); each full block is hashed and appended to the partial file on a second thread while
  // the next one arrives, so the digest is ready when the last byte is written. Blocks go in
  // order: the digest covers exactly the bytes in the file.
  win::BlockPipeline blocks([file, &hash](std::span<const std::uint8_t> bytes) -> std::expected<void, std::string> {
    if (auto fed = hash.update(bytes); !fed) return win::os_failure("读取校验文件失败：", fed.error());
    return write_all(file, bytes.data(), static_cast<DWORD>(bytes.size()));
  });
  // A failed read keeps what arrived before it, for the next run to resume from.
  const auto failed_read = [&](const char* text, std::uint32_t code) -> std::expected<void, std::string> {
    (void)blocks.finish();
    return coded(text, code);
  };
  for (;;) {
    DWORD available = 0;
    if (!win::query_http_data_available(request, available)) return failed_read("读取下载进度失败", win::last_error());
    if (available == 0) break;
    DWORD read = 0;
    if (!win::read_http_data(request, blocks.space(), std::min(available, blocks.room()), read)) {
      return failed_read("下载数据失败", win::last_error());
    }
    if (read == 0) break;
    if (auto added = blocks.add(read); !added) return added;
    inPartial = saturating_add(inPartial, read);
    written = advance_written(written, read, package.size);
    progress.report(written, false);
    // More than the package can hold: the size check below reports it; reading on would only
    // fill the disk.
    if (partial_overflows(inPartial, package.size)) break;
  }
  // No flush: a file found again later is hashed before it is used, so bytes lost to a crash
  // cost a download, never a wrong file, and the user does not wait for the disk here.
  return blocks.finish();
}

// Everything after the final file was found missing or wrong, with the partial file held. On
// success the verified partial file is still held, and the caller renames it through the handle.
std::expected<void, std::string> fill_held_partial(const PackageDescriptor& package, HANDLE partial, bool created,
                                                   const DownloadProgressContext& context) {
  const std::uint64_t expectedSize = package.size;
  std::optional<std::uint64_t> partialSize;
  if (!created) {
    partialSize = win::file_size_of(partial);
    if (!partialSize) return win::os_failure("读取下载文件大小失败：", win::last_error());
  }

  // A partial file as long as the package may be complete: verify it, or start over.
  if (package_disk_state(partialSize, expectedSize) == PackageDiskState::CompleteButUnchecked) {
    const auto digest = win::sha256_of_open_file(partial);
    if (!digest) return std::unexpected(digest.error());
    if (same_digest(*digest, package.sha256)) return {};
    if (!truncate_held(partial)) return win::os_failure("清理无效下载文件失败：", win::last_error());
    partialSize = 0;
  }

  auto hash = win::Sha256::create();
  if (!hash) return win::os_failure("读取校验文件失败：", hash.error());
  const std::uint64_t offset = partialSize.value_or(0);
  if (auto fetched = download_into_partial(package, partial, offset, context, *hash); !fetched) {
    return std::unexpected(fetched.error());
  }

  const std::optional<std::uint64_t> actualSize = win::file_size_of(partial);
  if (!actualSize) return win::os_failure("读取下载文件大小失败：", win::last_error());
  if (*actualSize != expectedSize) {
    return std::unexpected(incomplete_download_text(package.fileName, expectedSize, *actualSize));
  }
  // The digest of every byte in the held file, taken as they went in: no second read.
  const auto digest = hash->finish();
  if (!digest) return win::os_failure("读取校验文件失败：", digest.error());
  // The partial file stays: the next run finds it complete, fails its check and starts afresh.
  if (!same_digest(digest_text(*digest), package.sha256)) {
    return std::unexpected(verification_failed_text(package.fileName));
  }
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
  if (win::file_size(finalPath) == expectedSize) {
    const auto digest = win::sha256_of_file(finalPath);
    if (!digest) return std::unexpected(digest.error());
    if (same_digest(*digest, package.sha256)) {
      if (auto signature = check_staged_signature(finalPath, package); !signature) {
        return std::unexpected(signature.error());
      }
      report_download_progress(context, expectedSize);
      return finalPath;
    }
  }

  auto held = hold_partial(partialPath);
  if (!held) return std::unexpected(held.error());
  if (auto filled = fill_held_partial(package, held->file.get(), held->created, context); !filled) {
    if (held->created) discard_if_empty(held->file.get());
    return std::unexpected(filled.error());
  }
  if (auto signature = check_staged_signature(held->file.get(), partialPath, package); !signature) {
    return std::unexpected(signature.error());
  }
  // Renamed while still held: nobody can take the verified file between its check and its name.
  if (auto moved = move_open_file_into_place(held->file.get(), finalPath); !moved) {
    return std::unexpected(moved.error());
  }
  held->file.reset();
  report_download_progress(context, expectedSize);
  return finalPath;
}

std::expected<void, std::string> stage_packages(ComponentKind kind, std::string componentName,
                                                const std::vector<PackageDescriptor>& packages,
                                                StagedFiles& stagedFiles, const EventSender& events) {
  const auto folder = win::downloads_folder();
  if (!folder) return std::unexpected(folder.error());
  DownloadProgressContext context{0, 0, kind, std::move(componentName), events};
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
