#include "policy/policy_fetch.h"

#include <windows.h>

#include "build_config.h"
#include "common/http_header.h"
#include "policy/bootstrap_policy.h"
#include "policy/download_address.h"
#include "policy/policy_request.h"
#include "win/http_session.h"
#include "win/wide.h"

namespace velko {
namespace {

std::string failed_step(const char* step) { return with_error_code(step, ::GetLastError()); }

// Steps 1-9 of the policy request: the body, or the step message (without the prefix).
std::expected<std::string, std::string> download_policy_body(std::string_view policyAddress) {
  const auto address = parse_download_address(policyAddress);
  if (!address) return std::unexpected(address.error());

  win::unique_hinternet session = win::open_http_session(win::wide(kServiceUserAgent));
  if (!session) return std::unexpected(failed_step(kPolicySessionFailed));
  win::apply_session_settings(session.get(), address->secure);
  win::unique_hinternet connection = win::connect_http(session.get(), address->host, address->port);
  if (!connection) return std::unexpected(failed_step(kPolicyConnectFailed));
  win::unique_hinternet request =
      win::open_http_request(connection.get(), L"GET", address->pathAndQuery, address->secure);
  if (!request) return std::unexpected(failed_step(kPolicyOpenFailed));
  if (!win::send_http_request(request.get())) return std::unexpected(failed_step(kPolicySendFailed));
  if (!win::receive_http_response(request.get())) return std::unexpected(failed_step(kPolicyReceiveFailed));
  const auto status = win::query_http_number(request.get(), WINHTTP_QUERY_STATUS_CODE);
  if (!status) return std::unexpected(failed_step(kPolicyStatusFailed));
  if (*status != 200) return std::unexpected(policy_status_text(*status));

  std::string body;
  for (;;) {
    DWORD available = 0;
    if (!win::query_http_data_available(request.get(), available)) {
      return std::unexpected(failed_step(kPolicyReadFailed));
    }
    if (available == 0) break;
    const auto wanted = policy_read_size(body.size(), available);
    if (!wanted) return std::unexpected(kPolicyTooLarge);
    const std::size_t held = body.size();
    body.resize(held + *wanted);
    DWORD read = 0;
    if (!win::read_http_data(request.get(), body.data() + held, static_cast<DWORD>(*wanted), read)) {
      return std::unexpected(failed_step(kPolicyReadFailed));
    }
    body.resize(held + read);
    if (read == 0) break;
  }
  return body;
}

}  // namespace

std::expected<ReleasePolicy, std::string> fetch_release_policy_at(std::string_view policyAddress) {
  auto body = download_policy_body(policyAddress);
  if (!body) return std::unexpected(kPolicyConnectPrefix + body.error());
  if (body->empty()) return std::unexpected(std::string(kPolicyConnectPrefix) + kPolicyEmpty);
  return accept_policy_body(*body, build::kDownloadServiceHost,
                            [](const std::string& address) { return probe_installer_size(address); });
}

std::expected<ReleasePolicy, std::string> fetch_release_policy() { return fetch_release_policy_at(policy_address()); }

std::expected<std::uint32_t, std::string> probe_installer_size(std::string_view text) {
  const auto address = parse_download_address(text);
  if (!address) return std::unexpected(address.error());

  win::unique_hinternet session = win::open_http_session(win::wide(kServiceUserAgent));
  if (!session) return std::unexpected(failed_step(kProbeSessionFailed));
  win::apply_session_settings(session.get(), address->secure);
  win::unique_hinternet connection = win::connect_http(session.get(), address->host, address->port);
  if (!connection) return std::unexpected(failed_step(kProbeConnectFailed));
  win::unique_hinternet request =
      win::open_http_request(connection.get(), L"HEAD", address->pathAndQuery, address->secure);
  if (!request) return std::unexpected(failed_step(kProbeOpenFailed));
  if (!win::send_http_request(request.get())) return std::unexpected(failed_step(kProbeSendFailed));
  if (!win::receive_http_response(request.get())) return std::unexpected(failed_step(kProbeReceiveFailed));
  const auto status = win::query_http_number(request.get(), WINHTTP_QUERY_STATUS_CODE);
  if (!status) return std::unexpected(failed_step(kProbeStatusFailed));
  if (*status != 200) return std::unexpected(probe_status_text(*status));
  // As text: the numeric query of some WinHTTP versions clips sizes above 2 GiB.
  const auto header = win::query_http_text(request.get(), WINHTTP_QUERY_CONTENT_LENGTH);
  const auto length = header ? parse_content_length(*header) : std::nullopt;
  if (!length || *length == 0 || *length > UINT32_MAX) return std::unexpected(kProbeNoSize);
  return static_cast<std::uint32_t>(*length);
}

}  // namespace velko
