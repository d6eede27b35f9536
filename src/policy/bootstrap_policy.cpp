#include "policy/bootstrap_policy.h"

#include <array>
#include <set>

#include <nlohmann/json.hpp>

#include "common/json_document.h"
#include "policy/download_address.h"
#include "policy/version_rules.h"

namespace velko {
namespace {

enum class Member { CurrentVersion, MinSupportedVersion, LatestVersion, DownloadUrl, UpdateSha256, InstallerBytes,
                    Target, Arch, Unknown };

// Member names in the order of the array form.
constexpr std::array<std::string_view, 8> kMemberNames = {
    "currentVersion", "minSupportedVersion", "latestVersion", "downloadUrl",
    "updateSha256",   "installerBytes",      "target",        "arch"};

Member member_named(std::string_view name) {
  for (std::size_t i = 0; i < kMemberNames.size(); ++i) {
    if (kMemberNames[i] == name) return static_cast<Member>(i);
  }
  return Member::Unknown;
}

// SAX events straight into the record, so that member names (for duplicates) and number kinds
// (unsigned, signed, floating) are seen exactly as written.
class PolicyReader {
 public:
  using number_integer_t = nlohmann::json::number_integer_t;
  using number_unsigned_t = nlohmann::json::number_unsigned_t;
  using number_float_t = nlohmann::json::number_float_t;
  using string_t = nlohmann::json::string_t;
  using binary_t = nlohmann::json::binary_t;

  bool null() { return scalar(Kind::Null); }
  bool boolean(bool) { return scalar(Kind::Other); }
  bool number_integer(number_integer_t) { return scalar(Kind::Other); }
  bool number_unsigned(number_unsigned_t value) {
    unsigned_ = value;
    return scalar(Kind::Unsigned);
  }
  bool number_float(number_float_t, const string_t&) { return scalar(Kind::Other); }
  bool string(string_t& value) {
    string_ = std::move(value);
    return scalar(Kind::String);
  }
  bool binary(binary_t&) { return scalar(Kind::Other); }

  bool start_object(std::size_t) {
    if (depth_ == 0) {
      form_ = Form::Object;
    } else if (depth_ == 1 && !container_value()) {
      return false;
    }
    ++depth_;
    return true;
  }
  bool key(string_t& name) {
    if (depth_ != 1) return true;
    if (!names_.insert(name).second) return fail("member given twice: " + name);
    current_ = member_named(name);
    return true;
  }
  bool end_object() {
    --depth_;
    return true;
  }
  bool start_array(std::size_t) {
    if (depth_ == 0) {
      form_ = Form::Array;
    } else if (depth_ == 1 && !container_value()) {
      return false;
    }
    ++depth_;
    return true;
  }
  bool end_array() {
    --depth_;
    if (depth_ == 0 && form_ == Form::Array && index_ != kMemberNames.size()) {
      return fail("the array form needs exactly eight values");
    }
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) {
    return fail(error.what());
  }

  std::expected<BootstrapPolicy, std::string> result() {
    if (!error_.empty()) return std::unexpected(error_);
    for (std::size_t i = 0; i < kMemberNames.size(); ++i) {
      if (!seen_[i] && static_cast<Member>(i) != Member::InstallerBytes) {
        return std::unexpected("missing member " + std::string(kMemberNames[i]));
      }
    }
    return policy_;
  }

 private:
  enum class Kind { Null, String, Unsigned, Other };
  enum class Form { None, Object, Array };

  bool fail(std::string why) {
    if (error_.empty()) error_ = std::move(why);
    return false;
  }

  // Which member the next value at the top level belongs to.
  bool next_member(Member& member) {
    if (form_ == Form::Array) {
      if (index_ >= kMemberNames.size()) return fail("the array form has more than eight values");
      member = static_cast<Member>(index_++);
    } else {
      member = current_;
    }
    return true;
  }

  // An object or array as a member value: only unknown members may hold one.
  bool container_value() {
    Member member;
    if (!next_member(member)) return false;
    if (member != Member::Unknown) return fail("wrong type for " + std::string(kMemberNames[int(member)]));
    return true;
  }

  bool scalar(Kind kind) {
    if (depth_ == 0) return fail("the document is not an object");
    if (depth_ > 1) return true;  // inside an unknown member
    Member member;
    if (!next_member(member)) return false;
    if (member == Member::Unknown) return true;
    const auto index = static_cast<std::size_t>(member);
    seen_[index] = true;
    if (member == Member::InstallerBytes) {
      if (kind == Kind::Null) {
        policy_.installerBytes.reset();
      } else if (kind == Kind::Unsigned) {
        policy_.installerBytes = unsigned_;
      } else {
        return fail("installerBytes must be an unsigned integer or null");
      }
      return true;
    }
    if (kind != Kind::String) return fail("wrong type for " + std::string(kMemberNames[index]));
    std::string* const fields[] = {&policy_.currentVersion, &policy_.minSupportedVersion, &policy_.latestVersion,
                                   &policy_.downloadUrl,    &policy_.updateSha256,        nullptr,
                                   &policy_.target,         &policy_.arch};
    *fields[index] = std::move(string_);
    return true;
  }

  BootstrapPolicy policy_;
  std::array<bool, 8> seen_{};
  std::set<std::string, std::less<>> names_;
  Member current_ = Member::Unknown;
  Form form_ = Form::None;
  std::size_t depth_ = 0;
  std::size_t index_ = 0;
  std::uint64_t unsigned_ = 0;
  std::string string_;
  std::string error_;
};

bool is_sha256_text(std::string_view text) {
  if (text.size() != 64) return false;
  for (char c : text) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

std::string ascii_upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

std::expected<BootstrapPolicy, std::string> decode_bootstrap_policy(std::string_view body) {
  PolicyReader reader;
  const bool parsed = parse_json_document(body, &reader);
  auto result = reader.result();
  if (!parsed && result) return std::unexpected("not a JSON document");
  return result;
}

std::expected<ReleasePolicy, std::string> accept_policy_body(std::string_view body, std::string_view serviceHost,
                                                             const InstallerSizeProbe& probe) {
  const auto decoded = decode_bootstrap_policy(body);
  if (!decoded) return std::unexpected(kPolicyFormatInvalid);
  const BootstrapPolicy& policy = *decoded;

  if (policy.currentVersion != "0.0.0" || policy.target != "windows" || policy.arch != "x86_64") {
    return std::unexpected(kPolicyMismatch);
  }
  if (!is_valid_version(policy.latestVersion) || !is_valid_version(policy.minSupportedVersion)) {
    return std::unexpected(kPolicyVersionInvalid);
  }
  const auto order = compare_versions(policy.minSupportedVersion, policy.latestVersion);
  if (!order) return std::unexpected(order.error());
  if (*order == std::strong_ordering::greater) return std::unexpected(kPolicyMinimumAboveLatest);
  if (!is_sha256_text(policy.updateSha256)) return std::unexpected(kPolicySha256Invalid);
  if (auto address = check_installer_address(policy.downloadUrl, policy.latestVersion, serviceHost); !address) {
    return std::unexpected(address.error());
  }

  std::uint64_t size = 0;
  if (policy.installerBytes) {
    if (*policy.installerBytes < 1 || *policy.installerBytes > 4'294'967'295u) {
      return std::unexpected(kPolicySizeInvalid);
    }
    size = *policy.installerBytes;
  } else {
    const auto probed = probe(policy.downloadUrl);
    if (!probed) return std::unexpected(kPolicySizeProbePrefix + probed.error());
    size = *probed;
  }
  return ReleasePolicy{policy.latestVersion, policy.downloadUrl, ascii_upper(policy.updateSha256), size};
}

}  // namespace velko
