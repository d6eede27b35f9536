#include "policy/version_rules.h"

#include <gtest/gtest.h>

namespace velko {
namespace {

TEST(VersionRules, ValidVersions) {
  for (const char* text : {"1.2.3", "0.0.0", "65535.0.10", "10.20.30", "65535.65535.65535"}) {
    EXPECT_TRUE(is_valid_version(text)) << text;
  }
}

TEST(VersionRules, InvalidVersions) {
  for (const char* text : {"1.2", "1.2.3.4", "1.2.", ".1.2", "01.2.3", "1.2.3-beta", "v1.2.3", " 1.2.3", "65536.0.0",
                           "", "1..2", "1.2.3 ", "00.1.2", "1.00.2", "1.2.01", "+1.2.3", "-1.2.3", "1.2.a",
                           "1,2,3", "99999999999999999999.0.0", "1.2.3\n"}) {
    EXPECT_FALSE(is_valid_version(text)) << text;
  }
  EXPECT_FALSE(is_valid_version(std::string_view("1.2.3\0", 6)));
}

TEST(VersionRules, ParseGivesTheNumbers) {
  EXPECT_EQ(parse_version("65535.0.10"), (ProductVersion{65535, 0, 10}));
  EXPECT_EQ(parse_version("1.02.3"), std::unexpected<std::string>("版本号格式无效：1.02.3"));
  EXPECT_EQ(parse_version(""), std::unexpected<std::string>("版本号格式无效："));
}

TEST(VersionRules, CompareIsNumericPerComponent) {
  EXPECT_EQ(compare_versions("1.10.0", "1.9.9"), std::strong_ordering::greater);
  EXPECT_EQ(compare_versions("2.0.0", "1.65535.65535"), std::strong_ordering::greater);
  EXPECT_EQ(compare_versions("1.2.3", "1.2.3"), std::strong_ordering::equal);
  EXPECT_EQ(compare_versions("1.2.9", "1.2.10"), std::strong_ordering::less);
  EXPECT_EQ(compare_versions("0.0.1", "0.1.0"), std::strong_ordering::less);
}

TEST(VersionRules, CompareReportsTheFirstInvalidText) {
  EXPECT_EQ(compare_versions("x", "y"), std::unexpected<std::string>("版本号格式无效：x"));
  EXPECT_EQ(compare_versions("1.0.0", "y"), std::unexpected<std::string>("版本号格式无效：y"));
  EXPECT_EQ(compare_versions("1.0", "1.0.0"), std::unexpected<std::string>("版本号格式无效：1.0"));
}

}  // namespace
}  // namespace velko
