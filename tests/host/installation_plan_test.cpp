#include "install/installation_plan.h"

#include <gtest/gtest.h>

namespace velko {
namespace {

using Plan = std::vector<ComponentKind>;

Plan plan_for(bool webView2Present, bool workbenchCurrent) {
  ComponentStatuses statuses;  // the system updates are missing too: never planned
  statuses[ComponentKind::WebView2Runtime].present = webView2Present;
  statuses[ComponentKind::Workbench].present = workbenchCurrent;
  return plan_installation(statuses);
}

TEST(InstallationPlan, OrderAndOmissions) {
  EXPECT_EQ(plan_for(false, false), (Plan{ComponentKind::WebView2Runtime, ComponentKind::Workbench}));
  EXPECT_EQ(plan_for(true, false), (Plan{ComponentKind::Workbench}));
  EXPECT_EQ(plan_for(false, true), (Plan{ComponentKind::WebView2Runtime}));
  EXPECT_TRUE(plan_for(true, true).empty());
}

TEST(InstallationPlan, AcceptedInstallerExitCodes) {
  for (std::int32_t code : {0, 1641, 3010, 2359302}) {
    EXPECT_TRUE(is_accepted_installer_exit(code)) << code;
    EXPECT_TRUE(check_installer_exit(code, "安装程序"));
  }
  for (std::int32_t code : std::initializer_list<std::int32_t>{1, -1, 1640, 3011, 2359303, static_cast<std::int32_t>(0x80240006u)}) EXPECT_FALSE(is_accepted_installer_exit(code)) << code;
}

TEST(InstallationPlan, RejectedExitCodesInSignedDecimal) {
  EXPECT_EQ(check_installer_exit(1, kInstallerLabel).error(), "安装程序执行失败，错误码 1。");
  EXPECT_EQ(check_installer_exit(static_cast<std::int32_t>(0xC0000005u), kInstallerLabel).error(),
            "安装程序执行失败，错误码 -1073741819。");
  EXPECT_EQ(check_installer_exit(-2147483647 - 1, "X").error(), "X执行失败，错误码 -2147483648。");
}

TEST(InstallationPlan, StepAndMissingTexts) {
  EXPECT_EQ(workbench_step_text(false, "D:\\VelkoTarn工作台"), "正在安装VelkoTarn工作台到 D:\\VelkoTarn工作台。");
  EXPECT_EQ(workbench_step_text(true, "C:\\Program Files\\W"), "正在更新VelkoTarn工作台到 C:\\Program Files\\W。");
  EXPECT_EQ(missing_staged_files_text(component_display_name(ComponentKind::WebView2Runtime, "1.0.0")),
            "WebView2 运行环境 下载结果丢失，已停止安装。");
}

TEST(InstallationPlan, WebView2WaitLimit) {
  using namespace std::chrono_literals;
  EXPECT_FALSE(webview2_wait_expired(0s));
  EXPECT_FALSE(webview2_wait_expired(599999ms));
  EXPECT_TRUE(webview2_wait_expired(600s));
  EXPECT_TRUE(webview2_wait_expired(601s));
}

}  // namespace
}  // namespace velko
