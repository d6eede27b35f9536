// A release written by the publishing command, served as plain files: once by the Python
// service and once by stock nginx with the repository's site configuration. The requests the
// product makes (policy, size probe, resumed download) must get exactly the answers it relies on.
#include <windows.h>

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "detect/install_manifest.h"
#include "download/staging.h"
#include "download/staging_rules.h"
#include "policy/download_address.h"
#include "policy/policy_fetch.h"
#include "state/bootstrap_state.h"
#include "support/scoped_temp_dir.h"
#include "support/test_service.h"
#include "win/file_digest.h"

namespace velko {
namespace {

using test::read_file;
using test::TestService;

constexpr char kVersion[] = "2.0.1";
constexpr char kPolicyTarget[] = "/v1/bootstrap?version=0.0.0&target=windows&arch=x86_64";

std::string address_of(const std::string& version) {
  return "https://" + TestService::host() + "/v1/downloads/VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v" + version +
         ".exe";
}

std::string installer_bytes() {
  std::string bytes(3'000'000, '\0');
  std::uint32_t x = 0x9E3779B9u;
  for (char& c : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return bytes;
}

class PublishedRelease : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    TestService::reset();
    TestService::use_backend(GetParam());
    TestService::publish(installer_, kVersion);
    ASSERT_FALSE(HasFailure());
    const auto digest =
        win::sha256_of_bytes(std::span(reinterpret_cast<const std::uint8_t*>(installer_.data()), installer_.size()));
    ASSERT_TRUE(digest);
    digest_ = *digest;
  }
  void TearDown() override { TestService::reset(); }

  const std::string installer_ = installer_bytes();
  std::string digest_;
  test::ScopedTempDir temp_;
  test::ScopedEnvironment programData_{"VELKO_TEST_PROGRAM_DATA", temp_.path()};
};

TEST_P(PublishedRelease, PolicyIsAcceptedAndHeadGivesTheSize) {
  const auto policy = fetch_release_policy();
  ASSERT_TRUE(policy) << policy.error();
  EXPECT_EQ(*policy, (ReleasePolicy{kVersion, address_of(kVersion), digest_, static_cast<std::uint32_t>(installer_.size())}));
  const auto gets = TestService::requests("GET");
  ASSERT_EQ(gets.size(), 1u);
  EXPECT_EQ(gets[0].target, kPolicyTarget);

  EXPECT_EQ(probe_installer_size(address_of(kVersion)), installer_.size());
  EXPECT_EQ(TestService::requests("HEAD").size(), 1u);
  EXPECT_EQ(probe_installer_size(address_of("2.0.2")),
            std::unexpected(std::string("安装包服务器返回 HTTP 404。"))) << "an unpublished version";
}

TEST_P(PublishedRelease, APartialFileIsResumedWithOneRange) {
  const std::string fileName = workbench_installer_file_name(kVersion);
  const std::string downloads = temp_.join("VelkoInstaller\\downloads");
  test::make_directories(downloads);
  constexpr std::size_t kKept = 1'234'567;
  test::write_file(downloads + "\\" + partial_file_name(fileName), installer_.substr(0, kKept));

  StagedFiles staged;
  auto [sender, receiver] = make_event_channel();
  const auto result = stage_packages(ComponentKind::Workbench, component_display_name(ComponentKind::Workbench, kVersion),
                                     {PackageDescriptor{fileName, address_of(kVersion), digest_, installer_.size()}},
                                     staged, sender);
  ASSERT_TRUE(result) << result.error();
  EXPECT_EQ(read_file(downloads + "\\" + fileName), installer_);
  const auto gets = TestService::requests("GET");
  ASSERT_EQ(gets.size(), 1u);
  EXPECT_EQ(gets[0].range, "bytes=" + std::to_string(kKept) + "-");
  EXPECT_EQ(gets[0].userAgent, "VelkoOnlineInstaller/1.0.0");
}

INSTANTIATE_TEST_SUITE_P(Service, PublishedRelease, ::testing::Values("python", "nginx"), test::backend_test_name);

}  // namespace
}  // namespace velko
