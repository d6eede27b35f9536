// THROW-AWAY local stub until the download store lands.
#include <windows.h>
#include <bcrypt.h>
#include <vector>
#include "download/download_store.h"
#include "download/sha256_handle.h"
#include "common/win_path.h"
#include "win/os_error.h"
#include "win/system_library.h"
#include "win/unique_any.h"
#include "win/wide.h"
namespace velko {
std::string program_data_folder() {
  wchar_t buffer[32768];
  DWORD n = ::GetEnvironmentVariableW(L"ProgramData", buffer, 32768);
  if (n == 0 || n >= 32768) return "C:\\ProgramData";
  return win::narrow(std::wstring_view(buffer, n));
}
std::string installer_data_folder() { return path_join(program_data_folder(), "VelkoInstaller"); }
std::expected<std::string, std::string> downloads_folder() { return path_join(installer_data_folder(), "downloads"); }
std::expected<std::string, std::string> sha256_of_open_file(HANDLE file) {
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
  if (!open || open(&alg, L"SHA256", nullptr, 0) != 0 || create(alg, &h, nullptr, 0, nullptr, 0, 0) != 0)
    return std::unexpected(std::string("hash failed"));
  std::vector<unsigned char> buf(65536);
  LARGE_INTEGER zero{};
  ::SetFilePointerEx(file, zero, nullptr, FILE_BEGIN);
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file, buf.data(), 65536, &read, nullptr)) return std::unexpected("读取失败：" + win::last_error_text());
    if (read == 0) break;
    hash(h, buf.data(), read, 0);
  }
  unsigned char out[32];
  finish(h, out, 32, 0);
  static const char* hex = "0123456789ABCDEF";
  std::string text;
  for (unsigned char c : out) { text.push_back(hex[c >> 4]); text.push_back(hex[c & 15]); }
  return text;
}
std::expected<std::string, std::string> sha256_of_file(const std::string& path) {
  win::unique_file f(::CreateFileW(win::wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!f) return std::unexpected("打开失败：" + win::last_error_text());
  return sha256_of_open_file(f.get());
}
std::expected<void, std::string> move_into_place(const std::string& from, const std::string& to) {
  if (!::MoveFileExW(win::wide(from).c_str(), win::wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return std::unexpected("移动失败：" + win::last_error_text());
  return {};
}
}
