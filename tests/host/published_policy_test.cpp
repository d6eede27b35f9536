// The release folder written by tools/release/publish_release.py, read back by the product's
// own policy checks: what the maker publishes is what the installer accepts.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "build_config.h"
#include "policy/bootstrap_policy.h"

namespace velko {
namespace {

namespace fs = std::filesystem;

std::string read_all(const fs::path& path) {
  std::ifstream input(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
}

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

class PublishedPolicyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "published-policy-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the publishing command; its exit code.
  int publish(const std::string& content, const std::string& version, const std::string& extra = "") {
    const fs::path installer = dir_ / "setup.exe";
    std::ofstream(installer, std::ios::binary | std::ios::trunc) << content;
    const std::string command = "python3 " + quoted(std::string(VELKO_SOURCE_DIR) + "/tools/release/publish_release.py") +
                                " " + quoted(installer.string()) + " " + quoted(version) + " " +
                                quoted((dir_ / "release").string()) + " " + extra + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string policy_body() const { return read_all(dir_ / "release" / "v1" / "bootstrap"); }

  fs::path dir_;
};

const InstallerSizeProbe kNoProbe = [](const std::string& address) -> std::expected<std::uint32_t, std::string> {
  ADD_FAILURE() << "the published policy should carry installerBytes, probed " << address;
  return std::unexpected("probe");
};

TEST_F(PublishedPolicyTest, ProductAcceptsThePublishedPolicyForItsOwnHost) {
  const std::string content = "MZ\x90\x00 stand-in installer " + std::string(5000, 'x');
  ASSERT_EQ(publish(content, "1.4.2", "--min-supported 1.0.0"), 0);

  // No --host: the default must be the host this build talks to.
  const auto accepted = accept_policy_body(policy_body(), build::kDownloadServiceHost, kNoProbe);
  ASSERT_TRUE(accepted.has_value()) << accepted.error();
  EXPECT_EQ(accepted->latestVersion, "1.4.2");
  EXPECT_EQ(accepted->downloadUrl, std::string("https://") + build::kDownloadServiceHost +
                                       "/v1/downloads/VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.4.2.exe");
  EXPECT_EQ(accepted->installerBytes, content.size());
  EXPECT_EQ(accepted->updateSha256.size(), 64u);
  // Upper case as written, so the stored text is the published text.
  EXPECT_NE(policy_body().find("\"" + accepted->updateSha256 + "\""), std::string::npos);
  EXPECT_EQ(read_all(dir_ / "release" / "v1" / "downloads" / "VelkoTarn工作台-Setup-v1.4.2.exe"), content);
}

TEST_F(PublishedPolicyTest, PolicyForAnotherHostIsRefusedByTheProduct) {
  ASSERT_EQ(publish("MZ", "2.0.0", "--host 127.0.0.21"), 0);
  const auto decoded = decode_bootstrap_policy(policy_body());
  ASSERT_TRUE(decoded.has_value()) << decoded.error();
  EXPECT_EQ(decoded->minSupportedVersion, "2.0.0");
  EXPECT_EQ(decoded->installerBytes, 2u);
  EXPECT_TRUE(accept_policy_body(policy_body(), "127.0.0.21", kNoProbe).has_value());
  EXPECT_FALSE(accept_policy_body(policy_body(), "download.velkotarn.com", kNoProbe).has_value());
}

TEST_F(PublishedPolicyTest, RefusedReleaseWritesNoPolicy) {
  EXPECT_EQ(publish("MZ", "1.2"), 2);
  EXPECT_EQ(publish("", "1.2.3"), 2);
  EXPECT_EQ(publish("MZ", "1.2.3", "--min-supported 1.2.4"), 2);
  EXPECT_FALSE(fs::exists(dir_ / "release" / "v1" / "bootstrap"));
}

}  // namespace
}  // namespace velko
