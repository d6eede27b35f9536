#include "detect/running_workbench_rules.h"

#include <gtest/gtest.h>

namespace velko {
namespace {

constexpr char kAdvice[] =
    "请先保存并关闭所有VelkoTarn工作台窗口，然后点击“重新检测”；如果仍然提示，请退出更新助手后重新打开。";

TEST(UnopenedCandidate, GoneProcessesAreSkipped) {
  EXPECT_EQ(unopened_candidate_outcome(4242, 87), CandidateOutcome::Ended);
  EXPECT_EQ(unopened_candidate_outcome(4242, 1168), CandidateOutcome::Ended);
}

TEST(UnopenedCandidate, AnyOtherFailureNamesPidAndCode) {
  const auto denied = unopened_candidate_outcome(4242, 5);
  ASSERT_FALSE(denied);
  EXPECT_EQ(denied.error(), std::string("无法检查正在运行的工作台进程（PID 4242，错误码 5）。") + kAdvice);
  const auto large = unopened_candidate_outcome(4294967295u, 3221225506u);
  ASSERT_FALSE(large);
  EXPECT_EQ(large.error(), std::string("无法检查正在运行的工作台进程（PID 4294967295，错误码 3221225506）。") + kAdvice);
}

TEST(ExitCode, OnlyAReadCodeOtherThanStillActiveMeansEnded) {
  EXPECT_TRUE(exit_code_means_ended(0u));
  EXPECT_TRUE(exit_code_means_ended(1u));
  EXPECT_TRUE(exit_code_means_ended(258u));
  EXPECT_TRUE(exit_code_means_ended(260u));
  EXPECT_TRUE(exit_code_means_ended(0xC0000005u));
  EXPECT_FALSE(exit_code_means_ended(259u));
  EXPECT_FALSE(exit_code_means_ended(std::nullopt));
}

TEST(UnreadableCandidate, EndedIsSkippedLiveIsReportedWithTheQueryCode) {
  EXPECT_EQ(unreadable_candidate_outcome(77, 31, 0u), CandidateOutcome::Ended);
  EXPECT_EQ(unreadable_candidate_outcome(77, 31, 1u), CandidateOutcome::Ended);
  for (const std::optional<std::uint32_t> exitCode : {std::optional<std::uint32_t>(259u), std::optional<std::uint32_t>()}) {
    const auto live = unreadable_candidate_outcome(77, 31, exitCode);
    ASSERT_FALSE(live);
    EXPECT_EQ(live.error(), std::string("无法读取正在运行的工作台路径（PID 77，错误码 31）。") + kAdvice);
  }
}

}  // namespace
}  // namespace velko
