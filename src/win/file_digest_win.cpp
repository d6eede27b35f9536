#include "win/file_digest.h"

#include <vector>

#include "common/digest_text.h"
#include "win/os_error.h"
#include "win/sha256.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::win {

std::expected<std::string, std::string> sha256_of_open_file(HANDLE file) {
  const std::string prefix = "读取校验文件失败：";
  const LARGE_INTEGER start{};
  if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return std::unexpected(prefix + last_error_text());
  auto hash = Sha256::create();
  if (!hash) return std::unexpected(prefix + os_error_text(hash.error()));
  std::vector<std::uint8_t> buffer(1 << 20);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
      return std::unexpected(prefix + last_error_text());
    }
    if (read == 0) break;
    if (auto fed = hash->update(std::span(buffer.data(), read)); !fed) {
      return std::unexpected(prefix + os_error_text(fed.error()));
    }
  }
  const auto digest = hash->finish();
  if (!digest) return std::unexpected(prefix + os_error_text(digest.error()));
  return digest_text(*digest);
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
