#include "ui/view_texts.h"

#include <gtest/gtest.h>

#include "model/component_kind.h"
#include "ui/scene.h"
#include "ui/window_timing.h"
#include "ui_test_state.h"

namespace velko {
namespace {

using test::sample_inputs;
using test::supported_state;
using W = WorkbenchInstallState;

TEST(PrimaryLabel, EveryPhase) {
  EXPECT_EQ(primary_label(*supported_state(UiPhase::Checking, W::None)), "正在检测");
  EXPECT_EQ(primary_label(*supported_state(UiPhase::Ready, W::None)), "开始安装");
  EXPECT_EQ(primary_label(*supported_state(UiPhase::Ready, W::Older)), "立即更新");
  EXPECT_EQ(primary_label(*supported_state(UiPhase::Ready, W::Current)), "打开程序");
  EXPECT_EQ(primary_label(*supported_state(UiPhase::Downloading, W::None)), "正在下载");
  EXPECT_EQ(primary_label(*supported_state(UiPhase::Installing, W::None)), "正在安装");
  EXPECT_EQ(primary_label(*supported_state(UiPhase::Completed, W::Current)), "打开程序");
  EXPECT_EQ(primary_label(*supported_state(UiPhase::Failed, W::None)), "操作失败");
  EXPECT_EQ(primary_label(*supported_state(UiPhase::WaitingForWorkbenchExit, W::Older)), "等待退出");

  auto unsupported = supported_state(UiPhase::Ready, W::Current);
  unsupported->environment->supported = false;
  EXPECT_EQ(primary_label(*unsupported), "系统不支持");
  unsupported->environment.reset();
  EXPECT_EQ(primary_label(*unsupported), "系统不支持");
}

TEST(PhaseTexts, EveryPhaseAndWorkbenchState) {
  struct Case {
    UiPhase phase;
    W workbench;
    const char* title;
    const char* subtitle;
  };
  const Case cases[] = {
      {UiPhase::Checking, W::None, "正在检查运行环境", "将根据当前 Windows 版本自动选择合适的安装方案。"},
      {UiPhase::Ready, W::None, "环境检测完成", "当前电脑未安装工作台，将下载缺少的组件后完成安装。"},
      {UiPhase::Ready, W::Older, "发现可更新的工作台", "更新助手会等待旧工作台正常退出，并自动完成更新。"},
      {UiPhase::Ready, W::Current, "当前已经是目标版本", "所需组件均已就绪，可以直接打开VelkoTarn工作台。"},
      {UiPhase::Downloading, W::None, "正在下载缺失组件", "下载完成后会先校验文件，再开始安装。"},
      {UiPhase::Installing, W::Older, "正在安装当前组件", "安装期间请勿关闭程序或断开电源。"},
      {UiPhase::Completed, W::Older, "更新完成", "VelkoTarn工作台已经更新完成，可以重新打开程序。"},
      {UiPhase::Completed, W::None, "安装完成", "所需组件已经安装完成，可以开始使用VelkoTarn工作台。"},
      {UiPhase::Failed, W::None, "操作未完成", "已停止当前流程，没有通过校验的文件不会执行。"},
      {UiPhase::WaitingForWorkbenchExit, W::Older, "正在等待旧工作台退出",
       "请在工作台中完成保存并正常关闭；检测到退出后助手会自动继续更新。"},
  };
  for (const Case& c : cases) {
    const PhaseTexts texts = phase_texts(*supported_state(c.phase, c.workbench));
    EXPECT_EQ(texts.title, c.title);
    EXPECT_EQ(texts.subtitle, c.subtitle);
  }
}

TEST(HeaderAndFooter, ByPhase) {
  auto state = supported_state(UiPhase::Downloading, W::None);
  EXPECT_EQ(header_label(*state), "正在安装");
  state->updateMode = true;
  EXPECT_EQ(header_label(*state), "正在更新");
  state->phase = UiPhase::WaitingForWorkbenchExit;
  EXPECT_EQ(header_label(*state), "等待关闭程序");
  EXPECT_EQ(footer_hint(*state), "工作台正在正常退出；助手确认进程结束后会自动继续更新。");
  state->phase = UiPhase::Failed;
  EXPECT_EQ(header_label(*state), "操作未完成");
  EXPECT_EQ(footer_hint(*state), "可点击重新检测再次尝试；未通过 SHA256 校验的文件绝不会执行。");
  state->phase = UiPhase::Ready;
  state->workbenchState = W::Older;
  EXPECT_EQ(header_label(*state), "准备更新");
  EXPECT_EQ(footer_hint(*state), "更新会先校验下载文件，并在替换前再次确认已安装程序没有运行。");
  state->workbenchState = W::None;
  EXPECT_EQ(header_label(*state), "准备安装");
  EXPECT_EQ(footer_hint(*state), "只下载当前电脑缺少的组件；下载完成后会先校验文件，再开始安装。");
  EXPECT_EQ(version_pill_text(sample_inputs()), "目标版本  v2.4.1");
  EXPECT_EQ(install_path_text(*state), "D:\\VelkoTarn工作台");
  state->installDirectory.reset();
  EXPECT_EQ(install_path_text(*state), "尚未选择");
}

TEST(StatusLine, EveryPhase) {
  const SceneInputs inputs = sample_inputs();
  auto state = supported_state(UiPhase::Checking, W::None);
  state->progressPercent = 37;
  EXPECT_EQ(status_line(*state, inputs), "正在检测组件 · 37%");

  state->phase = UiPhase::Ready;
  EXPECT_EQ(status_line(*state, inputs), "检测完成 · 发现 2 项需要安装");
  state->environment->components[ComponentKind::WebView2Runtime].present = true;
  EXPECT_EQ(status_line(*state, inputs), "检测完成 · 发现 1 项需要安装");
  state->workbenchState = W::Older;
  EXPECT_EQ(status_line(*state, inputs), "检测完成 · 已安装工作台，可以在线更新");
  state->workbenchState = W::Current;
  state->environment->components[ComponentKind::Workbench].present = true;
  EXPECT_EQ(status_line(*state, inputs), "检测完成 · 当前已经是目标版本");
  state->environment->components[ComponentKind::WebView2Runtime].present = false;
  EXPECT_EQ(status_line(*state, inputs), "检测完成 · 发现 1 项需要安装");
  state->environment->supported = false;
  EXPECT_EQ(status_line(*state, inputs), "当前系统不在支持范围，不会下载或安装组件");

  state = supported_state(UiPhase::Downloading, W::None);
  EXPECT_EQ(status_line(*state, inputs), "正在下载：VelkoTarn工作台 v2.4.1");
  state->statusText = "正在下载 50%";
  EXPECT_EQ(status_line(*state, inputs), "正在下载 50%");

  state->phase = UiPhase::Installing;
  EXPECT_EQ(status_line(*state, inputs), "正在安装 VelkoTarn工作台 v2.4.1 · 已用时 01分15秒 · 请勿关闭或断电");
  state->updateMode = true;
  EXPECT_EQ(status_line(*state, inputs), "正在更新 VelkoTarn工作台 v2.4.1 · 已用时 01分15秒 · 请勿关闭或断电");

  state->phase = UiPhase::Completed;
  EXPECT_EQ(status_line(*state, inputs), "VelkoTarn工作台已经更新完成");
  state->updateMode = false;
  EXPECT_EQ(status_line(*state, inputs), "全部缺失组件已经安装完成");

  state->phase = UiPhase::Failed;
  state->statusText.reset();
  EXPECT_EQ(status_line(*state, inputs), "安装失败，请重新检测后再试。");
  state->statusText = "下载失败：连接被重置";
  EXPECT_EQ(status_line(*state, inputs), "下载失败：连接被重置");

  state->phase = UiPhase::WaitingForWorkbenchExit;
  state->statusText.reset();
  EXPECT_EQ(status_line(*state, inputs), "正在等待旧工作台正常退出；退出后将自动继续更新。");
  state->statusText = "已检测到工作台退出，正在自动继续更新。";
  EXPECT_EQ(status_line(*state, inputs), "已检测到工作台退出，正在自动继续更新。");
}

TEST(Rows, CheckingShowsPendingEverywhere) {
  const SceneInputs inputs = sample_inputs();
  auto state = supported_state(UiPhase::Checking, W::Current);
  EXPECT_EQ(system_row_status(*state), 0);
  EXPECT_EQ(system_row_value(*state), "正在检测…");
  for (const ComponentRow& row : kComponentTable) {
    EXPECT_EQ(row_status(*state, row.kind), 0);
    EXPECT_EQ(row_value_text(*state, inputs, row.kind), "正在检测…");
  }
}

TEST(Rows, UnsupportedSystemShowsMissingEverywhere) {
  const SceneInputs inputs = sample_inputs();
  auto state = supported_state(UiPhase::Ready, W::None);
  state->environment->supported = false;
  state->environment->systemLabel = "Windows 7 x64 · Build 7601";
  state->environment->verdict = "仅支持 Windows 10/11 x64";
  EXPECT_EQ(system_row_status(*state), -1);
  EXPECT_EQ(system_row_value(*state), "Windows 7 x64 · Build 7601 · 仅支持 Windows 10/11 x64");
  state->environment->verdict.clear();
  EXPECT_EQ(system_row_value(*state), "Windows 7 x64 · Build 7601");
  for (const ComponentRow& row : kComponentTable) {
    EXPECT_EQ(row_status(*state, row.kind), -1);
    EXPECT_EQ(row_value_text(*state, inputs, row.kind), "当前系统不支持");
  }
}

TEST(Rows, PatchesAreNotNeededOnSupportedSystems) {
  const SceneInputs inputs = sample_inputs();
  for (UiPhase phase : {UiPhase::Ready, UiPhase::Downloading, UiPhase::Completed, UiPhase::Failed}) {
    auto state = supported_state(phase, W::None);
    EXPECT_EQ(system_row_status(*state), 1);
    for (int kind = 1; kind <= 3; ++kind) {
      EXPECT_EQ(row_status(*state, ComponentKind(kind)), 1);
      EXPECT_EQ(row_value_text(*state, inputs, ComponentKind(kind)), "当前系统不需要");
    }
  }
}

TEST(Rows, WorkbenchByWorkbenchState) {
  const SceneInputs inputs = sample_inputs();
  const auto workbench = ComponentKind::Workbench;
  auto state = supported_state(UiPhase::Ready, W::None);
  EXPECT_EQ(row_status(*state, workbench), -1);
  EXPECT_EQ(row_value_text(*state, inputs, workbench), "未安装 · v2.4.1 · 下载 123.5 MB");
  state->environment->components[ComponentKind::Workbench].staged = true;
  EXPECT_EQ(row_status(*state, workbench), 0);

  state = supported_state(UiPhase::Ready, W::Older);
  EXPECT_EQ(row_value_text(*state, inputs, workbench), "已安装 · 可更新 · 下载 123.5 MB");
  state->phase = UiPhase::WaitingForWorkbenchExit;
  state->currentComponent = workbench;
  EXPECT_EQ(row_value_text(*state, inputs, workbench), "正在等待工作台正常退出");
  EXPECT_EQ(row_status(*state, workbench), 0);

  state = supported_state(UiPhase::Ready, W::Current);
  EXPECT_EQ(row_status(*state, workbench), 1);
  EXPECT_EQ(row_value_text(*state, inputs, workbench), "已是当前版本");

  state = supported_state(UiPhase::Downloading, W::None);
  state->currentComponent = workbench;
  state->progressPercent = 42;
  EXPECT_EQ(row_status(*state, workbench), 0);
  EXPECT_EQ(row_value_text(*state, inputs, workbench), "正在下载 · 42% · 123.5 MB");
  state->currentComponent = ComponentKind::WebView2Runtime;
  EXPECT_EQ(row_status(*state, workbench), -1);
  EXPECT_EQ(row_value_text(*state, inputs, workbench), "未安装 · v2.4.1 · 下载 123.5 MB");

  state = supported_state(UiPhase::Installing, W::Older);
  state->currentComponent = workbench;
  EXPECT_EQ(row_value_text(*state, inputs, workbench), "正在更新 · 已用时 01分15秒");
  state->updateMode = false;
  EXPECT_EQ(row_value_text(*state, inputs, workbench), "正在安装 · 已用时 01分15秒");

  state = supported_state(UiPhase::Completed, W::None);
  EXPECT_EQ(row_value_text(*state, inputs, workbench), "未安装 · v2.4.1 · 下载 123.5 MB");
  state->workbenchState = W::Current;
  EXPECT_EQ(row_value_text(*state, inputs, workbench), "已是当前版本");
}

TEST(Rows, WebView2Runtime) {
  const SceneInputs inputs = sample_inputs();
  const auto webView2 = ComponentKind::WebView2Runtime;
  auto state = supported_state(UiPhase::Ready, W::None);
  EXPECT_EQ(row_status(*state, webView2), -1);
  EXPECT_EQ(row_value_text(*state, inputs, webView2), "未安装 · 下载 1.7 MB");
  state->environment->components[ComponentKind::WebView2Runtime].staged = true;
  EXPECT_EQ(row_status(*state, webView2), 0);
  EXPECT_EQ(row_value_text(*state, inputs, webView2), "已下载 · 待安装");

  state = supported_state(UiPhase::Downloading, W::None);
  state->currentComponent = webView2;
  state->progressPercent = 100;
  EXPECT_EQ(row_status(*state, webView2), 0);
  EXPECT_EQ(row_value_text(*state, inputs, webView2), "正在下载 · 100% · 1.7 MB");

  state->phase = UiPhase::Installing;
  EXPECT_EQ(row_value_text(*state, inputs, webView2), "正在安装 · 已用时 01分15秒");
  state->updateMode = true;  // the runtime is always installed, never updated
  EXPECT_EQ(row_value_text(*state, inputs, webView2), "正在安装 · 已用时 01分15秒");

  state->environment->components[ComponentKind::WebView2Runtime].present = true;
  EXPECT_EQ(row_status(*state, webView2), 1);
  EXPECT_EQ(row_value_text(*state, inputs, webView2), "已安装");
}

TEST(Rows, EveryPhaseAndWorkbenchStateForTheTwoInstallableRows) {
  const SceneInputs inputs = sample_inputs();
  struct Case {
    UiPhase phase;
    W workbench;
    ComponentKind current;
    const char* webView2;
    const char* workbench_;
  };
  const Case cases[] = {
      {UiPhase::Checking, W::Older, ComponentKind::Generic, "正在检测…", "正在检测…"},
      {UiPhase::Ready, W::None, ComponentKind::WebView2Runtime, "未安装 · 下载 1.7 MB", "未安装 · v2.4.1 · 下载 123.5 MB"},
      {UiPhase::Ready, W::Older, ComponentKind::Workbench, "未安装 · 下载 1.7 MB", "已安装 · 可更新 · 下载 123.5 MB"},
      {UiPhase::Ready, W::Current, ComponentKind::Workbench, "未安装 · 下载 1.7 MB", "已是当前版本"},
      {UiPhase::Downloading, W::Older, ComponentKind::WebView2Runtime, "正在下载 · 37% · 1.7 MB",
       "已安装 · 可更新 · 下载 123.5 MB"},
      {UiPhase::Downloading, W::Older, ComponentKind::Workbench, "未安装 · 下载 1.7 MB", "正在下载 · 37% · 123.5 MB"},
      {UiPhase::Installing, W::None, ComponentKind::WebView2Runtime, "正在安装 · 已用时 01分15秒",
       "未安装 · v2.4.1 · 下载 123.5 MB"},
      {UiPhase::Completed, W::Current, ComponentKind::Workbench, "未安装 · 下载 1.7 MB", "已是当前版本"},
      {UiPhase::Failed, W::None, ComponentKind::Workbench, "未安装 · 下载 1.7 MB", "未安装 · v2.4.1 · 下载 123.5 MB"},
      {UiPhase::Failed, W::Older, ComponentKind::Workbench, "未安装 · 下载 1.7 MB", "已安装 · 可更新 · 下载 123.5 MB"},
      {UiPhase::WaitingForWorkbenchExit, W::Older, ComponentKind::Workbench, "未安装 · 下载 1.7 MB",
       "正在等待工作台正常退出"},
  };
  for (const Case& c : cases) {
    auto state = supported_state(c.phase, c.workbench);
    state->currentComponent = c.current;
    state->progressPercent = 37;
    SCOPED_TRACE(static_cast<int>(c.phase));
    EXPECT_EQ(row_value_text(*state, inputs, ComponentKind::WebView2Runtime), c.webView2);
    EXPECT_EQ(row_value_text(*state, inputs, ComponentKind::Workbench), c.workbench_);
  }
}

TEST(LaunchTexts, SwitchOnThe42ndTickAndOnFailure) {
  BootstrapState state;
  state.launchMode = true;
  EXPECT_EQ(launch_heading(state), "正在启动Velko Tarn 工作台");
  EXPECT_EQ(launch_status_line(state, kLaunchConnectingTicks), "正在连接Velko服务器");
  EXPECT_EQ(launch_status_line(state, kLaunchConnectingTicks + 1), "正在完成程序安全校验");
  EXPECT_EQ(launch_hint(state), "首次启动或程序更新后可能需要一些时间，请勿重复点击。");
  state.phase = UiPhase::Failed;
  EXPECT_EQ(launch_heading(state), "Velko Tarn 工作台启动失败");
  EXPECT_EQ(launch_status_line(state, 0), "请关闭此提示后重新打开桌面快捷方式。");
  state.statusText = "没有找到工作台安装目录。";
  EXPECT_EQ(launch_status_line(state, 0), "没有找到工作台安装目录。");
  EXPECT_EQ(launch_hint(state), "按 Esc 或关闭窗口后重试。");
}

}  // namespace
}  // namespace velko
