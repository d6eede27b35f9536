// The one request opener of the product, against the loopback download service: what it sends,
// the step a failure names, and that a redirect stays the caller's answer.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/test_service.h"
#include "win/http_request.h"
#include "win/http_session.h"

namespace velko {
namespace {

using test::TestService;

constexpr char kPath[] = "/v1/downloads/opener.bin";

class HttpRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestService::reset();
    TestService::put_file("opener.bin", "0123456789");
  }
  const std::string host_ = TestService::host();
};

TEST_F(HttpRequestTest, SendsTheServiceUserAgentAndTheAddedHeader) {
  const auto answer = win::open_service_request(L"GET", {host_, 443, kPath, true}, win::kSessionTimeouts,
                                                "Range: bytes=4-");
  ASSERT_TRUE(answer) << static_cast<int>(answer.error().step) << " " << answer.error().code;
  EXPECT_EQ(answer->status, 206u);
  const auto requests = TestService::requests("GET", kPath);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].userAgent, "VelkoOnlineInstaller/1.0.0");
  EXPECT_EQ(requests[0].range, "bytes=4-");
}

TEST_F(HttpRequestTest, WithoutAnAddedHeaderNoneIsSent) {
  const auto answer = win::open_service_request(L"HEAD", {host_, TestService::http_port(), kPath, false});
  ASSERT_TRUE(answer) << static_cast<int>(answer.error().step) << " " << answer.error().code;
  EXPECT_EQ(answer->status, 200u);
  const auto requests = TestService::requests("HEAD", kPath);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].range, "");
}

TEST_F(HttpRequestTest, ARefusedConnectionFailsAtTheSendStepWithItsCode) {
  // Nothing listens on port 1 of the service host.
  const auto answer = win::open_service_request(L"GET", {host_, 1, kPath, true});
  ASSERT_FALSE(answer);
  EXPECT_EQ(answer.error().step, win::HttpStep::Send);
  EXPECT_NE(answer.error().code, 0u);
}

TEST_F(HttpRequestTest, ARedirectIsTheAnswerAndItsTargetIsNeverAsked) {
  const std::string target = "https://" + host_ + "/v1/downloads/moved.bin";
  TestService::put_file("moved.bin", "moved");
  TestService::set_fault(kPath, R"({"redirectTo":")" + target + R"("})");
  const auto answer = win::open_service_request(L"GET", {host_, 443, kPath, true});
  ASSERT_TRUE(answer) << static_cast<int>(answer.error().step) << " " << answer.error().code;
  EXPECT_EQ(answer->status, 302u);
  EXPECT_TRUE(TestService::requests("GET", "/v1/downloads/moved.bin").empty());
}

TEST(HttpStepTexts, EachStepHasItsTextAndAnUnnamedHeaderStepIsTheSend) {
  const win::HttpStepTexts texts{"session", "connect", "open", nullptr, "send", "receive", "status"};
  EXPECT_STREQ(win::step_text(texts, win::HttpStep::Session), "session");
  EXPECT_STREQ(win::step_text(texts, win::HttpStep::Connect), "connect");
  EXPECT_STREQ(win::step_text(texts, win::HttpStep::Open), "open");
  EXPECT_STREQ(win::step_text(texts, win::HttpStep::AddHeader), "send");
  EXPECT_STREQ(win::step_text(texts, win::HttpStep::Send), "send");
  EXPECT_STREQ(win::step_text(texts, win::HttpStep::Receive), "receive");
  EXPECT_STREQ(win::step_text(texts, win::HttpStep::Status), "status");
  const win::HttpStepTexts named{"session", "connect", "open", "header", "send", "receive", "status"};
  EXPECT_STREQ(win::step_text(named, win::HttpStep::AddHeader), "header");
}

}  // namespace
}  // namespace velko
