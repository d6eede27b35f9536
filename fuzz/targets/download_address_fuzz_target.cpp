// Download addresses: the first line of the input is the address, the second (when there is one)
// the release version it is checked against. The parser is compared with the address rule
// written out again here; whatever the installer-address check lets through is pinned to the
// service host, port 443 and the installer path of that version.

#include "fuzz_targets.h"
#include "policy/download_address.h"

namespace velko {
namespace {

constexpr std::string_view kHost = "download.velkotarn.com";

// The expected reading: the error text, or the parts.
std::expected<DownloadAddress, std::string> expected_reading(std::string_view text) {
  DownloadAddress address;
  if (text.substr(0, 8) == "https://") {
    address.secure = true;
    address.port = 443;
    text.remove_prefix(8);
  } else if (text.substr(0, 7) == "http://") {
    address.port = 80;
    text.remove_prefix(7);
  } else {
    return std::unexpected("下载地址必须是 HTTP 或 HTTPS。");
  }
  std::string_view authority = text;
  address.pathAndQuery = "/";
  if (const std::size_t slash = text.find('/'); slash != std::string_view::npos) {
    authority = text.substr(0, slash);
    address.pathAndQuery = text.substr(slash);
  }
  address.host = authority;
  if (const std::size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
    address.host = authority.substr(0, colon);
    std::string_view port = authority.substr(colon + 1);
    if (port.starts_with('+')) port.remove_prefix(1);
    if (port.empty() || port.find_first_not_of("0123456789") != std::string_view::npos) {
      return std::unexpected("下载地址端口无效。");
    }
    port.remove_prefix(std::min(port.find_first_not_of('0'), port.size()));
    if (port.size() > 5 || std::stoul("0" + std::string(port)) > 65535) return std::unexpected("下载地址端口无效。");
    address.port = static_cast<std::uint16_t>(std::stoul("0" + std::string(port)));
  }
  if (address.host.empty()) return std::unexpected("下载地址缺少服务器名称。");
  return address;
}

bool same_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

}  // namespace

int fuzz_download_address(const std::uint8_t* data, std::size_t size) {
  const auto parts = fuzz::lines(fuzz::as_text(data, size), 2);
  const std::string_view text = parts[0];
  const std::string_view version = parts.size() > 1 ? parts[1] : std::string_view("1.4.2");

  const auto parsed = parse_download_address(text);
  VELKO_FUZZ_CHECK(parsed == expected_reading(text));
  if (parsed) {
    VELKO_FUZZ_CHECK(parsed->pathAndQuery.starts_with('/'));
    VELKO_FUZZ_CHECK(parsed->host.find('/') == std::string::npos);
  }

  const auto checked = check_installer_address(text, version, kHost);
  if (!parsed) {
    VELKO_FUZZ_CHECK(!checked && checked.error() == parsed.error());
  } else if (checked) {
    VELKO_FUZZ_CHECK(parsed->secure && parsed->port == 443);
    VELKO_FUZZ_CHECK(same_ignoring_case(parsed->host, kHost));
    VELKO_FUZZ_CHECK(parsed->pathAndQuery ==
                     "/v1/downloads/VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v" + std::string(version) + ".exe");
  } else {
    VELKO_FUZZ_CHECK(checked.error() == "正式安装包地址必须使用Velko HTTPS 下载域名。" ||
                     checked.error() == "正式安装包地址与最新版本号不匹配。");
  }
  // The address the release publishing writes for a version always passes.
  VELKO_FUZZ_CHECK(check_installer_address("https://" + std::string(kHost) + installer_object_path(version), version,
                                           kHost)
                       .has_value() ||
                   std::string_view(version).find_first_of("?#") != std::string_view::npos);
  return 0;
}

}  // namespace velko
