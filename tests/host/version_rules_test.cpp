#include "policy/version.h"

#include <gtest/gtest.h>

namespace velko {
namespace {

TEST(VersionRules, Validity) {
  for (const char* good : {"1.2.3", "0.0.0", "65535.0.10"}) EXPECT_TRUE(is_valid_version(good)) << good;
  for (const char* bad : {"1.2", "1.2.3.4", "1.2.", ".1.2", "01.2.3", "1.2.3-beta", "v1.2.3", " 1.2.3", "65536.0.0",
                          "", "1..2", "1.2.+3"}) {
    EXPECT_FALSE(is_valid_version(bad)) << bad;
  }
}

TEST(VersionRules, Compare) {
  EXPECT_EQ(*compare_versions("1.10.0", "1.9.9"), std::strong_ordering::greater);
  EXPECT_EQ(*compare_versions("2.0.0", "1.65535.65535"), std::strong_ordering::greater);
  EXPECT_EQ(*compare_versions("1.2.3", "1.2.3"), std::strong_ordering::equal);
  EXPECT_EQ(*compare_versions("1.2.3", "1.2.4"), std::strong_ordering::less);
  EXPECT_EQ(compare_versions("x", "y").error(), "版本号格式无效：x");
  EXPECT_EQ(compare_versions("1.0.0", "y").error(), "版本号格式无效：y");
}

}  // namespace
}  // namespace velko
