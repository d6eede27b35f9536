#include "download/publisher_signature.h"

#include <vector>

#include "win/authenticode.h"
#include "win/os_error.h"
#include "win/sha256.h"
#include "win/temporary_file.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

constexpr char kCheckFailed[] = "检查安装包签名失败：";

// True when the file is signed by one of `pinned`, false when it must not run; the failure text
// when the system cannot tell.
std::expected<bool, std::string> signed_by_pinned_key(HANDLE file, const std::string& path,
                                                      std::span<const PublisherKey> pinned) {
  const auto chain = win::verified_signature_chain(file, path);
  if (!chain) {
    if (chain.error() == ERROR_PROC_NOT_FOUND) return win::os_failure(kCheckFailed, chain.error());
    return false;
  }
  const std::vector<std::span<const std::uint8_t>> certificates(chain->begin(), chain->end());
  const auto keyInfo = certificate_public_key_info(signer_certificate(certificates));
  if (!keyInfo) return false;
  auto hash = win::Sha256::create();
  if (!hash) return win::os_failure(kCheckFailed, hash.error());
  if (auto fed = hash->update(*keyInfo); !fed) return win::os_failure(kCheckFailed, fed.error());
  const auto key = hash->finish();
  if (!key) return win::os_failure(kCheckFailed, key.error());
  return is_pinned_key(*key, pinned);
}

}  // namespace

std::expected<void, std::string> check_publisher_signature(HANDLE file, const std::string& path,
                                                           std::span<const PublisherKey> pinned,
                                                           std::string_view refusal) {
  if (pinned.empty()) return {};
  const auto verdict = signed_by_pinned_key(file, path, pinned);
  if (!verdict) return std::unexpected(verdict.error());
  if (!*verdict) return std::unexpected(std::string(refusal));
  return {};
}

std::expected<void, std::string> check_staged_signature(HANDLE file, const std::string& path,
                                                        const PackageDescriptor& package) {
  if (package.publisherKeys.empty()) return {};
  const auto verdict = signed_by_pinned_key(file, path, package.publisherKeys);
  if (!verdict) return std::unexpected(verdict.error());
  if (!*verdict) {
    win::delete_when_closed(file);
    return std::unexpected(not_publisher_signed_text(package.fileName));
  }
  return {};
}

std::expected<void, std::string> check_staged_signature(const std::string& path, const PackageDescriptor& package) {
  if (package.publisherKeys.empty()) return {};
  win::unique_file file(::CreateFileW(win::wide(path).c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return win::os_failure(kCheckFailed, win::last_error());
  return check_staged_signature(file.get(), path, package);
}

}  // namespace velko
