// The policy body as the download service sends it: whatever accept_policy_body lets through must
// satisfy every rule of the policy record and of the installer address, checked here again by
// independent means (its own version and address readers, and the JSON library's document).

#include <nlohmann/json.hpp>

#include "fuzz_targets.h"
#include "policy/bootstrap_policy.h"

namespace velko {
namespace {

constexpr std::string_view kHost = "download.velkotarn.com";
constexpr std::uint32_t kProbedSize = 4321;
constexpr std::string_view kInstallerPath = "/v1/downloads/VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v";

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// "https://", the service host in any letter case, optionally a port that reads as 443, and
// exactly the installer path of `version`.
bool installer_address_ok(std::string_view address, std::string_view version) {
  constexpr std::string_view kScheme = "https://";
  if (!address.starts_with(kScheme)) return false;
  address.remove_prefix(kScheme.size());
  const std::size_t slash = address.find('/');
  if (slash == std::string_view::npos) return false;
  std::string_view authority = address.substr(0, slash);
  const std::string_view path = address.substr(slash);
  if (path != std::string(kInstallerPath) + std::string(version) + ".exe") return false;
  if (const std::size_t colon = authority.find(':'); colon != std::string_view::npos) {
    std::string_view port = authority.substr(colon + 1);
    authority = authority.substr(0, colon);
    if (port.starts_with('+')) port.remove_prefix(1);
    if (port.empty() || port.find_first_not_of("0123456789") != std::string_view::npos) return false;
    port.remove_prefix(std::min(port.find_first_not_of('0'), port.size()));
    if (port != "443") return false;
  }
  return same_ignoring_case(authority, kHost);
}

bool upper_hex(std::string_view text) {
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

}  // namespace

int fuzz_policy_body(const std::uint8_t* data, std::size_t size) {
  const std::string_view body = fuzz::as_text(data, size);
  bool probed = false;
  std::string probedAddress;
  const InstallerSizeProbe probe = [&](const std::string& address) -> std::expected<std::uint32_t, std::string> {
    probedAddress = address;
    probed = true;
    return kProbedSize;
  };
  const auto accepted = accept_policy_body(body, kHost, probe);
  if (!accepted) {
    VELKO_FUZZ_CHECK(!accepted.error().empty());
    VELKO_FUZZ_CHECK(!probed);  // the size is learned only after every other check passed
    return 0;
  }

  // Nothing but JSON white space around one object or array; no byte the JSON library would
  // take for the end of the input, no byte-order mark.
  VELKO_FUZZ_CHECK(body.find('\0') == std::string_view::npos);
  const std::string_view document = fuzz::trim_json_space(body);
  VELKO_FUZZ_CHECK(document.size() >= 2);
  VELKO_FUZZ_CHECK((document.front() == '{' && document.back() == '}') ||
                   (document.front() == '[' && document.back() == ']'));

  const auto decoded = decode_bootstrap_policy(body);
  VELKO_FUZZ_CHECK(decoded.has_value());
  VELKO_FUZZ_CHECK(decoded->currentVersion == "0.0.0");
  VELKO_FUZZ_CHECK(decoded->target == "windows");
  VELKO_FUZZ_CHECK(decoded->arch == "x86_64");

  std::array<std::uint32_t, 3> latest{};
  std::array<std::uint32_t, 3> minimum{};
  VELKO_FUZZ_CHECK(fuzz::version_text_ok(accepted->latestVersion, &latest));
  VELKO_FUZZ_CHECK(fuzz::version_text_ok(decoded->minSupportedVersion, &minimum));
  VELKO_FUZZ_CHECK(minimum <= latest);
  VELKO_FUZZ_CHECK(accepted->latestVersion == decoded->latestVersion);

  VELKO_FUZZ_CHECK(accepted->updateSha256.size() == 64);
  VELKO_FUZZ_CHECK(upper_hex(accepted->updateSha256));
  VELKO_FUZZ_CHECK(same_ignoring_case(accepted->updateSha256, decoded->updateSha256));

  VELKO_FUZZ_CHECK(accepted->downloadUrl == decoded->downloadUrl);
  VELKO_FUZZ_CHECK(installer_address_ok(accepted->downloadUrl, accepted->latestVersion));

  VELKO_FUZZ_CHECK(accepted->installerBytes >= 1 && accepted->installerBytes <= 4'294'967'295u);
  if (decoded->installerBytes) {
    VELKO_FUZZ_CHECK(!probed);
    VELKO_FUZZ_CHECK(accepted->installerBytes == *decoded->installerBytes);
  } else {
    VELKO_FUZZ_CHECK(probed);
    VELKO_FUZZ_CHECK(probedAddress == accepted->downloadUrl);
    VELKO_FUZZ_CHECK(accepted->installerBytes == kProbedSize);
  }

  // The JSON library's own document of the body, where it can build one (it cannot for numbers
  // beyond a double's range): the same values, of the types the record requires.
  const nlohmann::json dom = nlohmann::json::parse(body, nullptr, false);
  if (!dom.is_discarded()) {
    const std::array<std::string_view, 8> names = {"currentVersion", "minSupportedVersion", "latestVersion",
                                                   "downloadUrl",    "updateSha256",        "installerBytes",
                                                   "target",         "arch"};
    const std::array<const std::string*, 8> fields = {
        &decoded->currentVersion, &decoded->minSupportedVersion, &decoded->latestVersion, &decoded->downloadUrl,
        &decoded->updateSha256,   nullptr,                       &decoded->target,        &decoded->arch};
    VELKO_FUZZ_CHECK(dom.is_object() || (dom.is_array() && dom.size() == 8));
    for (std::size_t i = 0; i < names.size(); ++i) {
      const std::string name(names[i]);
      const nlohmann::json* value = nullptr;
      if (dom.is_array()) {
        value = &dom[i];
      } else if (dom.contains(name)) {
        value = &dom[name];
      }
      if (fields[i] == nullptr) {
        if (value == nullptr || value->is_null()) {
          VELKO_FUZZ_CHECK(!decoded->installerBytes);
        } else {
          VELKO_FUZZ_CHECK(value->is_number_unsigned());
          VELKO_FUZZ_CHECK(decoded->installerBytes == value->get<std::uint64_t>());
        }
        continue;
      }
      VELKO_FUZZ_CHECK(value != nullptr && value->is_string());
      VELKO_FUZZ_CHECK(value->get<std::string>() == *fields[i]);
    }
  }
  return 0;
}

}  // namespace velko
