#include "win/sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <type_traits>
#include <utility>

#include "win/system_library.h"

namespace velko::win {
namespace {

using NtStatusToDosError = ULONG WINAPI(LONG);

// The CNG entry points and one SHA-256 provider, shared by every hash of the process
// (a CNG algorithm handle may be used from any thread).
struct Cng {
  decltype(&::BCryptOpenAlgorithmProvider) openProvider = nullptr;
  decltype(&::BCryptCreateHash) createHash = nullptr;
  decltype(&::BCryptHashData) hashData = nullptr;
  decltype(&::BCryptFinishHash) finishHash = nullptr;
  decltype(&::BCryptDestroyHash) destroyHash = nullptr;
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  std::uint32_t failure = 0;
};

std::uint32_t status_error(NTSTATUS status) {
  static NtStatusToDosError* const toDosError = system_function<NtStatusToDosError>(L"ntdll.dll", "RtlNtStatusToDosError");
  if (toDosError == nullptr) return ERROR_GEN_FAILURE;
  const ULONG code = toDosError(status);
  return code == 0 ? ERROR_GEN_FAILURE : code;
}

const Cng& cng() {
  static const Cng loaded = [] {
    Cng c;
    c.openProvider = system_function<std::remove_pointer_t<decltype(c.openProvider)>>(L"bcrypt.dll", "BCryptOpenAlgorithmProvider");
    c.createHash = system_function<std::remove_pointer_t<decltype(c.createHash)>>(L"bcrypt.dll", "BCryptCreateHash");
    c.hashData = system_function<std::remove_pointer_t<decltype(c.hashData)>>(L"bcrypt.dll", "BCryptHashData");
    c.finishHash = system_function<std::remove_pointer_t<decltype(c.finishHash)>>(L"bcrypt.dll", "BCryptFinishHash");
    c.destroyHash = system_function<std::remove_pointer_t<decltype(c.destroyHash)>>(L"bcrypt.dll", "BCryptDestroyHash");
    if (!c.openProvider || !c.createHash || !c.hashData || !c.finishHash || !c.destroyHash) {
      c.failure = ERROR_PROC_NOT_FOUND;
      return c;
    }
    const NTSTATUS status = c.openProvider(&c.algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    if (!BCRYPT_SUCCESS(status)) {
      c.algorithm = nullptr;
      c.failure = status_error(status);
    }
    return c;
  }();
  return loaded;
}

}  // namespace

std::expected<Sha256, std::uint32_t> Sha256::create() {
  const Cng& c = cng();
  if (c.failure != 0) return std::unexpected(c.failure);
  BCRYPT_HASH_HANDLE hash = nullptr;
  const NTSTATUS status = c.createHash(c.algorithm, &hash, nullptr, 0, nullptr, 0, 0);
  if (!BCRYPT_SUCCESS(status)) return std::unexpected(status_error(status));
  return Sha256(hash);
}

Sha256::Sha256(Sha256&& other) noexcept : hash_(std::exchange(other.hash_, nullptr)) {}

Sha256& Sha256::operator=(Sha256&& other) noexcept {
  if (this != &other) {
    if (hash_ != nullptr) cng().destroyHash(hash_);
    hash_ = std::exchange(other.hash_, nullptr);
  }
  return *this;
}

Sha256::~Sha256() {
  if (hash_ != nullptr) cng().destroyHash(hash_);
}

std::expected<void, std::uint32_t> Sha256::update(std::span<const std::uint8_t> bytes) {
  if (hash_ == nullptr) return std::unexpected(static_cast<std::uint32_t>(ERROR_INVALID_HANDLE));
  // BCryptHashData takes a 32-bit length; feed larger spans in pieces.
  while (!bytes.empty()) {
    const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(bytes.size(), 0x40000000));
    const NTSTATUS status = cng().hashData(hash_, const_cast<PUCHAR>(bytes.data()), piece, 0);
    if (!BCRYPT_SUCCESS(status)) return std::unexpected(status_error(status));
    bytes = bytes.subspan(piece);
  }
  return {};
}

std::expected<Sha256::Digest, std::uint32_t> Sha256::finish() {
  if (hash_ == nullptr) return std::unexpected(static_cast<std::uint32_t>(ERROR_INVALID_HANDLE));
  Digest digest{};
  const NTSTATUS status = cng().finishHash(hash_, digest.data(), static_cast<ULONG>(digest.size()), 0);
  cng().destroyHash(std::exchange(hash_, nullptr));
  if (!BCRYPT_SUCCESS(status)) return std::unexpected(status_error(status));
  return digest;
}

}  // namespace velko::win
