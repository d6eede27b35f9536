#pragma once

#include <windows.h>

#include <cstdint>
#include <expected>
#include <string_view>

#include "win/http_session.h"

namespace velko::win {

// One request of the product to the download service, up to the answer's status: session with
// the service's user agent (never following a redirect), time-outs and TLS choice, connection,
// request, an optional added header, send, receive, status. Every caller reads the body itself.

// The steps in the order they are taken.
enum class HttpStep { Session, Connect, Open, AddHeader, Send, Receive, Status };

// The step that failed and the Windows error code it left.
struct HttpFailure {
  HttpStep step = HttpStep::Session;
  DWORD code = 0;
};

// What a caller calls each step in its failure texts. `addHeader` may stay null for a caller
// that adds no header.
struct HttpStepTexts {
  const char* session = nullptr;
  const char* connect = nullptr;
  const char* open = nullptr;
  const char* addHeader = nullptr;
  const char* send = nullptr;
  const char* receive = nullptr;
  const char* status = nullptr;
};
const char* step_text(const HttpStepTexts& texts, HttpStep step);

// Where the request goes, split the way WinHTTP needs it.
struct HttpTarget {
  std::string_view host;
  std::uint16_t port = 0;
  std::string_view pathAndQuery;  // begins with "/"
  bool secure = false;            // https
};

// An answered request; the body is read from `request`. The handles close in the reverse order
// of their opening.
struct HttpAnswer {
  unique_hinternet session;
  unique_hinternet connection;
  unique_hinternet request;
  DWORD status = 0;
};

// Sends `method` to `target` and waits for the answer's status. `addedHeader` ("Name: value",
// ASCII) is added to the request when not empty.
std::expected<HttpAnswer, HttpFailure> open_service_request(const wchar_t* method, const HttpTarget& target,
                                                            const HttpTimeouts& timeouts = kSessionTimeouts,
                                                            std::string_view addedHeader = {});

}  // namespace velko::win
