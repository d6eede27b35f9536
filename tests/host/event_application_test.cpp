#include "state/event_application.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace velko {
namespace {

using namespace std::chrono_literals;

// Records what event application asked of the rest of the program.
class RecordingHooks : public StateHooks {
 public:
  void classify_windows(BootstrapState& state) override {
    ++classifications;
    state.workbenchState = WorkbenchInstallState::Older;
    state.updateMode = true;
  }
  std::expected<void, std::string> relaunch_after_update(
      const std::expected<std::string, std::string>& installDirectory) override {
    relaunchInputs.push_back(installDirectory);
    return relaunchResult;
  }
  void post_quit() override { ++quits; }
  std::chrono::steady_clock::time_point now() override { return clock; }

  int classifications = 0;
  int quits = 0;
  std::vector<std::expected<std::string, std::string>> relaunchInputs;
  std::expected<void, std::string> relaunchResult;
  std::chrono::steady_clock::time_point clock = std::chrono::steady_clock::time_point(100s);
};

bool has_receiver(BootstrapState& state) {
  return state.receiverSlot.access_or_abort([](std::optional<EventReceiver>& slot) { return slot.has_value(); });
}

StepClockValue step_clock(BootstrapState& state) {
  return state.stepClock.access_or_abort([](StepClockValue& clock) { return clock; });
}

class EventApplication : public ::testing::Test {
 protected:
  void drain(std::initializer_list<WorkerEvent> events) {
    for (const auto& event : events) publish_event(sender, event);
    drain_events(state, hooks);
  }

  BootstrapState state;
  RecordingHooks hooks;
  EventSender sender = open_event_channel(state);
};

TEST_F(EventApplication, NothingToDrainWithoutReceiver) {
  clear_event_receiver(state);
  publish_event(sender, WorkerEvent::install_completed());
  EXPECT_FALSE(drain_events(state, hooks));
  EXPECT_EQ(state.phase, UiPhase::Checking);
}

TEST_F(EventApplication, EmptyChannelAppliesNothing) {
  EXPECT_FALSE(drain_events(state, hooks));
  publish_event(sender, WorkerEvent::policy_ready());
  EXPECT_TRUE(drain_events(state, hooks));
}

TEST_F(EventApplication, PolicyReadyClassifiesAgainAndKeepsPhase) {
  state.statusText = "old";
  drain({WorkerEvent::policy_ready()});
  EXPECT_TRUE(state.policyReady);
  EXPECT_EQ(hooks.classifications, 1);
  EXPECT_EQ(state.workbenchState, WorkbenchInstallState::Older);
  EXPECT_FALSE(state.statusText);
  EXPECT_EQ(state.phase, UiPhase::Checking);
  EXPECT_TRUE(has_receiver(state));
}

TEST_F(EventApplication, PolicyFailedIsTerminal) {
  state.revealStep = 5;
  state.policyReady = true;
  drain({WorkerEvent::policy_failed("连接正式更新服务失败：x")});
  EXPECT_EQ(state.revealStep, -1);
  EXPECT_FALSE(state.policyReady);
  EXPECT_EQ(state.phase, UiPhase::Failed);
  EXPECT_EQ(state.statusText, "连接正式更新服务失败：x");
  EXPECT_FALSE(has_receiver(state));
}

TEST_F(EventApplication, DownloadProgressClampsAndClearsClock) {
  state.stepClock.access_or_abort([](StepClockValue& clock) { clock = std::chrono::steady_clock::time_point(1s); });
  drain({WorkerEvent::download_progress(ComponentKind::Workbench, -5, "正在下载")});
  EXPECT_EQ(state.progressPercent, 0);
  EXPECT_EQ(state.phase, UiPhase::Downloading);
  EXPECT_EQ(state.currentComponent, ComponentKind::Workbench);
  EXPECT_EQ(state.statusText, "正在下载");
  EXPECT_FALSE(step_clock(state));
  drain({WorkerEvent::download_progress(ComponentKind::WebView2Runtime, 250, "t")});
  EXPECT_EQ(state.progressPercent, 100);
  drain({WorkerEvent::download_progress(ComponentKind::WebView2Runtime, 42, "t")});
  EXPECT_EQ(state.progressPercent, 42);
}

TEST_F(EventApplication, StepStartedStartsTheClock) {
  state.busyTicks = 300;
  state.progressPercent = 70;
  drain({WorkerEvent::step_started(ComponentKind::WebView2Runtime, "正在安装 WebView2 运行环境，请勿关闭。")});
  EXPECT_EQ(state.busyTicks, 0u);
  EXPECT_EQ(step_clock(state), hooks.clock);
  EXPECT_EQ(state.currentComponent, ComponentKind::WebView2Runtime);
  EXPECT_EQ(state.progressPercent, 0);
  EXPECT_EQ(state.phase, UiPhase::Installing);
  EXPECT_EQ(state.statusText, "正在安装 WebView2 运行环境，请勿关闭。");
}

TEST_F(EventApplication, ComponentInstalledMarksTheReport) {
  state.environment = EnvironmentReport{};
  state.phase = UiPhase::Installing;
  drain({WorkerEvent::component_installed(ComponentKind::WebView2Runtime)});
  EXPECT_TRUE(state.environment->components[ComponentKind::WebView2Runtime].present);
  EXPECT_TRUE(state.environment->components[ComponentKind::WebView2Runtime].staged);
  EXPECT_EQ(state.progressPercent, 100);
  EXPECT_EQ(state.phase, UiPhase::Installing);
  EXPECT_EQ(state.workbenchState, WorkbenchInstallState::None);
  drain({WorkerEvent::component_installed(ComponentKind::Workbench)});
  EXPECT_TRUE(state.environment->components[ComponentKind::Workbench].present);
  EXPECT_EQ(state.workbenchState, WorkbenchInstallState::Current);
}

TEST_F(EventApplication, WorkbenchInstalledWithoutReport) {
  drain({WorkerEvent::component_installed(ComponentKind::Workbench)});
  EXPECT_FALSE(state.environment);
  EXPECT_EQ(state.workbenchState, WorkbenchInstallState::Current);
  EXPECT_EQ(state.progressPercent, 100);
}

TEST_F(EventApplication, ComponentReadySetsStagedOnlyForKnownKinds) {
  state.environment = EnvironmentReport{};
  drain({WorkerEvent::component_ready(ComponentKind::Workbench)});
  EXPECT_TRUE(state.environment->components[ComponentKind::Workbench].staged);
  EXPECT_FALSE(state.environment->components[ComponentKind::Workbench].present);
  state.progressPercent = 3;
  const EnvironmentReport before = *state.environment;
  drain({WorkerEvent::component_ready(static_cast<ComponentKind>(9))});
  EXPECT_EQ(*state.environment, before);
  EXPECT_EQ(state.progressPercent, 100);
  drain({WorkerEvent::component_ready(static_cast<ComponentKind>(-1))});
  EXPECT_EQ(*state.environment, before);
}

TEST_F(EventApplication, InstallCompletedTexts) {
  state.stepClock.access_or_abort([](StepClockValue& clock) { clock = std::chrono::steady_clock::time_point(1s); });
  drain({WorkerEvent::install_completed()});
  EXPECT_EQ(state.phase, UiPhase::Completed);
  EXPECT_EQ(state.progressPercent, 100);
  EXPECT_EQ(state.statusText, "全部缺失组件已经安装完成。");
  EXPECT_FALSE(step_clock(state));
  EXPECT_FALSE(has_receiver(state));
  EXPECT_TRUE(hooks.relaunchInputs.empty());

  BootstrapState update;
  update.updateMode = true;
  auto updateSender = open_event_channel(update);
  publish_event(updateSender, WorkerEvent::install_completed());
  drain_events(update, hooks);
  EXPECT_EQ(update.statusText, "VelkoTarn工作台已经更新完成。");
}

TEST_F(EventApplication, InstallerInvokedCompletionRelaunchesAndQuits) {
  state.installerMode = true;
  state.installDirectory = "D:\\VelkoTarn工作台";
  drain({WorkerEvent::install_completed()});
  ASSERT_EQ(hooks.relaunchInputs.size(), 1u);
  EXPECT_EQ(hooks.relaunchInputs[0], "D:\\VelkoTarn工作台");
  EXPECT_EQ(hooks.quits, 1);
  EXPECT_FALSE(state.installerMode);
  EXPECT_EQ(state.phase, UiPhase::Completed);
}

TEST_F(EventApplication, InstallerInvokedCompletionWithoutDirectoryFailsOnce) {
  state.installerMode = true;
  hooks.relaunchResult = std::unexpected(std::string("没有可用的 IDE 安装目录。"));
  drain({WorkerEvent::install_completed()});
  ASSERT_EQ(hooks.relaunchInputs.size(), 1u);
  EXPECT_EQ(hooks.relaunchInputs[0], std::unexpected(std::string("没有可用的 IDE 安装目录。")));
  EXPECT_EQ(state.phase, UiPhase::Failed);
  EXPECT_EQ(state.statusText, "没有可用的 IDE 安装目录。");
  EXPECT_EQ(hooks.quits, 0);
  EXPECT_FALSE(state.installerMode);

  auto again = open_event_channel(state);
  publish_event(again, WorkerEvent::install_completed());
  drain_events(state, hooks);
  EXPECT_EQ(hooks.relaunchInputs.size(), 1u) << "a later completion must not relaunch";
  EXPECT_EQ(state.phase, UiPhase::Completed);
}

TEST_F(EventApplication, InstallFailedIsTerminal) {
  drain({WorkerEvent::install_failed("安装程序执行失败，错误码 1。")});
  EXPECT_EQ(state.phase, UiPhase::Failed);
  EXPECT_EQ(state.statusText, "安装程序执行失败，错误码 1。");
  EXPECT_FALSE(has_receiver(state));
  EXPECT_FALSE(step_clock(state));
}

TEST_F(EventApplication, LaunchEvents) {
  state.statusText = "x";
  drain({WorkerEvent::launch_succeeded()});
  EXPECT_EQ(state.phase, UiPhase::Completed);
  EXPECT_FALSE(state.statusText);
  EXPECT_FALSE(has_receiver(state));

  BootstrapState failed;
  auto failedSender = open_event_channel(failed);
  publish_event(failedSender, WorkerEvent::launch_failed("VelkoTarn工作台尚未显示主窗口便已退出，错误码 3。"));
  drain_events(failed, hooks);
  EXPECT_EQ(failed.phase, UiPhase::Failed);
  EXPECT_EQ(failed.statusText, "VelkoTarn工作台尚未显示主窗口便已退出，错误码 3。");
  EXPECT_FALSE(has_receiver(failed));
}

TEST_F(EventApplication, EventsTakenWithATerminalOneAreStillApplied) {
  drain({WorkerEvent::download_progress(ComponentKind::Workbench, 50, "d"), WorkerEvent::install_failed("坏了"),
         WorkerEvent::download_progress(ComponentKind::Workbench, 60, "d2")});
  EXPECT_EQ(state.phase, UiPhase::Downloading);
  EXPECT_EQ(state.progressPercent, 60);
  EXPECT_FALSE(has_receiver(state));
}

TEST_F(EventApplication, ProgressThenFailureEndsFailed) {
  drain({WorkerEvent::download_progress(ComponentKind::Workbench, 50, "d"), WorkerEvent::install_failed("坏了")});
  EXPECT_EQ(state.phase, UiPhase::Failed);
  EXPECT_EQ(state.statusText, "坏了");
}

TEST_F(EventApplication, EventsArriveInOrderFromSeveralThreads) {
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([sender = sender, w] {
      for (int i = 0; i < 250; ++i) publish_event(sender, WorkerEvent::download_progress(ComponentKind::Workbench, w, ""));
    });
  }
  for (auto& worker : workers) worker.join();
  int counted = 0;
  state.receiverSlot.access_or_abort([&](std::optional<EventReceiver>& slot) {
    while (slot->try_receive()) ++counted;
  });
  EXPECT_EQ(counted, 1000);
}

TEST(EventChannel, ReplacingTheReceiverClosesTheOldChannel) {
  BootstrapState state;
  auto oldSender = open_event_channel(state);
  auto newSender = open_event_channel(state);
  publish_event(oldSender, WorkerEvent::policy_failed("old"));
  RecordingHooks hooks;
  EXPECT_FALSE(drain_events(state, hooks));
  EXPECT_EQ(state.phase, UiPhase::Checking);
}

}  // namespace
}  // namespace velko
