#include "policy/bootstrap_policy.h"

#include <gtest/gtest.h>

#include <vector>

namespace velko {
namespace {

constexpr char kHost[] = "download.velkotarn.com";
constexpr char kUrl[] =
    "https://download.velkotarn.com/v1/downloads/VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.4.2.exe";
constexpr char kSha[] = "0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789abcdef";
constexpr char kShaUpper[] = "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF";

// Members of a good policy, in member order; a test changes or drops some and renders it.
struct Members {
  std::vector<std::pair<std::string, std::string>> items = {
      {"currentVersion", R"("0.0.0")"},
      {"minSupportedVersion", R"("1.0.0")"},
      {"latestVersion", R"("1.4.2")"},
      {"downloadUrl", std::string("\"") + kUrl + "\""},
      {"updateSha256", std::string("\"") + kSha + "\""},
      {"installerBytes", "123456"},
      {"target", R"("windows")"},
      {"arch", R"("x86_64")"},
  };

  Members& set(const std::string& name, const std::string& json) {
    for (auto& item : items) {
      if (item.first == name) item.second = json;
    }
    return *this;
  }
  Members& drop(const std::string& name) {
    std::erase_if(items, [&](const auto& item) { return item.first == name; });
    return *this;
  }
  Members& add(const std::string& name, const std::string& json) {
    items.emplace_back(name, json);
    return *this;
  }
  std::string object() const {
    std::string text = "{";
    for (const auto& [name, json] : items) {
      if (text.size() > 1) text += ",";
      text += "\"" + name + "\":" + json;
    }
    return text + "}";
  }
  std::string array() const {
    std::string text = "[";
    for (const auto& item : items) {
      if (text.size() > 1) text += ",";
      text += item.second;
    }
    return text + "]";
  }
};

struct ProbeRecorder {
  std::vector<std::string> calls;
  std::expected<std::uint32_t, std::string> answer = 777u;
  InstallerSizeProbe probe() {
    return [this](const std::string& address) {
      calls.push_back(address);
      return answer;
    };
  }
};

std::expected<ReleasePolicy, std::string> accept(const std::string& body, ProbeRecorder* recorder = nullptr) {
  ProbeRecorder unused;
  ProbeRecorder& probe = recorder ? *recorder : unused;
  return accept_policy_body(body, kHost, probe.probe());
}

std::expected<ReleasePolicy, std::string> message(const char* text) { return std::unexpected(text); }

TEST(BootstrapPolicy, AcceptsAGoodPolicyAndStoresTheDigestUpperCase) {
  ProbeRecorder probe;
  const auto policy = accept(Members().object(), &probe);
  ASSERT_TRUE(policy) << policy.error();
  EXPECT_EQ(*policy, (ReleasePolicy{"1.4.2", kUrl, kShaUpper, 123456}));
  EXPECT_TRUE(probe.calls.empty());
}

TEST(BootstrapPolicy, ArrayFormOfTheEightValues) {
  EXPECT_EQ(accept(Members().array()), (ReleasePolicy{"1.4.2", kUrl, kShaUpper, 123456}));
  EXPECT_EQ(accept(Members().set("installerBytes", "null").array()), (ReleasePolicy{"1.4.2", kUrl, kShaUpper, 777}));
  EXPECT_EQ(accept(Members().drop("arch").array()), message(kPolicyFormatInvalid));
  EXPECT_EQ(accept(Members().add("extra", "1").array()), message(kPolicyFormatInvalid));
  EXPECT_EQ(accept(Members().set("arch", "[]").array()), message(kPolicyFormatInvalid));
  EXPECT_EQ(accept("[]"), message(kPolicyFormatInvalid));
}

TEST(BootstrapPolicy, MembersInAnyOrderAndWhiteSpaceAround) {
  Members members;
  std::reverse(members.items.begin(), members.items.end());
  EXPECT_TRUE(accept(" \t\r\n" + members.object() + "\n\r\t "));
}

TEST(BootstrapPolicy, UnknownMembersAreIgnored) {
  EXPECT_TRUE(accept(Members().add("channel", R"("beta")").object()));
  EXPECT_TRUE(accept(Members().add("nested", R"({"arch":1,"arch":[1,{"x":null}]})").object()));
  EXPECT_TRUE(accept(Members().add("list", "[1,2.5,-3,true]").object()));
}

TEST(BootstrapPolicy, FormatErrors) {
  const std::vector<std::string> bodies = {
      Members().add("arch", R"("x86_64")").object(),          // a second "arch"
      Members().add("channel", "1").add("channel", "2").object(),  // a second unknown member
      Members().object() + "x",                               // text after the closing brace
      Members().object() + " {}",
      "\xEF\xBB\xBF" + Members().object(),                    // not white space before it
      "\f" + Members().object(),
      Members().drop("currentVersion").object(),
      Members().drop("target").object(),
      Members().drop("updateSha256").object(),
      Members().set("latestVersion", "1").object(),           // a string member that is not a string
      Members().set("target", "null").object(),
      Members().set("arch", "{}").object(),
      Members().set("downloadUrl", "[]").object(),
      Members().set("installerBytes", "-1").object(),
      Members().set("installerBytes", "1.5").object(),
      Members().set("installerBytes", "1e3").object(),
      Members().set("installerBytes", "100.0").object(),
      Members().set("installerBytes", "-0").object(),
      Members().set("installerBytes", R"("123")").object(),
      Members().set("installerBytes", "true").object(),
      Members().set("installerBytes", "{}").object(),
      Members().set("installerBytes", "18446744073709551616").object(),  // beyond 64 bits
      Members().set("target", "\"win\xFFows\"").object(),  // not UTF-8
      "{",
      "null",
      "\"text\"",
      "42",
      "{}",
      "{\"a\":1,}",
      Members().object().substr(1),
  };
  for (const auto& body : bodies) {
    EXPECT_EQ(accept(body), message(kPolicyFormatInvalid)) << body;
  }
}

// The JSON library takes a NUL byte for the end of its input: whatever follows one, a second
// "arch" included, must still make the body invalid.
TEST(BootstrapPolicy, NulByteAnywhereIsInvalid) {
  const std::string nul(1, '\0');
  const std::vector<std::string> bodies = {
      Members().object() + nul,
      Members().object() + nul + "x",
      Members().object() + nul + R"(,"arch":"arm64"})",
      Members().object() + "\n" + nul + "\n",
      nul + Members().object(),
      Members().array() + nul + "]",
  };
  for (const auto& body : bodies) {
    EXPECT_EQ(accept(body), message(kPolicyFormatInvalid));
  }
  const std::string object = Members().object();
  EXPECT_EQ(accept(object.substr(0, object.size() - 1) + nul + "}"), message(kPolicyFormatInvalid));
}

// Only the members the record uses are decoded strictly: an unknown member's number may lie
// beyond what a double holds.
TEST(BootstrapPolicy, UnknownMembersMayHoldNumbersBeyondDoubleRange) {
  const std::string huge(400, '9');
  for (const std::string& value : {std::string("1e400"), std::string("-1e400"), std::string("1E+400"),
                                   std::string("2.5e99999999999999999999"), huge, "-" + huge,
                                   std::string("[1e400,{\"x\":-1e400}]")}) {
    EXPECT_TRUE(accept(Members().add("extra", value).object())) << value;
  }
  EXPECT_TRUE(accept(Members().add("tiny", "1e-400").object()));
  // What follows such a number is still read strictly.
  EXPECT_EQ(accept(Members().add("extra", "1e400").add("arch", R"("x86_64")").object()),
            message(kPolicyFormatInvalid));
  EXPECT_EQ(accept(Members().add("extra", "1e400").object() + "x"), message(kPolicyFormatInvalid));
  // A used member with such a number stays refused with the format text.
  EXPECT_EQ(accept(Members().set("installerBytes", "1e400").object()), message(kPolicyFormatInvalid));
  EXPECT_EQ(accept(Members().set("installerBytes", huge).object()), message(kPolicyFormatInvalid));
  EXPECT_EQ(accept(Members().set("arch", "1e400").object()), message(kPolicyFormatInvalid));
  EXPECT_EQ(accept(Members().set("installerBytes", "1e400").array()), message(kPolicyFormatInvalid));
  // Digits inside a text are no number.
  EXPECT_TRUE(accept(Members().add("note", R"("1e400 \" 1e400")").object()));
}

TEST(BootstrapPolicy, DecodeKeepsWhatWasWritten) {
  const auto decoded = decode_bootstrap_policy(Members().set("installerBytes", "18446744073709551615").object());
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->installerBytes, 18446744073709551615u);
  EXPECT_EQ(decoded->arch, "x86_64");
  EXPECT_FALSE(decode_bootstrap_policy(Members().drop("installerBytes").object())->installerBytes.has_value());
  EXPECT_FALSE(decode_bootstrap_policy(Members().set("installerBytes", "null").object())->installerBytes.has_value());
}

// Each member's value lands in its own field in both forms, and only installerBytes may be left out.
TEST(BootstrapPolicy, EachMemberHasItsOwnFieldAndOnlyTheSizeIsOptional) {
  const BootstrapPolicy expected{"0.0.0", "1.0.0", "1.4.2", kUrl, kSha, 123456, "windows", "x86_64"};
  EXPECT_EQ(decode_bootstrap_policy(Members().object()), expected);
  EXPECT_EQ(decode_bootstrap_policy(Members().array()), expected);
  for (const auto& [name, json] : Members().items) {
    EXPECT_EQ(decode_bootstrap_policy(Members().drop(name).object()).has_value(), name == "installerBytes") << name;
  }
}

TEST(BootstrapPolicy, MismatchOfCurrentVersionTargetOrArch) {
  EXPECT_EQ(accept(Members().set("currentVersion", R"("1.0.0")").object()), message(kPolicyMismatch));
  EXPECT_EQ(accept(Members().set("target", R"("Windows")").object()), message(kPolicyMismatch));
  EXPECT_EQ(accept(Members().set("arch", R"("x64")").object()), message(kPolicyMismatch));
  EXPECT_EQ(accept(Members().set("arch", R"("X86_64")").object()), message(kPolicyMismatch));
}

TEST(BootstrapPolicy, Versions) {
  EXPECT_EQ(accept(Members().set("latestVersion", R"("1.02.3")").object()), message(kPolicyVersionInvalid));
  EXPECT_EQ(accept(Members().set("minSupportedVersion", R"("1.0")").object()), message(kPolicyVersionInvalid));
  EXPECT_TRUE(accept(Members().set("minSupportedVersion", R"("1.4.2")").object()));
  const std::string url129 =
      "\"https://download.velkotarn.com/v1/downloads/VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v1.2.9.exe\"";
  EXPECT_EQ(accept(Members()
                       .set("minSupportedVersion", R"("1.2.10")")
                       .set("latestVersion", R"("1.2.9")")
                       .set("downloadUrl", url129)
                       .object()),
            message(kPolicyMinimumAboveLatest));
}

TEST(BootstrapPolicy, Sha256) {
  const std::string sha63(63, 'a'), sha65(65, 'a');
  EXPECT_EQ(accept(Members().set("updateSha256", "\"" + sha63 + "\"").object()), message(kPolicySha256Invalid));
  EXPECT_EQ(accept(Members().set("updateSha256", "\"" + sha65 + "\"").object()), message(kPolicySha256Invalid));
  EXPECT_EQ(accept(Members().set("updateSha256", "\"" + std::string(63, 'a') + "g\"").object()),
            message(kPolicySha256Invalid));
  EXPECT_EQ(accept(Members().set("updateSha256", "\"" + std::string(64, 'F') + "\"").object())->updateSha256,
            std::string(64, 'F'));
}

TEST(BootstrapPolicy, InstallerAddressMessagesPassUnchanged) {
  EXPECT_EQ(accept(Members().set("downloadUrl", R"("ftp://x/y")").object()),
            message("下载地址必须是 HTTP 或 HTTPS。"));
  EXPECT_EQ(accept(Members().set("downloadUrl", std::string("\"") + kUrl + "?sig=1\"").object()),
            message("正式安装包地址必须使用Velko HTTPS 下载域名。"));
  EXPECT_EQ(accept(Members().set("latestVersion", R"("1.4.3")").object()),
            message("正式安装包地址与最新版本号不匹配。"));
}

TEST(BootstrapPolicy, InstallerSizeBounds) {
  EXPECT_EQ(accept(Members().set("installerBytes", "0").object()), message(kPolicySizeInvalid));
  EXPECT_EQ(accept(Members().set("installerBytes", "4294967296").object()), message(kPolicySizeInvalid));
  EXPECT_EQ(accept(Members().set("installerBytes", "18446744073709551615").object()), message(kPolicySizeInvalid));
  EXPECT_EQ(accept(Members().set("installerBytes", "4294967295").object())->installerBytes, 4294967295u);
  EXPECT_EQ(accept(Members().set("installerBytes", "1").object())->installerBytes, 1u);
}

TEST(BootstrapPolicy, MissingOrNullSizeIsProbedOnce) {
  for (const auto& members : {Members().drop("installerBytes"), Members().set("installerBytes", "null")}) {
    ProbeRecorder probe;
    const auto policy = accept(members.object(), &probe);
    ASSERT_TRUE(policy);
    EXPECT_EQ(policy->installerBytes, 777u);
    EXPECT_EQ(probe.calls, std::vector<std::string>{kUrl});
  }
  ProbeRecorder failing;
  failing.answer = std::unexpected("安装包服务器返回 HTTP 405。");
  EXPECT_EQ(accept(Members().drop("installerBytes").object(), &failing),
            message("读取正式安装包大小失败：安装包服务器返回 HTTP 405。"));
}

TEST(BootstrapPolicy, ChecksRunInTheStatedOrder) {
  // Mismatch before versions.
  EXPECT_EQ(accept(Members().set("arch", R"("x64")").set("latestVersion", R"("bad")").object()),
            message(kPolicyMismatch));
  // Versions before the digest and the address.
  EXPECT_EQ(accept(Members().set("latestVersion", R"("bad")").set("updateSha256", R"("x")").object()),
            message(kPolicyVersionInvalid));
  // Minimum above latest before the digest.
  EXPECT_EQ(accept(Members().set("minSupportedVersion", R"("9.9.9")").set("updateSha256", R"("x")").object()),
            message(kPolicyMinimumAboveLatest));
  // Digest before the address.
  EXPECT_EQ(accept(Members().set("updateSha256", R"("x")").set("downloadUrl", R"("ftp://x")").object()),
            message(kPolicySha256Invalid));
  // Address before the size, and a refused policy is never probed.
  ProbeRecorder probe;
  EXPECT_EQ(accept(Members().set("downloadUrl", R"("ftp://x")").drop("installerBytes").object(), &probe),
            message("下载地址必须是 HTTP 或 HTTPS。"));
  EXPECT_EQ(accept(Members().set("downloadUrl", R"("ftp://x")").set("installerBytes", "0").object()),
            message("下载地址必须是 HTTP 或 HTTPS。"));
  EXPECT_TRUE(probe.calls.empty());
  // Format before everything.
  EXPECT_EQ(accept(Members().set("arch", R"("x64")").add("arch", R"("x64")").object()), message(kPolicyFormatInvalid));
}

}  // namespace
}  // namespace velko
