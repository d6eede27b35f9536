#include "win/file_digest.h"

#include <vector>

#include "common/digest_text.h"
#include "win/os_error.h"
#include "win/sha256.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::win {

namespace {

constexpr char kHashFailure[] = "读取校验文件失败：";
constexpr DWORD kBlockBytes = 1 << 20;

bool rewind(HANDLE file) {
  const LARGE_INTEGER start{};
  return ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
}

// Reads the file through `hash`, handing every block read to `sink` as well.
template <typename Sink>
std::expected<void, std::string> stream_file(HANDLE file, Sha256& hash, std::string_view readFailure, Sink&& sink) {
  std::vector<std::uint8_t> buffer(kBlockBytes);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file, buffer.data(), kBlockBytes, &read, nullptr)) {
      return std::unexpected(std::string(readFailure) + last_error_text());
    }
    if (read == 0) return {};
    const std::span block(buffer.data(), read);
    if (auto fed = hash.update(block); !fed) return std::unexpected(kHashFailure + os_error_text(fed.error()));
    if (auto taken = sink(block); !taken) return taken;
  }
}

std::expected<std::string, std::string> finish_text(Sha256& hash) {
  const auto digest = hash.finish();
  if (!digest) return std::unexpected(kHashFailure + os_error_text(digest.error()));
  return digest_text(*digest);
}

std::expected<void, std::string> no_sink(std::span<const std::uint8_t>) { return {}; }

}  // namespace

std::expected<void, std::string> hash_open_file(HANDLE file, Sha256& hash) {
  if (!rewind(file)) return std::unexpected(kHashFailure + last_error_text());
  return stream_file(file, hash, kHashFailure, no_sink);
}

std::expected<std::string, std::string> sha256_of_open_file(HANDLE file) {
  auto hash = Sha256::create();
  if (!hash) return std::unexpected(kHashFailure + os_error_text(hash.error()));
  if (auto fed = hash_open_file(file, *hash); !fed) return std::unexpected(std::move(fed.error()));
  return finish_text(*hash);
}

std::expected<std::string, std::string> copy_hashing(HANDLE source, HANDLE target, std::string_view copyFailure) {
  auto hash = Sha256::create();
  if (!hash) return std::unexpected(kHashFailure + os_error_text(hash.error()));
  if (!rewind(source)) return std::unexpected(std::string(copyFailure) + last_error_text());
  const auto write = [&](std::span<const std::uint8_t> block) -> std::expected<void, std::string> {
    DWORD written = 0;
    if (!::WriteFile(target, block.data(), static_cast<DWORD>(block.size()), &written, nullptr)) {
      return std::unexpected(std::string(copyFailure) + last_error_text());
    }
    if (written != block.size()) return std::unexpected(std::string(copyFailure) + os_error_text(ERROR_WRITE_FAULT));
    return {};
  };
  if (auto copied = stream_file(source, *hash, copyFailure, write); !copied) return std::unexpected(std::move(copied.error()));
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
