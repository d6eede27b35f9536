#include "win/http_session.h"

#include <string>

#include "win/system_library.h"
#include "win/wide.h"

namespace velko::win {
namespace {

// A missing DLL or export fails the call with a last-error code as a failed WinHTTP call
// would, so callers build their texts the same way.
void set_missing_error() {
  const bool dllLoaded = ::GetModuleHandleW(L"winhttp.dll") != nullptr;
  ::SetLastError(dllLoaded ? ERROR_PROC_NOT_FOUND : ERROR_MOD_NOT_FOUND);
}

// Looks the export up once per process.
#define VELKO_WINHTTP(name)                                                                     \
  static auto* const name##_fn = system_function<decltype(::name)>(L"winhttp.dll", #name); \
  if (name##_fn == nullptr) set_missing_error()

}  // namespace

namespace detail {
void close_internet(HINTERNET handle) {
  VELKO_WINHTTP(WinHttpCloseHandle);
  if (WinHttpCloseHandle_fn != nullptr) WinHttpCloseHandle_fn(handle);
}
}  // namespace detail

unique_hinternet open_http_session(std::wstring_view userAgent) {
  VELKO_WINHTTP(WinHttpOpen);
  if (WinHttpOpen_fn == nullptr) return {};
  VELKO_WINHTTP(WinHttpSetOption);
  if (WinHttpSetOption_fn == nullptr) return {};
  const std::wstring agent(userAgent);
  unique_hinternet session(
      WinHttpOpen_fn(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return {};
  // Every address is checked before it is asked for; a followed redirect would fetch bytes from
  // wherever the answer points. Without this setting the session is not used at all.
  DWORD redirects = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  if (!WinHttpSetOption_fn(session.get(), WINHTTP_OPTION_REDIRECT_POLICY, &redirects, sizeof redirects)) return {};
  return session;
}

void apply_session_settings(HINTERNET session, bool secure, const HttpTimeouts& timeouts) {
  VELKO_WINHTTP(WinHttpSetTimeouts);
  if (WinHttpSetTimeouts_fn != nullptr) {
    WinHttpSetTimeouts_fn(session, timeouts.resolveMs, timeouts.connectMs, timeouts.sendMs, timeouts.receiveMs);
  }
  VELKO_WINHTTP(WinHttpSetOption);
  if (secure && WinHttpSetOption_fn != nullptr) {
    DWORD protocols = kSecureProtocols;
    WinHttpSetOption_fn(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
  }
}

unique_hinternet connect_http(HINTERNET session, std::string_view host, std::uint16_t port) {
  VELKO_WINHTTP(WinHttpConnect);
  if (WinHttpConnect_fn == nullptr) return {};
  return unique_hinternet(WinHttpConnect_fn(session, wide(host).c_str(), port, 0));
}

unique_hinternet open_http_request(HINTERNET connection, const wchar_t* method, std::string_view pathAndQuery,
                                   bool secure) {
  VELKO_WINHTTP(WinHttpOpenRequest);
  if (WinHttpOpenRequest_fn == nullptr) return {};
  return unique_hinternet(WinHttpOpenRequest_fn(connection, method, wide(pathAndQuery).c_str(), nullptr,
                                                WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                secure ? WINHTTP_FLAG_SECURE : 0));
}

bool add_http_request_header(HINTERNET request, std::wstring_view header) {
  VELKO_WINHTTP(WinHttpAddRequestHeaders);
  if (WinHttpAddRequestHeaders_fn == nullptr) return false;
  const std::wstring text(header);
  return WinHttpAddRequestHeaders_fn(request, text.c_str(), static_cast<DWORD>(text.size()),
                                     WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE) != FALSE;
}

bool send_http_request(HINTERNET request, std::wstring_view extraHeaders) {
  VELKO_WINHTTP(WinHttpSendRequest);
  if (WinHttpSendRequest_fn == nullptr) return false;
  if (extraHeaders.empty()) {
    return WinHttpSendRequest_fn(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) != FALSE;
  }
  const std::wstring headers(extraHeaders);
  return WinHttpSendRequest_fn(request, headers.c_str(), static_cast<DWORD>(headers.size()), WINHTTP_NO_REQUEST_DATA,
                               0, 0, 0) != FALSE;
}

bool receive_http_response(HINTERNET request) {
  VELKO_WINHTTP(WinHttpReceiveResponse);
  if (WinHttpReceiveResponse_fn == nullptr) return false;
  return WinHttpReceiveResponse_fn(request, nullptr) != FALSE;
}

std::optional<DWORD> query_http_number(HINTERNET request, DWORD query) {
  VELKO_WINHTTP(WinHttpQueryHeaders);
  if (WinHttpQueryHeaders_fn == nullptr) return std::nullopt;
  DWORD value = 0;
  DWORD size = sizeof value;
  if (!WinHttpQueryHeaders_fn(request, query | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX, &value, &size,
                              WINHTTP_NO_HEADER_INDEX)) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::string> query_http_text(HINTERNET request, DWORD query) {
  VELKO_WINHTTP(WinHttpQueryHeaders);
  if (WinHttpQueryHeaders_fn == nullptr) return std::nullopt;
  DWORD size = 0;
  WinHttpQueryHeaders_fn(request, query, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                         WINHTTP_NO_HEADER_INDEX);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (!WinHttpQueryHeaders_fn(request, query, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                              WINHTTP_NO_HEADER_INDEX)) {
    return std::nullopt;
  }
  text.resize(size / sizeof(wchar_t));
  return narrow(text);
}

bool query_http_data_available(HINTERNET request, DWORD& available) {
  VELKO_WINHTTP(WinHttpQueryDataAvailable);
  available = 0;
  if (WinHttpQueryDataAvailable_fn == nullptr) return false;
  return WinHttpQueryDataAvailable_fn(request, &available) != FALSE;
}

bool read_http_data(HINTERNET request, void* buffer, DWORD size, DWORD& read) {
  VELKO_WINHTTP(WinHttpReadData);
  read = 0;
  if (WinHttpReadData_fn == nullptr) return false;
  return WinHttpReadData_fn(request, buffer, size, &read) != FALSE;
}

}  // namespace velko::win
