#include "policy/download_address.h"

namespace velko {

std::expected<DownloadAddress, std::string> parse_download_address(std::string_view text) {
  DownloadAddress address;
  std::string_view rest;
  if (text.starts_with("https://")) {
    address.secure = true;
    address.port = 443;
    rest = text.substr(8);
  } else if (text.starts_with("http://")) {
    address.port = 80;
    rest = text.substr(7);
  } else {
    return std::unexpected("下载地址必须是 HTTP 或 HTTPS。");
  }

  const std::size_t slash = rest.find('/');
  const std::string_view authority = rest.substr(0, slash);
  address.pathAndQuery = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));

  const std::size_t colon = authority.rfind(':');
  if (colon == std::string_view::npos) {
    address.host = std::string(authority);
  } else {
    address.host = std::string(authority.substr(0, colon));
    std::string_view port = authority.substr(colon + 1);
    if (port.starts_with('+')) port.remove_prefix(1);
    if (port.empty()) return std::unexpected("下载地址端口无效。");
    std::uint32_t value = 0;
    for (const char c : port) {
      if (c < '0' || c > '9') return std::unexpected("下载地址端口无效。");
      value = value * 10 + static_cast<std::uint32_t>(c - '0');
      if (value > 65535) return std::unexpected("下载地址端口无效。");
    }
    address.port = static_cast<std::uint16_t>(value);
  }
  if (address.host.empty()) return std::unexpected("下载地址缺少服务器名称。");
  return address;
}

}  // namespace velko
