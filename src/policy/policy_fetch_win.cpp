#include "policy/policy_fetch.h"

#include <windows.h>

#include "build_config.h"
#include "common/http_header.h"
#include "policy/bootstrap_policy.h"
#include "policy/download_address.h"
#include "policy/policy_request.h"
#include "win/http_request.h"
#include "win/http_session.h"

namespace velko {
namespace {

// Neither request adds a header.
constexpr win::HttpStepTexts kPolicySteps{kPolicySessionFailed, kPolicyConnectFailed, kPolicyOpenFailed, nullptr,
                                          kPolicySendFailed,    kPolicyReceiveFailed, kPolicyStatusFailed};
constexpr win::HttpStepTexts kProbeSteps{kProbeSessionFailed, kProbeConnectFailed, kProbeOpenFailed, nullptr,
                                         kProbeSendFailed,    kProbeReceiveFailed, kProbeStatusFailed};

std::string failed_step(const char* step) { return with_error_code(step, ::GetLastError()); }

// A request of the policy worker, answered with 200; else the address, step or status text.
std::expected<win::HttpAnswer, std::string> answer_of(const wchar_t* method, std::string_view text,
                                                      const win::HttpStepTexts& steps,
                                                      std::string (*statusText)(std::uint32_t)) {
  const auto address = parse_download_address(text);
  if (!address) return std::unexpected(address.error());
  auto answer =
      win::open_service_request(method, {address->host, address->port, address->pathAndQuery, address->secure});
  if (!answer) return std::unexpected(with_error_code(win::step_text(steps, answer.error().step), answer.error().code));
  if (answer->status != 200) return std::unexpected(statusText(answer->status));
  return std::move(*answer);
}

// Steps 1-9 of the policy request: the body, or the step message (without the prefix).
std::expected<std::string, std::string> download_policy_body(std::string_view policyAddress) {
  const auto answer = answer_of(L"GET", policyAddress, kPolicySteps, policy_status_text);
  if (!answer) return std::unexpected(answer.error());
  const HINTERNET request = answer->request.get();

  std::string body;
  for (;;) {
    DWORD available = 0;
    if (!win::query_http_data_available(request, available)) {
      return std::unexpected(failed_step(kPolicyReadFailed));
    }
    if (available == 0) break;
    const auto wanted = policy_read_size(body.size(), available);
    if (!wanted) return std::unexpected(kPolicyTooLarge);
    const std::size_t held = body.size();
    body.resize(held + *wanted);
    DWORD read = 0;
    if (!win::read_http_data(request, body.data() + held, static_cast<DWORD>(*wanted), read)) {
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
  const auto answer = answer_of(L"HEAD", text, kProbeSteps, probe_status_text);
  if (!answer) return std::unexpected(answer.error());
  // As text: the numeric query of some WinHTTP versions clips sizes above 2 GiB.
  const auto header = win::query_http_text(answer->request.get(), WINHTTP_QUERY_CONTENT_LENGTH);
  const auto length = header ? parse_content_length(*header) : std::nullopt;
  if (!length || *length == 0 || *length > UINT32_MAX) return std::unexpected(kProbeNoSize);
  return static_cast<std::uint32_t>(*length);
}

}  // namespace velko
