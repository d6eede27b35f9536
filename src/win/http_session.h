#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "win/unique_any.h"

namespace velko::win {

// WinHTTP, loaded from System32 on first use (the product may not import winhttp.dll).
// Every call below behaves like the WinHTTP function it wraps: on failure it returns
// null/false/nothing and leaves the thread's last-error code as WinHTTP set it. When the DLL
// or one of its exports cannot be loaded, calls fail with ERROR_MOD_NOT_FOUND or
// ERROR_PROC_NOT_FOUND as their last error.

namespace detail {
void close_internet(HINTERNET handle);
}  // namespace detail

using unique_hinternet = unique_any<HINTERNET, detail::close_internet>;

// Time-outs of a session, in milliseconds, as WinHttpSetTimeouts takes them.
struct HttpTimeouts {
  int resolveMs = 0;
  int connectMs = 0;
  int sendMs = 0;
  int receiveMs = 0;
};
// Those of every session unless its caller asks for longer ones.
inline constexpr HttpTimeouts kSessionTimeouts{10'000, 10'000, 15'000, 30'000};
// TLS 1.0, 1.1 and 1.2.
inline constexpr DWORD kSecureProtocols = 0xA80;

// WinHttpOpen: synchronous, default proxy setting, no flags; the session never follows a
// redirect, so a 3xx answer reaches the caller as its status. Null when the session cannot be
// opened or cannot be kept from following redirects.
unique_hinternet open_http_session(std::wstring_view userAgent);
// The time-outs and, for secure use, the TLS protocol choice. Results are not reported: a
// session that keeps WinHTTP's own values still works.
void apply_session_settings(HINTERNET session, bool secure, const HttpTimeouts& timeouts = kSessionTimeouts);
// WinHttpConnect to a host (UTF-8) and port.
unique_hinternet connect_http(HINTERNET session, std::string_view host, std::uint16_t port);
// WinHttpOpenRequest: default HTTP version, no referrer, no accept types, WINHTTP_FLAG_SECURE
// when `secure`.
unique_hinternet open_http_request(HINTERNET connection, const wchar_t* method, std::string_view pathAndQuery,
                                   bool secure);
// WinHttpAddRequestHeaders of one "Name: value" header, replacing one of the same name.
bool add_http_request_header(HINTERNET request, std::wstring_view header);
// WinHttpSendRequest with optional extra headers ("Name: value\r\n" lines), no body.
bool send_http_request(HINTERNET request, std::wstring_view extraHeaders = {});
// WinHttpReceiveResponse.
bool receive_http_response(HINTERNET request);
// A header as a 32-bit number (WINHTTP_QUERY_FLAG_NUMBER), e.g. WINHTTP_QUERY_STATUS_CODE,
// WINHTTP_QUERY_CONTENT_LENGTH. Nothing when the query fails.
std::optional<DWORD> query_http_number(HINTERNET request, DWORD query);
// A header as text, e.g. WINHTTP_QUERY_CONTENT_RANGE. Nothing when the query fails
// (ERROR_WINHTTP_HEADER_NOT_FOUND when the answer lacks it).
std::optional<std::string> query_http_text(HINTERNET request, DWORD query);
// WinHttpQueryDataAvailable.
bool query_http_data_available(HINTERNET request, DWORD& available);
// WinHttpReadData into `buffer`; `read` is 0 at the end of the body.
bool read_http_data(HINTERNET request, void* buffer, DWORD size, DWORD& read);

}  // namespace velko::win
