// The loopback download service itself, as the Windows tests see it: policy and files over
// HTTPS with the harness's CA trusted, ranges, faults and the request record.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/scoped_temp_dir.h"
#include "support/test_service.h"
#include "win/http_session.h"

namespace velko {
namespace {

using test::TestService;

constexpr char kPolicyTarget[] = "/v1/bootstrap?version=0.0.0&target=windows&arch=x86_64";
constexpr char kInstallerName[] = "VelkoTarn工作台-Setup-v1.4.2.exe";
constexpr char kInstallerPath[] = "/v1/downloads/VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.4.2.exe";

struct Answer {
  bool ok = false;
  DWORD error = 0;
  DWORD status = 0;
  std::optional<DWORD> contentLength;
  std::optional<std::string> contentRange;
  std::optional<std::string> location;
  std::string body;
};

Answer fetch(const wchar_t* method, const std::string& target, bool secure = true, const std::wstring& headers = {}) {
  Answer answer;
  const auto fail = [&] {
    answer.error = ::GetLastError();
    return answer;
  };
  auto session = win::open_http_session(L"ServiceTest/1.0");
  if (!session) return fail();
  win::apply_session_settings(session.get(), secure);
  auto connection = win::connect_http(session.get(), TestService::host(), secure ? 443 : TestService::http_port());
  if (!connection) return fail();
  auto request = win::open_http_request(connection.get(), method, target, secure);
  if (!request) return fail();
  if (!win::send_http_request(request.get(), headers)) return fail();
  if (!win::receive_http_response(request.get())) return fail();
  answer.status = win::query_http_number(request.get(), WINHTTP_QUERY_STATUS_CODE).value_or(0);
  answer.contentLength = win::query_http_number(request.get(), WINHTTP_QUERY_CONTENT_LENGTH);
  answer.contentRange = win::query_http_text(request.get(), WINHTTP_QUERY_CONTENT_RANGE);
  answer.location = win::query_http_text(request.get(), WINHTTP_QUERY_LOCATION);
  for (;;) {
    DWORD available = 0;
    if (!win::query_http_data_available(request.get(), available)) return fail();
    if (available == 0) break;
    std::string chunk(available, '\0');
    DWORD read = 0;
    if (!win::read_http_data(request.get(), chunk.data(), available, read)) return fail();
    if (read == 0) break;
    answer.body.append(chunk, 0, read);
  }
  answer.ok = true;
  return answer;
}

class TestServiceTest : public ::testing::Test {
 protected:
  void SetUp() override { TestService::reset(); }
};

TEST_F(TestServiceTest, ServesThePolicyOverTrustedHttps) {
  TestService::set_policy(R"({"hello":"世界"})");
  const Answer answer = fetch(L"GET", kPolicyTarget);
  ASSERT_TRUE(answer.ok) << "error " << answer.error;
  EXPECT_EQ(answer.status, 200u);
  EXPECT_EQ(answer.body, R"({"hello":"世界"})");
  const auto requests = TestService::requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, kPolicyTarget);
  EXPECT_EQ(requests[0].userAgent, "ServiceTest/1.0");
  EXPECT_EQ(requests[0].range, "");
}

TEST_F(TestServiceTest, PolicyStatusAsSetAndOtherQueriesAreNotFound) {
  TestService::set_policy("", 503);
  EXPECT_EQ(fetch(L"GET", kPolicyTarget).status, 503u);
  TestService::set_policy("{}");
  EXPECT_EQ(fetch(L"GET", "/v1/bootstrap?version=1.0.0&target=windows&arch=x86_64").status, 404u);
}

TEST_F(TestServiceTest, ServesFilesWithRangesOverHttpsAndHttp) {
  TestService::put_file(kInstallerName, "0123456789");
  for (bool secure : {true, false}) {
    const Answer whole = fetch(L"GET", kInstallerPath, secure);
    ASSERT_TRUE(whole.ok) << "error " << whole.error;
    EXPECT_EQ(whole.status, 200u);
    EXPECT_EQ(whole.body, "0123456789");

    const Answer head = fetch(L"HEAD", kInstallerPath, secure);
    EXPECT_EQ(head.status, 200u);
    EXPECT_EQ(head.contentLength, 10u);
    EXPECT_EQ(head.body, "");

    const Answer tail = fetch(L"GET", kInstallerPath, secure, L"Range: bytes=4-\r\n");
    EXPECT_EQ(tail.status, 206u);
    EXPECT_EQ(tail.contentRange, "bytes 4-9/10");
    EXPECT_EQ(tail.body, "456789");
  }
  EXPECT_EQ(fetch(L"GET", "/v1/downloads/missing.exe").status, 404u);
  const auto requests = TestService::requests();
  ASSERT_EQ(requests.size(), 7u);
  EXPECT_EQ(requests[2].range, "bytes=4-");
  EXPECT_EQ(requests[1].method, "HEAD");
}

TEST_F(TestServiceTest, ReleaseFolderHoldsThePutFiles) {
  TestService::put_file(kInstallerName, "abc");
  EXPECT_EQ(test::read_file(TestService::release_dir() + "\\" + kInstallerName), "abc");
  TestService::reset();
  EXPECT_FALSE(test::file_exists(TestService::release_dir() + "\\" + kInstallerName));
}

TEST_F(TestServiceTest, FaultsApplyToTheirPathAndCountDown) {
  TestService::put_file(kInstallerName, "0123456789");
  TestService::set_fault(kInstallerPath, R"({"status":503,"times":1})");
  EXPECT_EQ(fetch(L"GET", kInstallerPath).status, 503u);
  EXPECT_EQ(fetch(L"GET", kInstallerPath).status, 200u);

  TestService::set_fault(kInstallerPath, R"({"ignoreRange":true,"times":1})");
  Answer answer = fetch(L"GET", kInstallerPath, true, L"Range: bytes=4-\r\n");
  EXPECT_EQ(answer.status, 200u);
  EXPECT_EQ(answer.body, "0123456789");

  TestService::set_fault(kInstallerPath, R"({"unrequested206":true,"times":1})");
  answer = fetch(L"GET", kInstallerPath);
  EXPECT_EQ(answer.status, 206u);
  EXPECT_EQ(answer.contentRange, "bytes 0-9/10");

  TestService::set_fault(kInstallerPath, R"({"rangeStartsAt":2,"times":1})");
  answer = fetch(L"GET", kInstallerPath, true, L"Range: bytes=4-\r\n");
  EXPECT_EQ(answer.status, 206u);
  EXPECT_EQ(answer.contentRange, "bytes 2-9/10");

  TestService::set_fault(kInstallerPath, R"({"headNoLength":true,"times":1})");
  EXPECT_FALSE(fetch(L"HEAD", kInstallerPath).contentLength.has_value());
  TestService::set_fault(kInstallerPath, R"({"headLength":0,"times":1})");
  EXPECT_EQ(fetch(L"HEAD", kInstallerPath).contentLength, 0u);

  TestService::set_fault(kInstallerPath, R"({"extraBytes":3,"times":1})");
  answer = fetch(L"GET", kInstallerPath);
  EXPECT_EQ(answer.body.size(), 13u);

  TestService::set_fault(kInstallerPath, R"({"bodyBytes":4,"times":1})");
  EXPECT_EQ(fetch(L"GET", kInstallerPath).body, "0123");

  TestService::set_fault(kInstallerPath, R"({"cutAfter":4,"times":1})");
  answer = fetch(L"GET", kInstallerPath);
  EXPECT_FALSE(answer.ok && answer.body == "0123456789") << "a cut transfer must not look complete";

  TestService::set_fault(kInstallerPath, R"({"delayMs":300,"times":1})");
  const ULONGLONG start = ::GetTickCount64();
  EXPECT_EQ(fetch(L"GET", kInstallerPath).body, "0123456789");
  EXPECT_GE(::GetTickCount64() - start, 250u);
}

// A redirect answer reaches the client as it is: the sessions of this program never follow one.
TEST_F(TestServiceTest, RedirectFaultAnswersWithTheLocationAndIsNotFollowed) {
  TestService::put_file(kInstallerName, "0123456789");
  TestService::put_file("elsewhere.exe", "abc");
  const std::string elsewhere = "https://" + TestService::host() + "/v1/downloads/elsewhere.exe";
  TestService::set_fault(kInstallerPath, R"({"redirectTo":")" + elsewhere + R"("})");
  for (const wchar_t* method : {L"GET", L"HEAD"}) {
    const Answer answer = fetch(method, kInstallerPath);
    ASSERT_TRUE(answer.ok) << "error " << answer.error;
    EXPECT_EQ(answer.status, 302u);
    EXPECT_EQ(answer.location, elsewhere);
    EXPECT_EQ(answer.body, "");
  }
  TestService::set_fault(kInstallerPath, R"({"redirectTo":"/v1/downloads/elsewhere.exe","status":307})");
  EXPECT_EQ(fetch(L"GET", kInstallerPath).status, 307u);
  EXPECT_TRUE(TestService::requests("GET", "/v1/downloads/elsewhere.exe").empty());
  EXPECT_TRUE(TestService::requests("HEAD", "/v1/downloads/elsewhere.exe").empty());
  EXPECT_EQ(TestService::requests().size(), 3u);
}

}  // namespace
}  // namespace velko
