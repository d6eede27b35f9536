#include "state/bootstrap_state.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "ui/component_names.h"
#include "ui/state_texts.h"

namespace velko {
namespace {

using namespace std::chrono_literals;

TEST(ElapsedText, Formats) {
  EXPECT_EQ(format_elapsed(0s), "00分00秒");
  EXPECT_EQ(format_elapsed(75s), "01分15秒");
  EXPECT_EQ(format_elapsed(3599s), "59分59秒");
  EXPECT_EQ(format_elapsed(3600s), "1小时00分00秒");
  EXPECT_EQ(format_elapsed(3725s), "1小时02分05秒");
  EXPECT_EQ(format_elapsed(36000s), "10小时00分00秒");
}

TEST(ElapsedText, FromTheStepClock) {
  BootstrapState state;
  const auto now = std::chrono::steady_clock::time_point(1000s);
  EXPECT_EQ(elapsed_text(state, now), "00分00秒");
  state.stepClock.access_or_abort([&](StepClockValue& clock) { clock = now - 75s; });
  EXPECT_EQ(elapsed_text(state, now), "01分15秒");
  state.stepClock.access_or_abort([&](StepClockValue& clock) { clock = now + 5s; });
  EXPECT_EQ(elapsed_text(state, now), "00分00秒");
}

TEST(Components, CountMissingIgnoresSystemUpdates) {
  EnvironmentReport report;
  EXPECT_EQ(count_missing_components(report.components), 2);
  report.components[ComponentKind::WebView2Runtime].present = true;
  EXPECT_EQ(count_missing_components(report.components), 1);
  report.components[ComponentKind::Workbench].present = true;
  EXPECT_EQ(count_missing_components(report.components), 0);
  for (ComponentKind kind : {ComponentKind::ServicePack1, ComponentKind::Kb4490628, ComponentKind::Kb4474419}) {
    report.components[kind].present = false;
  }
  EXPECT_EQ(count_missing_components(report.components), 0);
}

TEST(Components, MarkInstalled) {
  EnvironmentReport report;
  mark_component_installed(report, ComponentKind::Generic);
  EXPECT_TRUE(report.components[ComponentKind::Generic].staged);
  mark_component_installed(report, ComponentKind::Kb4490628);
  EXPECT_TRUE(report.components[ComponentKind::Kb4490628].present);
  EXPECT_TRUE(report.components[ComponentKind::Kb4490628].staged);
  mark_component_installed(report, ComponentKind::ServicePack1);
  EXPECT_TRUE(report.components[ComponentKind::ServicePack1].present);
  mark_component_installed(report, ComponentKind::Kb4474419);
  EXPECT_TRUE(report.components[ComponentKind::Kb4474419].present);
  const EnvironmentReport before = report;
  mark_component_installed(report, static_cast<ComponentKind>(6));
  EXPECT_EQ(report, before);
}

TEST(DisplayNames, ShortAndLong) {
  EXPECT_EQ(component_display_name(ComponentKind::Generic, "1.0.0"), "安装组件");
  EXPECT_EQ(component_display_name(ComponentKind::ServicePack1, "1.0.0"), "Service Pack 1");
  EXPECT_EQ(component_display_name(ComponentKind::Kb4490628, "1.0.0"), "KB4490628");
  EXPECT_EQ(component_display_name(ComponentKind::Kb4474419, "1.0.0"), "KB4474419");
  EXPECT_EQ(component_display_name(ComponentKind::WebView2Runtime, "1.0.0"), "WebView2 运行环境");
  EXPECT_EQ(component_display_name(static_cast<ComponentKind>(17), "1.0.0"), "安装组件");
  EXPECT_EQ(component_long_name(ComponentKind::Kb4490628, "1.0.0"), "KB4490628 服务堆栈补丁");
  EXPECT_EQ(component_long_name(ComponentKind::Kb4474419, "1.0.0"), "KB4474419 SHA-2 补丁");
  EXPECT_EQ(component_long_name(ComponentKind::WebView2Runtime, "1.0.0"), "WebView2 Evergreen 运行环境");
  EXPECT_EQ(component_long_name(ComponentKind::Generic, "1.0.0"), "安装组件");
  EXPECT_EQ(component_long_name(static_cast<ComponentKind>(-3), "1.0.0"), "安装组件");
}

TEST(DisplayNames, WorkbenchNameFollowsThePolicyOfTheGivenState) {
  BootstrapState state;
  EXPECT_EQ(release_version_text(current_policy(state)), "等待检测");
  EXPECT_EQ(component_display_name(ComponentKind::Workbench, release_version_text(current_policy(state))),
            "VelkoTarn工作台 v等待检测");
  ASSERT_TRUE(store_policy(state, ReleasePolicy{"1.4.2", "https://h/x", std::string(64, 'A'), 10}));
  EXPECT_EQ(release_version_text(current_policy(state)), "1.4.2");
  EXPECT_EQ(component_display_name(ComponentKind::Workbench, release_version_text(current_policy(state))),
            "VelkoTarn工作台 v1.4.2");
  EXPECT_EQ(component_long_name(ComponentKind::Workbench, "1.4.2"), "VelkoTarn工作台 v1.4.2");
  // The process-wide state is not what the given one is read through.
  EXPECT_EQ(release_version_text(current_policy(bootstrap_state())), "等待检测");
}

TEST(PolicySlot, MissingAndAbandoned) {
  BootstrapState state;
  EXPECT_EQ(current_policy(state), std::unexpected(std::string("尚未取得正式版本策略，请重新检测。")));
  ASSERT_TRUE(store_policy(state, ReleasePolicy{"1.0.0", "u", std::string(64, 'F'), 1}));
  EXPECT_EQ(current_policy(state)->latestVersion, "1.0.0");
  EXPECT_THROW(state.policySlot.access([](std::optional<ReleasePolicy>&) { throw std::runtime_error("holder failed"); }),
               std::runtime_error);
  EXPECT_EQ(current_policy(state), std::unexpected(std::string("更新策略状态不可用，请重新打开助手。")));
  EXPECT_EQ(store_policy(state, ReleasePolicy{}), std::unexpected(std::string("更新策略状态不可用，请重新打开助手。")));
}

}  // namespace
}  // namespace velko
