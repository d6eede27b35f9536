// THROW-AWAY: stand-ins for the download subsystem until it lands.
#include <windows.h>
#include <bcrypt.h>

#include "install/pending_interfaces.h"
#include "win/system_library.h"

namespace velko {

std::string sha256_of_memory(const void* data, std::size_t size) {
  using Open = NTSTATUS WINAPI(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
  using Create = NTSTATUS WINAPI(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG);
  using Hash = NTSTATUS WINAPI(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
  using Finish = NTSTATUS WINAPI(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
  auto* open = win::system_function<Open>(L"bcrypt.dll", "BCryptOpenAlgorithmProvider");
  auto* create = win::system_function<Create>(L"bcrypt.dll", "BCryptCreateHash");
  auto* hash = win::system_function<Hash>(L"bcrypt.dll", "BCryptHashData");
  auto* finish = win::system_function<Finish>(L"bcrypt.dll", "BCryptFinishHash");
  BCRYPT_ALG_HANDLE alg{};
  BCRYPT_HASH_HANDLE h{};
  if (!open || open(&alg, L"SHA256", nullptr, 0) != 0 || create(alg, &h, nullptr, 0, nullptr, 0, 0) != 0) return {};
  hash(h, static_cast<PUCHAR>(const_cast<void*>(data)), static_cast<ULONG>(size), 0);
  unsigned char out[32];
  finish(h, out, 32, 0);
  static const char* hex = "0123456789ABCDEF";
  std::string text;
  for (unsigned char c : out) {
    text.push_back(hex[c >> 4]);
    text.push_back(hex[c & 15]);
  }
  return text;
}

std::expected<void, std::string> stage_packages(ComponentKind, const std::vector<PackageDescriptor>&, StagedFiles&,
                                                const EventSender&) {
  return std::unexpected(std::string("下载尚未实现。"));
}

}  // namespace velko
