#include "policy/download_address.h"

#include <gtest/gtest.h>

namespace velko {
namespace {

DownloadAddress parsed(std::string_view text) {
  const auto address = parse_download_address(text);
  EXPECT_TRUE(address) << text;
  return address.value_or(DownloadAddress{});
}

std::string failure(std::string_view text) {
  const auto address = parse_download_address(text);
  EXPECT_FALSE(address) << text;
  return address ? std::string() : address.error();
}

TEST(DownloadAddress, SchemesAndDefaultPorts) {
  EXPECT_EQ(parsed("https://host/a?b#c"), (DownloadAddress{"host", "/a?b#c", 443, true}));
  EXPECT_EQ(parsed("http://host"), (DownloadAddress{"host", "/", 80, false}));
  EXPECT_EQ(failure("HTTPS://host/a"), "下载地址必须是 HTTP 或 HTTPS。");
  EXPECT_EQ(failure("ftp://host/a"), "下载地址必须是 HTTP 或 HTTPS。");
}

TEST(DownloadAddress, Ports) {
  EXPECT_EQ(parsed("https://host:8443/v1/x").port, 8443);
  EXPECT_EQ(parsed("https://host:+443/a").port, 443);
  EXPECT_EQ(parsed("https://host:0/a").port, 0);
  EXPECT_EQ(parsed("http://127.0.0.3:8080/v1/downloads/a%20b").host, "127.0.0.3");
  EXPECT_EQ(failure("https://host:/a"), "下载地址端口无效。");
  EXPECT_EQ(failure("https://host:-1/a"), "下载地址端口无效。");
  EXPECT_EQ(failure("https://host:65536/a"), "下载地址端口无效。");
  EXPECT_EQ(failure("https://host:+/a"), "下载地址端口无效。");
  EXPECT_EQ(failure("https://host:99999999999999999999/a"), "下载地址端口无效。");
}

TEST(DownloadAddress, HostRules) {
  EXPECT_EQ(failure("https://:443/a"), "下载地址缺少服务器名称。");
  EXPECT_EQ(failure("https://:x/y"), "下载地址端口无效。");
  EXPECT_EQ(parsed("https://Host.Example?q/a").host, "Host.Example?q");
}

}  // namespace
}  // namespace velko
