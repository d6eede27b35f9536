#include "launch/launch_rules.h"

#include <gtest/gtest.h>

namespace velko {
namespace {

using namespace std::chrono_literals;

TEST(LaunchRules, EarlyExitTextIsSigned) {
  EXPECT_EQ(early_exit_text(3), "VelkoTarn工作台尚未显示主窗口便已退出，错误码 3。");
  EXPECT_EQ(early_exit_text(0xC0000005u), "VelkoTarn工作台尚未显示主窗口便已退出，错误码 -1073741819。");
}

TEST(LaunchRules, LimitOverrideOnlyInTestBuilds) {
  EXPECT_EQ(launch_time_limit(false, std::nullopt), 90s);
  EXPECT_EQ(launch_time_limit(false, "1500"), 90s);
  EXPECT_EQ(launch_time_limit(true, std::nullopt), 90s);
  EXPECT_EQ(launch_time_limit(true, "1500"), 1500ms);
  for (const char* bad : {"", "0", "-5", "12x", " 12", "99999999999"}) EXPECT_EQ(launch_time_limit(true, bad), 90s) << bad;
}

}  // namespace
}  // namespace velko
