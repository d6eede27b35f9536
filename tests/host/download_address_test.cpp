#include "policy/download_address.h"

#include <gtest/gtest.h>

namespace velko {
namespace {

constexpr char kNotHttp[] = "下载地址必须是 HTTP 或 HTTPS。";
constexpr char kBadPort[] = "下载地址端口无效。";
constexpr char kNoHost[] = "下载地址缺少服务器名称。";
constexpr char kDomain[] = "正式安装包地址必须使用Velko HTTPS 下载域名。";
constexpr char kMismatch[] = "正式安装包地址与最新版本号不匹配。";
constexpr char kHost[] = "download.velkotarn.com";
constexpr char kPath[] = "/v1/downloads/VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.4.2.exe";

std::expected<DownloadAddress, std::string> error(const char* text) { return std::unexpected(text); }

TEST(DownloadAddress, SchemesAreExactLowerCase) {
  EXPECT_EQ(parse_download_address("HTTPS://host/a"), error(kNotHttp));
  EXPECT_EQ(parse_download_address("ftp://host/a"), error(kNotHttp));
  EXPECT_EQ(parse_download_address("Http://host/a"), error(kNotHttp));
  EXPECT_EQ(parse_download_address("https:/host/a"), error(kNotHttp));
  EXPECT_EQ(parse_download_address(""), error(kNotHttp));
  EXPECT_EQ(parse_download_address("http://host"), (DownloadAddress{"host", "/", 80, false}));
  EXPECT_EQ(parse_download_address("https://host"), (DownloadAddress{"host", "/", 443, true}));
}

TEST(DownloadAddress, PathAndQueryAreKeptUnchanged) {
  EXPECT_EQ(parse_download_address("https://Host.Example/v1/x?a=1#f"),
            (DownloadAddress{"Host.Example", "/v1/x?a=1#f", 443, true}));
  // A "?" or "#" before the first "/" belongs to the authority.
  EXPECT_EQ(parse_download_address("https://host?x/y"), (DownloadAddress{"host?x", "/y", 443, true}));
  EXPECT_EQ(parse_download_address("https://host/"), (DownloadAddress{"host", "/", 443, true}));
  EXPECT_EQ(parse_download_address("https://h%41st/%E5"), (DownloadAddress{"h%41st", "/%E5", 443, true}));
}

TEST(DownloadAddress, Ports) {
  EXPECT_EQ(parse_download_address("https://host:8443/v1/x"), (DownloadAddress{"host", "/v1/x", 8443, true}));
  EXPECT_EQ(parse_download_address("https://host:+443/a"), (DownloadAddress{"host", "/a", 443, true}));
  EXPECT_EQ(parse_download_address("https://host:0/a"), (DownloadAddress{"host", "/a", 0, true}));
  EXPECT_EQ(parse_download_address("http://host:65535/a"), (DownloadAddress{"host", "/a", 65535, false}));
  EXPECT_EQ(parse_download_address("https://host:00443/a"), (DownloadAddress{"host", "/a", 443, true}));
  for (const char* text : {"https://host:/a", "https://host:-1/a", "https://host:65536/a", "https://host:+/a",
                           "https://host:4 43/a", "https://host:443x/a", "https://host:99999999999999999999/a",
                           "https://host:++1/a"}) {
    EXPECT_EQ(parse_download_address(text), error(kBadPort)) << text;
  }
  // The last ":" separates the port.
  EXPECT_EQ(parse_download_address("https://a:b:443/x"), (DownloadAddress{"a:b", "/x", 443, true}));
}

TEST(DownloadAddress, MissingHostComesAfterThePortRule) {
  EXPECT_EQ(parse_download_address("https://:443/a"), error(kNoHost));
  EXPECT_EQ(parse_download_address("https:///a"), error(kNoHost));
  EXPECT_EQ(parse_download_address("http://"), error(kNoHost));
  EXPECT_EQ(parse_download_address("https://:x/y"), error(kBadPort));
}

std::expected<void, std::string> check(const std::string& address, const char* version = "1.4.2") {
  return check_installer_address(address, version, kHost);
}

TEST(InstallerAddress, TheOnlyAcceptedAddress) {
  EXPECT_TRUE(check(std::string("https://") + kHost + kPath));
  EXPECT_TRUE(check(std::string("https://DOWNLOAD.VelkoTarn.COM") + kPath));
  EXPECT_TRUE(check(std::string("https://") + kHost + ":443" + kPath));
  EXPECT_TRUE(check(std::string("https://") + kHost + ":+443" + kPath));
  EXPECT_EQ(installer_object_path("1.4.2"), kPath);
}

TEST(InstallerAddress, ParserMessagesPassUnchanged) {
  EXPECT_EQ(check(std::string("ftp://") + kHost + kPath), std::unexpected<std::string>(kNotHttp));
  EXPECT_EQ(check(std::string("https://") + kHost + ":x" + kPath), std::unexpected<std::string>(kBadPort));
  EXPECT_EQ(check(std::string("https://:443") + kPath), std::unexpected<std::string>(kNoHost));
}

TEST(InstallerAddress, DomainRule) {
  for (const std::string& address : {
           std::string("https://") + kHost + ":8443" + kPath,
           std::string("http://") + kHost + kPath,
           std::string("https://other.example") + kPath,
           std::string("https://") + kHost + "." + kPath,
           std::string("https://") + kHost + kPath + "?sig=1",
           std::string("https://") + kHost + kPath + "#x",
           std::string("https://") + kHost + ":0" + kPath,
       }) {
    EXPECT_EQ(check(address), std::unexpected<std::string>(kDomain)) << address;
  }
}

TEST(InstallerAddress, VersionRule) {
  const std::string base = std::string("https://") + kHost;
  for (const std::string& path : {
           std::string("/v1/downloads/VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.4.3.exe"),
           std::string("/v1/downloads/VelkoTarn%e5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.4.2.exe"),
           std::string("/v1/downloads/VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.4.2.EXE"),
           std::string("/v1/downloads/VelkoTarn工作台-Setup-v1.4.2.exe"),
           std::string("/v1/downloads/VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.4.2.msi"),
           std::string("/v2/downloads/VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.4.2.exe"),
           std::string("/"),
       }) {
    EXPECT_EQ(check(base + path), std::unexpected<std::string>(kMismatch)) << path;
  }
}

TEST(PolicyAddress, ParsesToTheFixedRequest) {
  const auto address = parse_download_address(policy_address());
  ASSERT_TRUE(address);
  EXPECT_TRUE(address->secure);
  EXPECT_EQ(address->port, 443);
  EXPECT_EQ(address->pathAndQuery, "/v1/bootstrap?version=0.0.0&target=windows&arch=x86_64");
}

}  // namespace
}  // namespace velko
