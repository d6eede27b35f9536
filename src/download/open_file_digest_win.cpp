#include "download/open_file_digest.h"

#include <cstdint>
#include <vector>

#include "download/digest_text.h"
#include "win/os_error.h"
#include "win/sha256.h"

namespace velko {

std::expected<std::string, std::string> sha256_of_open_file(HANDLE file) {
  const std::string prefix = "读取校验文件失败：";
  const LARGE_INTEGER start{};
  if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return std::unexpected(prefix + win::last_error_text());
  auto hash = win::Sha256::create();
  if (!hash) return std::unexpected(prefix + win::os_error_text(hash.error()));
  std::vector<std::uint8_t> buffer(1 << 20);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
      return std::unexpected(prefix + win::last_error_text());
    }
    if (read == 0) break;
    if (auto fed = hash->update(std::span(buffer.data(), read)); !fed) {
      return std::unexpected(prefix + win::os_error_text(fed.error()));
    }
  }
  const auto digest = hash->finish();
  if (!digest) return std::unexpected(prefix + win::os_error_text(digest.error()));
  return digest_text(*digest);
}

}  // namespace velko
