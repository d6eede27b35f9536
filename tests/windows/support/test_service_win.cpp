#include "support/test_service.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "build_config.h"
#include "win/http_session.h"
#include "win/system_library.h"

namespace velko::test {
namespace {

// Fixed ports of the harness's service (see scripts/harness/up.d/50-test-service).
constexpr std::uint16_t kHttpPort = 8080;
constexpr std::uint16_t kControlPort = 8081;

struct ControlAnswer {
  DWORD status = 0;
  std::string body;
};

std::string percent_encode(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
        c == '.' || c == '~') {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

// WinHttpSendRequest with a body: only the control requests send one, never the product.
bool send_http_request_with_body(HINTERNET request, std::string_view body) {
  static auto* const send = win::system_function<decltype(::WinHttpSendRequest)>(L"winhttp.dll", "WinHttpSendRequest");
  if (send == nullptr) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }
  const DWORD size = static_cast<DWORD>(body.size());
  return send(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, const_cast<char*>(body.data()), size, size, 0) != FALSE;
}

// One request to the control port. Fails the current test when the service does not answer 200.
ControlAnswer control(const wchar_t* method, const std::string& target, const std::string& body = {}) {
  ControlAnswer answer;
  const auto fail = [&](const char* step) {
    ADD_FAILURE() << "test service control " << step << " failed for " << target << " (error " << ::GetLastError()
                  << "); is the harness up (harness_setup)?";
    return answer;
  };
  win::unique_hinternet session = win::open_http_session(L"VelkoTestControl/1.0");
  if (!session) return fail("session");
  win::apply_session_settings(session.get(), false);
  win::unique_hinternet connection = win::connect_http(session.get(), build::kDownloadServiceHost, kControlPort);
  if (!connection) return fail("connect");
  win::unique_hinternet request = win::open_http_request(connection.get(), method, target, false);
  if (!request) return fail("open");
  if (!send_http_request_with_body(request.get(), body)) return fail("send");
  if (!win::receive_http_response(request.get())) return fail("receive");
  answer.status = win::query_http_number(request.get(), WINHTTP_QUERY_STATUS_CODE).value_or(0);
  for (;;) {
    char buffer[65536];
    DWORD read = 0;
    if (!win::read_http_data(request.get(), buffer, sizeof buffer, read)) return fail("read");
    if (read == 0) break;
    answer.body.append(buffer, read);
  }
  if (answer.status != 200) {
    ADD_FAILURE() << "test service control " << target << " answered " << answer.status << ": " << answer.body;
  }
  return answer;
}

}  // namespace

std::string TestService::host() { return build::kDownloadServiceHost; }

std::uint16_t TestService::http_port() { return kHttpPort; }

std::string TestService::release_dir() {
  const ControlAnswer answer = control(L"GET", "/info");
  const auto info = nlohmann::json::parse(answer.body, nullptr, false);
  if (info.is_discarded() || !info.contains("releaseDir")) {
    ADD_FAILURE() << "test service /info answered " << answer.body;
    return {};
  }
  // Wine maps the Unix root to Z:.
  std::string path = "Z:";
  for (char c : info["releaseDir"].get<std::string>()) path.push_back(c == '/' ? '\\' : c);
  return path;
}

void TestService::reset() { control(L"POST", "/reset"); }

void TestService::use_backend(const std::string& name) { control(L"POST", "/backend?name=" + name); }

void TestService::publish(const std::string& installer, const std::string& version) {
  control(L"POST", "/publish?version=" + percent_encode(version), installer);
}

void TestService::set_policy(const std::string& body, int status) {
  control(L"POST", "/policy?status=" + std::to_string(status), body);
}

void TestService::put_file(const std::string& name, const std::string& bytes) {
  control(L"PUT", "/files/" + percent_encode(name), bytes);
}

void TestService::set_fault(const std::string& path, const std::string& faultJson) {
  if (nlohmann::json::parse(faultJson, nullptr, false).is_discarded()) {
    ADD_FAILURE() << "fault is not JSON: " << faultJson;
    return;
  }
  control(L"POST", "/fault?path=" + percent_encode(path), faultJson);
}

std::vector<RecordedRequest> TestService::requests() {
  const ControlAnswer answer = control(L"GET", "/requests");
  std::vector<RecordedRequest> result;
  const auto list = nlohmann::json::parse(answer.body, nullptr, false);
  if (!list.is_array()) {
    ADD_FAILURE() << "test service /requests answered " << answer.body;
    return result;
  }
  for (const auto& item : list) {
    result.push_back({item.value("method", ""), item.value("target", ""), item.value("range", ""),
                      item.value("userAgent", "")});
  }
  return result;
}

std::vector<RecordedRequest> TestService::requests(const std::string& method, const std::string& target) {
  std::vector<RecordedRequest> found;
  for (auto& request : requests()) {
    if (request.method == method && (target.empty() || request.target == target)) found.push_back(std::move(request));
  }
  return found;
}

}  // namespace velko::test
