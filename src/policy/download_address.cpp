#include "policy/download_address.h"

#include "build_config.h"
#include "common/utf.h"

namespace velko {
namespace {

constexpr char kNotHttp[] = "下载地址必须是 HTTP 或 HTTPS。";
constexpr char kBadPort[] = "下载地址端口无效。";
constexpr char kNoHost[] = "下载地址缺少服务器名称。";
constexpr char kNotServiceDomain[] = "正式安装包地址必须使用Velko HTTPS 下载域名。";
constexpr char kVersionMismatch[] = "正式安装包地址与最新版本号不匹配。";

// An optional "+" and one or more digits, at most 65535.
bool parse_port(std::string_view text, std::uint16_t& port) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  std::uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
    if (value > 65535) return false;
  }
  port = static_cast<std::uint16_t>(value);
  return true;
}

}  // namespace

std::expected<DownloadAddress, std::string> parse_download_address(std::string_view text) {
  DownloadAddress address;
  std::string_view rest;
  if (text.starts_with("https://")) {
    address.secure = true;
    address.port = 443;
    rest = text.substr(8);
  } else if (text.starts_with("http://")) {
    address.secure = false;
    address.port = 80;
    rest = text.substr(7);
  } else {
    return std::unexpected(kNotHttp);
  }
  const std::size_t slash = rest.find('/');
  const std::string_view authority = rest.substr(0, slash);
  address.pathAndQuery = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
  const std::size_t colon = authority.rfind(':');
  if (colon == std::string_view::npos) {
    address.host = authority;
  } else {
    address.host = authority.substr(0, colon);
    if (!parse_port(authority.substr(colon + 1), address.port)) return std::unexpected(kBadPort);
  }
  if (address.host.empty()) return std::unexpected(kNoHost);
  return address;
}

std::string installer_file_segment(std::string_view version) {
  return "VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v" + std::string(version) + ".exe";
}

std::string workbench_installer_file_name(std::string_view version) {
  return "VelkoTarnWorkbench-Setup-v" + std::string(version) + ".exe";
}

std::string installer_object_path(std::string_view version) {
  return kInstallerPathPrefix + installer_file_segment(version);
}

std::expected<void, std::string> check_installer_address(std::string_view address, std::string_view version,
                                                         std::string_view serviceHost) {
  const auto parsed = parse_download_address(address);
  if (!parsed) return std::unexpected(parsed.error());
  if (!parsed->secure || parsed->port != 443 || !equal_ignoring_ascii_case(parsed->host, serviceHost) ||
      parsed->pathAndQuery.find_first_of("?#") != std::string::npos) {
    return std::unexpected(kNotServiceDomain);
  }
  if (parsed->pathAndQuery != installer_object_path(version)) return std::unexpected(kVersionMismatch);
  return {};
}

std::string policy_address() { return std::string("https://") + build::kDownloadServiceHost + kPolicyAddressPath; }

}  // namespace velko
