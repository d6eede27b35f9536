#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace velko {

// A web address split the way WinHTTP needs it.
struct DownloadAddress {
  std::string host;          // as written: no case folding, no decoding
  std::string pathAndQuery;  // always begins with "/"; query and fragment unchanged
  std::uint16_t port = 0;    // as written, else 443 for https and 80 for http
  bool secure = false;       // https

  bool operator==(const DownloadAddress&) const = default;
};

inline constexpr char kInstallerPathPrefix[] = "/v1/downloads/";
inline constexpr char kPolicyAddressPath[] = "/v1/bootstrap?version=0.0.0&target=windows&arch=x86_64";

// "https://" or "http://" (lower case), authority up to the first "/", optional ":port".
// Messages: "下载地址必须是 HTTP 或 HTTPS。", "下载地址端口无效。", "下载地址缺少服务器名称。".
std::expected<DownloadAddress, std::string> parse_download_address(std::string_view text);

// "VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v{version}.exe": the installer's file name as it
// appears, percent-encoded, in its download address.
std::string installer_file_segment(std::string_view version);
// The only object name an installer address may have for `version`.
std::string installer_object_path(std::string_view version);
// "VelkoTarnWorkbench-Setup-v{version}.exe": the name the release's installer is kept under locally.
std::string workbench_installer_file_name(std::string_view version);

// Pins the installer to the download service: https, port 443, the service host (ASCII case
// ignored), no query or fragment, and exactly the installer path of `version`.
std::expected<void, std::string> check_installer_address(std::string_view address, std::string_view version,
                                                         std::string_view serviceHost);

// "https://{host}" + the policy path: the policy request's address.
std::string policy_address();

}  // namespace velko
