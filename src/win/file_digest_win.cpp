#include "win/file_digest.h"

#include <optional>
#include <vector>

#include "common/digest_text.h"
#include "win/block_pipeline.h"
#include "win/os_error.h"
#include "win/sha256.h"
#include "win/unique_any.h"
#include "win/wide.h"
#include "win/worker_thread.h"

namespace velko::win {

namespace {

constexpr char kHashFailure[] = "读取校验文件失败：";
constexpr DWORD kBlockBytes = 1 << 20;
constexpr std::size_t kWorkerStackBytes = 256 * 1024;  // the thread only reads and hashes

bool rewind(HANDLE file) {
  const LARGE_INTEGER start{};
  return ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
}

// Reads the file from its position to its end through `hash`.
std::expected<void, std::string> stream_file(HANDLE file, Sha256& hash) {
  std::vector<std::uint8_t> buffer(kBlockBytes);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file, buffer.data(), kBlockBytes, &read, nullptr)) {
      return std::unexpected(kHashFailure + last_error_text());
    }
    if (read == 0) return {};
    if (auto fed = hash.update(std::span(buffer.data(), read)); !fed) {
      return std::unexpected(kHashFailure + os_error_text(fed.error()));
    }
  }
}

std::expected<std::string, std::string> finish_text(Sha256& hash) {
  const auto digest = hash.finish();
  if (!digest) return std::unexpected(kHashFailure + os_error_text(digest.error()));
  return digest_text(*digest);
}

}  // namespace

std::expected<void, std::string> hash_open_file(HANDLE file, Sha256& hash) {
  if (!rewind(file)) return std::unexpected(kHashFailure + last_error_text());
  return stream_file(file, hash);
}

std::expected<std::string, std::string> sha256_of_open_file(HANDLE file) {
  auto hash = Sha256::create();
  if (!hash) return std::unexpected(kHashFailure + os_error_text(hash.error()));
  if (auto fed = hash_open_file(file, *hash); !fed) return std::unexpected(std::move(fed.error()));
  return finish_text(*hash);
}

std::expected<std::string, std::string> sha256_of_open_file_beside(HANDLE file, const std::function<void()>& alongside) {
  // Opened from the handle, not the path: nothing can be swapped in between.
  const unique_file second(::ReOpenFile(file, GENERIC_READ, FILE_SHARE_READ, FILE_FLAG_SEQUENTIAL_SCAN));
  std::optional<std::expected<std::string, std::string>> digest;
  // Joined on every way out, so the thread never outlives what it writes to.
  struct Joined {
    unique_handle thread;
    ~Joined() {
      if (thread) ::WaitForSingleObject(thread.get(), INFINITE);
    }
  } joined;
  if (second) {
    auto started = start_joinable_worker([&] { digest = sha256_of_open_file(second.get()); }, kWorkerStackBytes);
    if (started) joined.thread = std::move(*started);
  }
  alongside();
  if (!joined.thread) return sha256_of_open_file(file);
  if (::WaitForSingleObject(joined.thread.get(), INFINITE) != WAIT_OBJECT_0 || !digest) {
    return std::unexpected(kHashFailure + last_error_text());
  }
  return std::move(*digest);
}

std::expected<std::string, std::string> copy_hashing(HANDLE source, HANDLE target, std::string_view copyFailure) {
  auto hash = Sha256::create();
  if (!hash) return std::unexpected(kHashFailure + os_error_text(hash.error()));
  if (!rewind(source)) return std::unexpected(std::string(copyFailure) + last_error_text());
  // The hash runs here while a second thread writes the block before: the copy takes about as
  // long as one verifying read.
  BlockPipeline writes([&](std::span<const std::uint8_t> block) -> std::expected<void, std::string> {
    DWORD written = 0;
    if (!::WriteFile(target, block.data(), static_cast<DWORD>(block.size()), &written, nullptr)) {
      return std::unexpected(std::string(copyFailure) + last_error_text());
    }
    if (written != block.size()) return std::unexpected(std::string(copyFailure) + os_error_text(ERROR_WRITE_FAULT));
    return {};
  });
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(source, writes.space(), writes.room(), &read, nullptr)) {
      const std::string failed = std::string(copyFailure) + last_error_text();
      (void)writes.finish();
      return std::unexpected(failed);
    }
    if (read == 0) break;
    if (auto fed = hash->update(std::span<const std::uint8_t>(writes.space(), read)); !fed) {
      (void)writes.finish();
      return std::unexpected(kHashFailure + os_error_text(fed.error()));
    }
    if (auto handed = writes.add(read); !handed) return std::unexpected(std::move(handed.error()));
  }
  if (auto written = writes.finish(); !written) return std::unexpected(std::move(written.error()));
  return finish_text(*hash);
}

std::expected<std::string, std::string> sha256_of_file(const std::string& path) {
  unique_file file(::CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return os_failure("读取校验文件失败：", static_cast<std::uint32_t>(::GetLastError()));
  return sha256_of_open_file(file.get());
}

std::expected<std::string, std::string> sha256_of_bytes(std::span<const std::uint8_t> bytes) {
  constexpr const char* kPrefix = "计算 SHA256 失败：";
  auto hash = Sha256::create();
  if (!hash) return os_failure(kPrefix, hash.error());
  if (auto fed = hash->update(bytes); !fed) return os_failure(kPrefix, fed.error());
  const auto digest = hash->finish();
  if (!digest) return os_failure(kPrefix, digest.error());
  return digest_text(*digest);
}

}  // namespace velko::win
