#include "win/http_request.h"

#include "common/http_header.h"
#include "win/wide.h"

namespace velko::win {

const char* step_text(const HttpStepTexts& texts, HttpStep step) {
  switch (step) {
    case HttpStep::Session: return texts.session;
    case HttpStep::Connect: return texts.connect;
    case HttpStep::Open: return texts.open;
    // Adding a header belongs to sending when the caller has no word of its own for it.
    case HttpStep::AddHeader: return texts.addHeader != nullptr ? texts.addHeader : texts.send;
    case HttpStep::Send: return texts.send;
    case HttpStep::Receive: return texts.receive;
    case HttpStep::Status: return texts.status;
  }
  return texts.send;
}

std::expected<HttpAnswer, HttpFailure> open_service_request(const wchar_t* method, const HttpTarget& target,
                                                            const HttpTimeouts& timeouts,
                                                            std::string_view addedHeader) {
  // The code is taken at once: closing the handles opened so far may change the last error.
  const auto failed = [](HttpStep step) { return std::unexpected(HttpFailure{step, ::GetLastError()}); };
  HttpAnswer answer;
  answer.session = open_http_session(wide(kServiceUserAgent));
  if (!answer.session) return failed(HttpStep::Session);
  apply_session_settings(answer.session.get(), target.secure, timeouts);
  answer.connection = connect_http(answer.session.get(), target.host, target.port);
  if (!answer.connection) return failed(HttpStep::Connect);
  answer.request = open_http_request(answer.connection.get(), method, target.pathAndQuery, target.secure);
  if (!answer.request) return failed(HttpStep::Open);
  if (!addedHeader.empty() && !add_http_request_header(answer.request.get(), wide(addedHeader))) {
    return failed(HttpStep::AddHeader);
  }
  if (!send_http_request(answer.request.get())) return failed(HttpStep::Send);
  if (!receive_http_response(answer.request.get())) return failed(HttpStep::Receive);
  const auto status = query_http_number(answer.request.get(), WINHTTP_QUERY_STATUS_CODE);
  if (!status) return failed(HttpStep::Status);
  answer.status = *status;
  return answer;
}

}  // namespace velko::win
