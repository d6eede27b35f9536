// The policy request, the size probe and the policy worker against the live loopback service.
#include <windows.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "policy/download_address.h"
#include "policy/policy_fetch.h"
#include "state/bootstrap_state.h"
#include "state/policy_check.h"
#include "support/test_service.h"

namespace velko {
namespace {

using test::TestService;

constexpr char kPolicyTarget[] = "/v1/bootstrap?version=0.0.0&target=windows&arch=x86_64";
constexpr char kInstallerName[] = "VelkoTarn工作台-Setup-v1.4.2.exe";
constexpr char kInstallerPath[] = "/v1/downloads/VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.4.2.exe";
constexpr char kSha[] = "abcdef0123456789abcdef0123456789abcdef0123456789abcdef0123456789";
constexpr char kShaUpper[] = "ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789";
constexpr char kConnectPrefix[] = "连接正式更新服务失败：";

std::string installer_url() { return "https://" + TestService::host() + kInstallerPath; }

// A valid policy for 1.4.2; `sizeMember` is the installerBytes member text, or "" for none.
std::string policy_json(const std::string& sizeMember = R"("installerBytes":5000,)") {
  return R"({"currentVersion":"0.0.0","minSupportedVersion":"1.0.0","latestVersion":"1.4.2",)"
         R"("downloadUrl":")" + installer_url() + R"(","updateSha256":")" + kSha + R"(",)" + sizeMember +
         R"("target":"windows","arch":"x86_64"})";
}

std::expected<ReleasePolicy, std::string> failure(const std::string& text) { return std::unexpected(text); }

class PolicyFetchTest : public ::testing::Test {
 protected:
  void SetUp() override { TestService::reset(); }
};

TEST_F(PolicyFetchTest, GoodPolicyWithSize) {
  TestService::set_policy(policy_json());
  EXPECT_EQ(fetch_release_policy(), (ReleasePolicy{"1.4.2", installer_url(), kShaUpper, 5000}));
  const auto requests = TestService::requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, kPolicyTarget);
  EXPECT_EQ(requests[0].userAgent, "VelkoOnlineInstaller/1.0.0");
  EXPECT_EQ(requests[0].range, "");
}

TEST_F(PolicyFetchTest, StatusOtherThan200) {
  for (int status : {204, 404, 503, 201}) {
    TestService::set_policy(policy_json(), status);
    const auto result = fetch_release_policy();
    ASSERT_FALSE(result) << status;
    EXPECT_EQ(result.error(), std::string(kConnectPrefix) + "更新策略服务器返回 HTTP " + std::to_string(status) + "。");
  }
}

TEST_F(PolicyFetchTest, BodyOfExactlyTheLimitIsDecodedOneMoreByteIsTooLarge) {
  TestService::set_policy(policy_json());
  TestService::set_fault("/v1/bootstrap", R"({"bodyBytes":262144})");
  EXPECT_EQ(fetch_release_policy(), (ReleasePolicy{"1.4.2", installer_url(), kShaUpper, 5000}));

  TestService::set_fault("/v1/bootstrap", R"({"bodyBytes":262145})");
  EXPECT_EQ(fetch_release_policy(), failure(std::string(kConnectPrefix) + "更新策略响应过大。"));

  TestService::set_fault("/v1/bootstrap", R"({"bodyBytes":1048576})");
  EXPECT_EQ(fetch_release_policy(), failure(std::string(kConnectPrefix) + "更新策略响应过大。"));
}

TEST_F(PolicyFetchTest, EmptyBodyIsNotAFormatError) {
  TestService::set_policy("");
  EXPECT_EQ(fetch_release_policy(), failure(std::string(kConnectPrefix) + "更新策略服务器返回了空响应。"));
}

TEST_F(PolicyFetchTest, FormatAndRuleFailuresComeWithoutThePrefix) {
  TestService::set_policy("{}");
  EXPECT_EQ(fetch_release_policy(), failure("正式更新策略格式无效，已停止当前操作。"));
  std::string wrongArch = policy_json();
  wrongArch.replace(wrongArch.find("x86_64"), 6, "x64");
  TestService::set_policy(wrongArch);
  EXPECT_EQ(fetch_release_policy(), failure("正式更新策略与当前 Windows x64 助手不匹配。"));
}

TEST_F(PolicyFetchTest, MissingOrNullSizeMakesExactlyOneHead) {
  TestService::put_file(kInstallerName, std::string(4321, 'x'));
  for (const std::string& member : {std::string(), std::string(R"("installerBytes":null,)")}) {
    TestService::reset();
    TestService::put_file(kInstallerName, std::string(4321, 'x'));
    TestService::set_policy(policy_json(member));
    EXPECT_EQ(fetch_release_policy(), (ReleasePolicy{"1.4.2", installer_url(), kShaUpper, 4321}));
    const auto requests = TestService::requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[1].method, "HEAD");
    EXPECT_EQ(requests[1].target, kInstallerPath);
    EXPECT_EQ(requests[1].userAgent, "VelkoOnlineInstaller/1.0.0");
    EXPECT_EQ(requests[1].range, "");
  }
}

TEST_F(PolicyFetchTest, ProbeFailures) {
  TestService::put_file(kInstallerName, "abc");
  TestService::set_policy(policy_json(""));
  const std::string prefix = "读取正式安装包大小失败：";

  TestService::set_fault(kInstallerPath, R"({"headNoLength":true})");
  EXPECT_EQ(fetch_release_policy(), failure(prefix + "安装包服务器没有返回有效文件大小。"));
  TestService::set_fault(kInstallerPath, R"({"headLength":0})");
  EXPECT_EQ(fetch_release_policy(), failure(prefix + "安装包服务器没有返回有效文件大小。"));
  TestService::set_fault(kInstallerPath, R"({"headLength":4294967296})");
  EXPECT_EQ(fetch_release_policy(), failure(prefix + "安装包服务器没有返回有效文件大小。"));
  TestService::set_fault(kInstallerPath, R"({"status":405})");
  EXPECT_EQ(fetch_release_policy(), failure(prefix + "安装包服务器返回 HTTP 405。"));
  TestService::reset();
  TestService::set_policy(policy_json(""));
  EXPECT_EQ(fetch_release_policy(), failure(prefix + "安装包服务器返回 HTTP 404。"));
  TestService::put_file(kInstallerName, "abc");
  TestService::set_fault(kInstallerPath, R"({"headLength":4294967295})");
  const auto largest = fetch_release_policy();
  ASSERT_TRUE(largest) << largest.error();
  EXPECT_EQ(largest->installerBytes, 4294967295u);
}

// The address pinning holds for the bytes fetched, not just for the text of the policy: a
// redirect is an unexpected status even when its target would have answered well.
TEST_F(PolicyFetchTest, ARedirectedPolicyRequestIsAStatusFailureAndItsTargetIsNeverAsked) {
  const std::string targetPath = "/v1/downloads/policy.json";
  const std::string target = "https://" + TestService::host() + targetPath;
  TestService::put_file("policy.json", policy_json());
  for (const int status : {301, 302, 303, 307, 308}) {
    SCOPED_TRACE(status);
    TestService::set_fault("/v1/bootstrap",
                           R"({"redirectTo":")" + target + R"(","status":)" + std::to_string(status) + "}");
    EXPECT_EQ(fetch_release_policy(),
              failure(std::string(kConnectPrefix) + "更新策略服务器返回 HTTP " + std::to_string(status) + "。"));
  }
  EXPECT_TRUE(TestService::requests("GET", targetPath).empty());
  EXPECT_EQ(TestService::requests("GET", kPolicyTarget).size(), 5u);
  // Asked for directly, the target holds a good policy.
  EXPECT_EQ(fetch_release_policy_at(target), (ReleasePolicy{"1.4.2", installer_url(), kShaUpper, 5000}));
}

TEST_F(PolicyFetchTest, ARedirectedProbeIsAStatusFailureAndItsTargetIsNeverAsked) {
  const std::string targetPath = "/v1/downloads/other.exe";
  const std::string target = "https://" + TestService::host() + targetPath;
  TestService::put_file(kInstallerName, std::string(4321, 'x'));
  TestService::put_file("other.exe", std::string(1234, 'y'));
  TestService::set_policy(policy_json(""));
  TestService::set_fault(kInstallerPath, R"({"redirectTo":")" + target + R"("})");
  EXPECT_EQ(fetch_release_policy(), failure("读取正式安装包大小失败：安装包服务器返回 HTTP 302。"));
  EXPECT_EQ(probe_installer_size(installer_url()), std::unexpected<std::string>("安装包服务器返回 HTTP 302。"));
  EXPECT_TRUE(TestService::requests("HEAD", targetPath).empty());
  EXPECT_TRUE(TestService::requests("GET", targetPath).empty());
  EXPECT_EQ(TestService::requests("HEAD", kInstallerPath).size(), 2u);
  EXPECT_EQ(probe_installer_size(target), 1234u);
}

TEST_F(PolicyFetchTest, ProbeDirectly) {
  TestService::put_file(kInstallerName, "12345");
  EXPECT_EQ(probe_installer_size(installer_url()), 5u);
  EXPECT_EQ(probe_installer_size("ftp://x/y"), std::unexpected<std::string>("下载地址必须是 HTTP 或 HTTPS。"));
  // Plain HTTP works too: the probe follows the address it is given.
  EXPECT_EQ(probe_installer_size("http://" + TestService::host() + ":" + std::to_string(TestService::http_port()) +
                                 kInstallerPath),
            5u);
}

TEST_F(PolicyFetchTest, RefusedConnectionNamesTheSendStepAndTheCode) {
  // Nothing listens on port 1 of the service host.
  const std::string address = "https://" + TestService::host() + ":1" + kPolicyTarget;
  const auto result = fetch_release_policy_at(address);
  ASSERT_FALSE(result);
  const std::regex expected("^连接正式更新服务失败：发送更新策略请求失败，错误码 [1-9][0-9]*。$");
  EXPECT_TRUE(std::regex_match(result.error(), expected)) << result.error();
  // A refused probe reports its own send step.
  const auto probe = probe_installer_size("https://" + TestService::host() + ":1" + kInstallerPath);
  ASSERT_FALSE(probe);
  EXPECT_TRUE(std::regex_match(probe.error(), std::regex("^发送安装包检测请求失败，错误码 [1-9][0-9]*。$")))
      << probe.error();
}

TEST_F(PolicyFetchTest, WorkerStoresAndPublishesExactlyOneEvent) {
  TestService::set_policy(policy_json());
  BootstrapState state;
  auto [sender, receiver] = make_event_channel();
  run_policy_worker(state, sender);
  EXPECT_EQ(receiver.try_receive(), WorkerEvent::policy_ready());
  EXPECT_EQ(receiver.try_receive(), std::nullopt);
  EXPECT_EQ(current_policy(state), (ReleasePolicy{"1.4.2", installer_url(), kShaUpper, 5000}));
}

TEST_F(PolicyFetchTest, RejectedPolicyLeavesTheSlotAlone) {
  BootstrapState state;
  ASSERT_TRUE(store_policy(state, ReleasePolicy{"1.0.0", "old", std::string(64, 'A'), 1}));
  TestService::set_policy("", 503);
  auto [sender, receiver] = make_event_channel();
  run_policy_worker(state, sender);
  EXPECT_EQ(receiver.try_receive(),
            WorkerEvent::policy_failed(std::string(kConnectPrefix) + "更新策略服务器返回 HTTP 503。"));
  EXPECT_EQ(receiver.try_receive(), std::nullopt);
  EXPECT_EQ(current_policy(state)->latestVersion, "1.0.0");
}

TEST_F(PolicyFetchTest, AbandonedSlotLockIsReportedAndNothingStored) {
  BootstrapState state;
  // A holder that failed while holding the lock abandons it.
  try {
    (void)state.policySlot.access([](std::optional<ReleasePolicy>&) { throw 1; });
  } catch (int) {
  }
  TestService::set_policy(policy_json());
  auto [sender, receiver] = make_event_channel();
  run_policy_worker(state, sender);
  EXPECT_EQ(receiver.try_receive(), WorkerEvent::policy_failed("更新策略状态不可用，请重新打开助手。"));
  EXPECT_EQ(receiver.try_receive(), std::nullopt);
}

TEST_F(PolicyFetchTest, WorkerWithADroppedChannelStillStoresLastWriterWins) {
  BootstrapState state;
  ASSERT_TRUE(store_policy(state, ReleasePolicy{"1.0.0", "old", std::string(64, 'A'), 1}));
  TestService::set_policy(policy_json());
  auto channel = make_event_channel();
  EventSender sender = channel.first;
  { EventReceiver dropped = std::move(channel.second); }
  run_policy_worker(state, sender);
  EXPECT_EQ(current_policy(state), (ReleasePolicy{"1.4.2", installer_url(), kShaUpper, 5000}));
}

}  // namespace
}  // namespace velko
