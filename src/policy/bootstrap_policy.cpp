#include "policy/bootstrap_policy.h"

#include <algorithm>
#include <array>
#include <optional>
#include <set>
#include <variant>

#include <nlohmann/json.hpp>

#include "common/json_document.h"
#include "policy/download_address.h"
#include "policy/version_rules.h"

namespace velko {
namespace {

// How a member's JSON value is taken, and the field of the record it goes to.
struct Text {  // a string
  std::string BootstrapPolicy::*field;
  constexpr bool operator==(const Text&) const = default;
};
struct UnsignedOrNull {  // an unsigned integer, or null for "not given"
  std::optional<std::uint64_t> BootstrapPolicy::*field;
  constexpr bool operator==(const UnsignedOrNull&) const = default;
};

enum class Presence { Required, Optional };

struct MemberRow {
  std::string_view name;
  std::variant<Text, UnsignedOrNull> value;
  Presence presence;
  std::size_t position;  // in the array form
};

// One row per member of the policy, in the order of the array form (a missing member is named in
// this order).
constexpr auto kMembers = std::to_array<MemberRow>({
    {"currentVersion", Text{&BootstrapPolicy::currentVersion}, Presence::Required, 0},
    {"minSupportedVersion", Text{&BootstrapPolicy::minSupportedVersion}, Presence::Required, 1},
    {"latestVersion", Text{&BootstrapPolicy::latestVersion}, Presence::Required, 2},
    {"downloadUrl", Text{&BootstrapPolicy::downloadUrl}, Presence::Required, 3},
    {"updateSha256", Text{&BootstrapPolicy::updateSha256}, Presence::Required, 4},
    {"installerBytes", UnsignedOrNull{&BootstrapPolicy::installerBytes}, Presence::Optional, 5},
    {"target", Text{&BootstrapPolicy::target}, Presence::Required, 6},
    {"arch", Text{&BootstrapPolicy::arch}, Presence::Required, 7},
});

// Every position of the array form belongs to exactly one row, and no name or field to two.
constexpr bool rows_are_distinct() {
  for (std::size_t i = 0; i < kMembers.size(); ++i) {
    if (kMembers[i].position >= kMembers.size()) return false;
    for (std::size_t j = i + 1; j < kMembers.size(); ++j) {
      const MemberRow& a = kMembers[i];
      const MemberRow& b = kMembers[j];
      if (a.name == b.name || a.position == b.position || a.value == b.value) return false;
    }
  }
  return true;
}
static_assert(rows_are_distinct());

// The decoder's messages give the number of members in words.
constexpr std::string_view kMemberCount = "eight";
static_assert(kMembers.size() == 8, "kMemberCount must name the number of rows");

// The row of a member name, or null for a member the record does not use.
const MemberRow* member_named(std::string_view name) {
  const auto row = std::ranges::find(kMembers, name, &MemberRow::name);
  return row == kMembers.end() ? nullptr : &*row;
}

const MemberRow& member_at(std::size_t position) {
  return *std::ranges::find(kMembers, position, &MemberRow::position);
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
    if (depth_ == 0 && form_ == Form::Array && index_ != kMembers.size()) {
      return fail("the array form needs exactly " + std::string(kMemberCount) + " values");
    }
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) {
    return fail(error.what());
  }

  std::expected<BootstrapPolicy, std::string> result() {
    if (!error_.empty()) return std::unexpected(error_);
    for (std::size_t i = 0; i < kMembers.size(); ++i) {
      if (!seen_[i] && kMembers[i].presence == Presence::Required) {
        return std::unexpected("missing member " + std::string(kMembers[i].name));
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

  // Which member the next value at the top level belongs to (null: one the record does not use).
  bool next_member(const MemberRow*& member) {
    if (form_ == Form::Array) {
      if (index_ >= kMembers.size()) {
        return fail("the array form has more than " + std::string(kMemberCount) + " values");
      }
      member = &member_at(index_++);
    } else {
      member = current_;
    }
    return true;
  }

  // An object or array as a member value: only unknown members may hold one.
  bool container_value() {
    const MemberRow* member = nullptr;
    if (!next_member(member)) return false;
    if (member != nullptr) return fail("wrong type for " + std::string(member->name));
    return true;
  }

  bool scalar(Kind kind) {
    if (depth_ == 0) return fail("the document is not an object");
    if (depth_ > 1) return true;  // inside an unknown member
    const MemberRow* member = nullptr;
    if (!next_member(member)) return false;
    if (member == nullptr) return true;
    seen_[static_cast<std::size_t>(member - kMembers.data())] = true;
    return std::visit([&](auto value) { return take(*member, value, kind); }, member->value);
  }

  bool take(const MemberRow& member, Text value, Kind kind) {
    if (kind != Kind::String) return fail("wrong type for " + std::string(member.name));
    policy_.*value.field = std::move(string_);
    return true;
  }

  bool take(const MemberRow& member, UnsignedOrNull value, Kind kind) {
    if (kind == Kind::Null) {
      (policy_.*value.field).reset();
    } else if (kind == Kind::Unsigned) {
      policy_.*value.field = unsigned_;
    } else {
      return fail(std::string(member.name) + " must be an unsigned integer or null");
    }
    return true;
  }

  BootstrapPolicy policy_;
  std::array<bool, kMembers.size()> seen_{};  // by row
  std::set<std::string, std::less<>> names_;
  const MemberRow* current_ = nullptr;
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
