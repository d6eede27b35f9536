#include "policy/policy_request.h"

#include <gtest/gtest.h>

namespace velko {
namespace {

TEST(PolicyRequest, StepTextsCarryTheDecimalCode) {
  EXPECT_EQ(with_error_code(kPolicySendFailed, 12029), "发送更新策略请求失败，错误码 12029。");
  EXPECT_EQ(with_error_code(kProbeSessionFailed, 0), "初始化安装包检测失败，错误码 0。");
  EXPECT_EQ(with_error_code(kPolicyReadFailed, 4294967295u), "读取更新策略数据失败，错误码 4294967295。");
  EXPECT_EQ(policy_status_text(503), "更新策略服务器返回 HTTP 503。");
  EXPECT_EQ(probe_status_text(405), "安装包服务器返回 HTTP 405。");
}

TEST(PolicyRequest, ReadsAreBoundedByChunkAndLimit) {
  EXPECT_EQ(policy_read_size(0, 100), 100u);
  EXPECT_EQ(policy_read_size(0, 1'000'000), 65'536u);
  EXPECT_EQ(policy_read_size(262'000, 65'536), 144u);
  EXPECT_EQ(policy_read_size(262'143, 10), 1u);
  // Exactly the limit held and more offered: too large.
  EXPECT_EQ(policy_read_size(262'144, 1), std::nullopt);
  EXPECT_EQ(policy_read_size(262'145, 1), std::nullopt);
}

}  // namespace
}  // namespace velko
