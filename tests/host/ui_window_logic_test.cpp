#include "ui/window_logic.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "state/event_application.h"
#include "ui/window_timing.h"
#include "ui_test_state.h"

namespace velko {
namespace {

using test::supported_state;
using W = WorkbenchInstallState;

// Records every action; answers from scripted values.
class FakeActions final : public WindowActions {
 public:
  void classify_windows(BootstrapState& state) override {
    ++classifications;
    if (classification) state.environment = *classification;
  }
  std::expected<void, std::string> relaunch_after_update(
      const std::expected<std::string, std::string>& installDirectory) override {
    relaunchedWith.push_back(installDirectory);
    if (!installDirectory) return std::unexpected(installDirectory.error());
    return relaunchResult;
  }
  void post_quit() override { ++quits; }
  void destroy_window() override { ++destroyed; }
  void invalidate() override { ++invalidations; }
  void refresh_hover() override { ++hoverRefreshes; }
  void start_hover_timer() override { ++hoverTimerStarts; hoverTimerRunning = true; }
  void stop_hover_timer() override { ++hoverTimerStops; hoverTimerRunning = false; }
  void start_policy_check(BootstrapState& state) override {
    ++policyChecks;
    open_event_channel(state);
    state.policyReady = false;
  }
  std::expected<bool, std::string> is_workbench_running(
      const std::expected<std::string, std::string>& installDirectory) override {
    runningQueries.push_back(installDirectory);
    if (!installDirectory) return std::unexpected(installDirectory.error());
    if (runningAnswers.empty()) return false;
    auto answer = runningAnswers.front();
    runningAnswers.pop_front();
    return answer;
  }
  void start_installation_worker(InstallRequest request, EventSender sender) override {
    requests.push_back(request);
    senders.push_back(std::move(sender));
  }
  std::optional<std::string> browse_for_folder() override {
    ++dialogs;
    return chosenFolder;
  }

  std::optional<EnvironmentReport> classification;
  std::expected<void, std::string> relaunchResult;
  std::deque<std::expected<bool, std::string>> runningAnswers;
  std::optional<std::string> chosenFolder;

  int classifications = 0, quits = 0, destroyed = 0, invalidations = 0, hoverRefreshes = 0;
  int hoverTimerStarts = 0, hoverTimerStops = 0, policyChecks = 0, dialogs = 0;
  bool hoverTimerRunning = false;
  std::vector<std::expected<std::string, std::string>> relaunchedWith;
  std::vector<std::expected<std::string, std::string>> runningQueries;
  std::vector<InstallRequest> requests;
  std::vector<EventSender> senders;
};

// --- Clicks -------------------------------------------------------------------------------

TEST(OnClick, PrimaryAt690StartsTheInstallationAnd691DoesNothing) {
  FakeActions actions;
  auto state = supported_state(UiPhase::Ready, W::None);
  on_click(*state, 691, 536, actions);
  EXPECT_EQ(state->phase, UiPhase::Ready);
  EXPECT_TRUE(actions.requests.empty());

  on_click(*state, 690, 536, actions);
  EXPECT_EQ(state->phase, UiPhase::Downloading);
  ASSERT_EQ(actions.requests.size(), 1u);
  EXPECT_FALSE(actions.requests[0].components[ComponentKind::WebView2Runtime].present);
  EXPECT_FALSE(actions.requests[0].components[ComponentKind::Workbench].present);
  EXPECT_EQ(actions.requests[0].installDirectory, "D:\\VelkoTarn工作台");
  EXPECT_EQ(state->currentComponent, ComponentKind::WebView2Runtime);
  EXPECT_EQ(state->statusText, "正在准备下载 WebView2 Evergreen 运行环境。");
  EXPECT_EQ(state->progressPercent, 0);
  EXPECT_EQ(actions.hoverRefreshes, 1);
  EXPECT_GE(actions.invalidations, 1);
}

TEST(OnClick, CloseBoxClosesUnlessBusy) {
  for (UiPhase phase : {UiPhase::Checking, UiPhase::Ready, UiPhase::Completed, UiPhase::Failed,
                        UiPhase::WaitingForWorkbenchExit}) {
    FakeActions actions;
    auto state = supported_state(phase, W::None);
    on_click(*state, 680, 20, actions);
    EXPECT_EQ(actions.destroyed, 1) << static_cast<int>(phase);
  }
  for (UiPhase phase : {UiPhase::Downloading, UiPhase::Installing}) {
    FakeActions actions;
    auto state = supported_state(phase, W::None);
    on_click(*state, 680, 20, actions);
    request_close(*state, actions);
    EXPECT_EQ(actions.destroyed, 0);
  }
}

TEST(OnClick, BrowseAndRecheckAreIgnoredWhileBusy) {
  FakeActions actions;
  actions.chosenFolder = "E:\\新目录";
  auto state = supported_state(UiPhase::Installing, W::None);
  on_click(*state, 600, 170, actions);
  on_click(*state, 500, 550, actions);
  EXPECT_EQ(actions.dialogs, 0);
  EXPECT_EQ(actions.policyChecks, 0);
  EXPECT_EQ(state->phase, UiPhase::Installing);
}

TEST(OnClick, RecheckRestartsTheCheck) {
  FakeActions actions;
  auto state = supported_state(UiPhase::Failed, W::None);
  state->statusText = "失败";
  state->revealStep = 5;
  on_click(*state, 468, 572, actions);
  EXPECT_EQ(state->phase, UiPhase::Checking);
  EXPECT_EQ(state->progressPercent, 4);
  EXPECT_FALSE(state->statusText);
  EXPECT_EQ(state->revealStep, -1);
  EXPECT_EQ(actions.classifications, 1);
  EXPECT_EQ(actions.policyChecks, 1);
  EXPECT_EQ(actions.invalidations, 1);
}

TEST(OnClick, BrowseChoosesAFolderAndChecksItAgain) {
  FakeActions actions;
  auto state = supported_state(UiPhase::Failed, W::None);
  state->statusText = "失败";
  on_click(*state, 578, 163, actions);  // cancelled
  EXPECT_EQ(actions.dialogs, 1);
  EXPECT_EQ(state->phase, UiPhase::Failed);
  EXPECT_EQ(state->installDirectory, "D:\\VelkoTarn工作台");
  EXPECT_EQ(actions.classifications, 0);

  actions.chosenFolder = "E:\\新目录";
  on_click(*state, 668, 195, actions);
  EXPECT_EQ(state->installDirectory, "E:\\新目录");
  EXPECT_EQ(actions.classifications, 1);
  EXPECT_EQ(state->phase, UiPhase::Ready);
  EXPECT_EQ(state->progressPercent, 100);
  EXPECT_FALSE(state->statusText);
  EXPECT_EQ(state->revealStep, 0);

  actions.classification = EnvironmentReport{};  // unsupported
  on_click(*state, 600, 180, actions);
  EXPECT_EQ(state->revealStep, -1);
}

// The folder dialog is modal with its own message loop: the main timer may start an installation
// while it is open. A folder chosen then must not reset the window to Ready under that installation.
class TickingDialogActions final : public WindowActions {
 public:
  explicit TickingDialogActions(BootstrapState& state) : state_(state) {}
  void classify_windows(BootstrapState&) override { ++classifications; }
  std::expected<void, std::string> relaunch_after_update(const std::expected<std::string, std::string>&) override {
    return {};
  }
  void post_quit() override {}
  void destroy_window() override {}
  void invalidate() override {}
  void refresh_hover() override {}
  void start_hover_timer() override {}
  void stop_hover_timer() override {}
  void start_policy_check(BootstrapState&) override {}
  std::expected<bool, std::string> is_workbench_running(const std::expected<std::string, std::string>&) override {
    return false;
  }
  void start_installation_worker(InstallRequest, EventSender) override { ++workers; }
  std::optional<std::string> browse_for_folder() override {
    on_main_tick(state_, *this);  // the check ends while the dialog is open; auto-continue starts
    return "E:\\其他目录";
  }
  int classifications = 0;
  int workers = 0;

 private:
  BootstrapState& state_;
};

TEST(OnClick, FolderChosenWhileAnInstallationStartedUnderTheDialogIsIgnored) {
  auto state = supported_state(UiPhase::Checking, W::None);
  state->autoContinue = true;
  state->policyReady = true;
  state->progressPercent = 97;
  TickingDialogActions actions(*state);
  on_click(*state, 600, 180, actions);
  EXPECT_EQ(actions.workers, 1);
  EXPECT_EQ(state->phase, UiPhase::Downloading);
  EXPECT_EQ(state->installDirectory, "D:\\VelkoTarn工作台");
  EXPECT_EQ(actions.classifications, 0);
}

TEST(OnClick, PrimaryInCompletedLaunchesTheWorkbenchAndCloses) {
  FakeActions actions;
  auto state = supported_state(UiPhase::Completed, W::Current);
  on_click(*state, 600, 550, actions);
  ASSERT_EQ(actions.relaunchedWith.size(), 1u);
  EXPECT_EQ(actions.relaunchedWith[0], "D:\\VelkoTarn工作台");
  EXPECT_EQ(actions.destroyed, 1);

  FakeActions failing;
  failing.relaunchResult = std::unexpected(std::string("启动器不存在"));
  state = supported_state(UiPhase::Completed, W::Current);
  on_click(*state, 600, 550, failing);
  EXPECT_EQ(failing.destroyed, 0);
  EXPECT_EQ(state->phase, UiPhase::Failed);
  EXPECT_EQ(state->statusText, "启动器不存在");

  FakeActions noDirectory;
  state = supported_state(UiPhase::Completed, W::Current);
  state->installDirectory.reset();
  on_click(*state, 600, 550, noDirectory);
  EXPECT_EQ(state->phase, UiPhase::Failed);
  EXPECT_EQ(state->statusText, "没有可用的 IDE 安装目录。");
}

TEST(OnClick, PrimaryDoesNothingInOtherPhases) {
  for (UiPhase phase : {UiPhase::Checking, UiPhase::Failed, UiPhase::WaitingForWorkbenchExit, UiPhase::Downloading}) {
    FakeActions actions;
    auto state = supported_state(phase, W::None);
    on_click(*state, 600, 550, actions);
    EXPECT_EQ(state->phase, phase);
    EXPECT_TRUE(actions.requests.empty());
    EXPECT_TRUE(actions.relaunchedWith.empty());
  }
}

// --- start_installation -------------------------------------------------------------------

TEST(StartInstallation, Preconditions) {
  FakeActions actions;
  auto state = supported_state(UiPhase::Failed, W::None);
  EXPECT_FALSE(start_installation(*state, actions));
  state->phase = UiPhase::Ready;
  state->environment->supported = false;
  state->revealStep = 3;
  EXPECT_FALSE(start_installation(*state, actions));
  EXPECT_EQ(state->revealStep, 3);
  state->environment.reset();
  EXPECT_FALSE(start_installation(*state, actions));
  EXPECT_EQ(state->phase, UiPhase::Ready);
}

TEST(StartInstallation, WithoutInstallDirectoryFails) {
  FakeActions actions;
  auto state = supported_state(UiPhase::Ready, W::None);
  state->installDirectory.reset();
  EXPECT_TRUE(start_installation(*state, actions));
  EXPECT_EQ(state->phase, UiPhase::Failed);
  EXPECT_EQ(state->statusText, "没有可用的 IDE 安装目录。");
  EXPECT_TRUE(actions.requests.empty());
}

TEST(StartInstallation, NothingMissingCompletes) {
  FakeActions actions;
  auto state = supported_state(UiPhase::Ready, W::Current);
  state->environment->components[ComponentKind::WebView2Runtime].present = true;
  state->autoContinue = true;
  EXPECT_TRUE(start_installation(*state, actions));
  EXPECT_EQ(state->phase, UiPhase::Completed);
  EXPECT_EQ(state->progressPercent, 100);
  EXPECT_EQ(state->statusText, "当前所需组件均已安装。");
  EXPECT_FALSE(state->autoContinue);
  EXPECT_TRUE(actions.requests.empty());
}

TEST(StartInstallation, WorkbenchOnlyWhenRuntimePresentAndEventsReachTheWindow) {
  FakeActions actions;
  auto state = supported_state(UiPhase::Ready, W::None);
  state->environment->components[ComponentKind::WebView2Runtime].present = true;
  EXPECT_TRUE(start_installation(*state, actions));
  EXPECT_EQ(state->currentComponent, ComponentKind::Workbench);
  ASSERT_EQ(actions.senders.size(), 1u);
  EXPECT_TRUE(actions.requests[0].components[ComponentKind::WebView2Runtime].present);
  // The worker's channel is the one the window now listens to.
  publish_event(actions.senders[0], WorkerEvent::download_progress(ComponentKind::Workbench, 37, "下载中"));
  EXPECT_TRUE(drain_events(*state, actions));
  EXPECT_EQ(state->progressPercent, 37);
}

TEST(StartInstallation, UpdateOfRunningWorkbenchWaits) {
  FakeActions actions;
  actions.runningAnswers = {true};
  auto state = supported_state(UiPhase::Ready, W::Older);
  EXPECT_TRUE(start_installation(*state, actions));
  EXPECT_EQ(state->phase, UiPhase::WaitingForWorkbenchExit);
  EXPECT_TRUE(state->autoContinue);
  EXPECT_EQ(state->currentComponent, ComponentKind::Workbench);
  EXPECT_EQ(state->waitTicks, 0u);
  EXPECT_EQ(state->statusText, "正在等待旧工作台正常退出；退出后将自动继续更新。");
  ASSERT_EQ(actions.runningQueries.size(), 1u);
  EXPECT_EQ(actions.runningQueries[0], "D:\\VelkoTarn工作台");
  EXPECT_TRUE(actions.requests.empty());
}

TEST(StartInstallation, RunningCheckErrorFails) {
  FakeActions actions;
  actions.runningAnswers = {std::unexpected(std::string("无法读取进程列表"))};
  auto state = supported_state(UiPhase::Ready, W::Older);
  EXPECT_TRUE(start_installation(*state, actions));
  EXPECT_EQ(state->phase, UiPhase::Failed);
  EXPECT_EQ(state->statusText, "无法读取进程列表");
}

// --- on_main_tick -------------------------------------------------------------------------

TEST(MainTick, CheckingProgressStopsShortUntilThePolicyArrives) {
  FakeActions actions;
  auto state = supported_state(UiPhase::Checking, W::None);
  for (int i = 0; i < 40; ++i) on_main_tick(*state, actions);
  EXPECT_EQ(state->progressPercent, kCheckingPercentBeforePolicy);
  EXPECT_EQ(state->phase, UiPhase::Checking);
  EXPECT_EQ(actions.invalidations, 40);  // the check animates on every tick

  state->policyReady = true;
  on_main_tick(*state, actions);
  EXPECT_EQ(state->progressPercent, 97);
  EXPECT_EQ(state->phase, UiPhase::Checking);
  on_main_tick(*state, actions);
  EXPECT_EQ(state->progressPercent, 100);
  EXPECT_EQ(state->phase, UiPhase::Ready);
  EXPECT_EQ(state->revealStep, 1);  // started at 0 and advanced by the same tick
}

TEST(MainTick, PolicyReadyEventEndsTheCheck) {
  FakeActions actions;
  auto state = supported_state(UiPhase::Checking, W::None);
  state->progressPercent = kCheckingPercentBeforePolicy;
  EventSender sender = open_event_channel(*state);
  publish_event(sender, WorkerEvent::policy_ready());
  on_main_tick(*state, actions);
  EXPECT_EQ(actions.classifications, 1);
  EXPECT_EQ(state->progressPercent, 97);
  on_main_tick(*state, actions);
  EXPECT_EQ(state->phase, UiPhase::Ready);
}

TEST(MainTick, CurrentWorkbenchWithNothingMissingCompletes) {
  FakeActions actions;
  auto state = supported_state(UiPhase::Checking, W::Current);
  state->environment->components[ComponentKind::WebView2Runtime].present = true;
  state->policyReady = true;
  state->progressPercent = 98;
  on_main_tick(*state, actions);
  EXPECT_EQ(state->phase, UiPhase::Completed);
  EXPECT_EQ(state->revealStep, 1);

  state = supported_state(UiPhase::Checking, W::Current);  // runtime missing
  state->policyReady = true;
  state->progressPercent = 98;
  on_main_tick(*state, actions);
  EXPECT_EQ(state->phase, UiPhase::Ready);
}

TEST(MainTick, UnsupportedSystemEndsReadyWithoutReveal) {
  FakeActions actions;
  auto state = supported_state(UiPhase::Checking, W::None);
  state->environment->supported = false;
  state->policyReady = true;
  state->progressPercent = 99;
  state->autoContinue = true;
  on_main_tick(*state, actions);
  EXPECT_EQ(state->phase, UiPhase::Ready);
  EXPECT_EQ(state->revealStep, -1);
  EXPECT_TRUE(actions.requests.empty());  // auto-continue cannot start on an unsupported system
}

TEST(MainTick, AutoContinueStartsTheInstallationOnTheTickTheCheckEnds) {
  FakeActions actions;
  auto state = supported_state(UiPhase::Checking, W::None);
  state->autoContinue = true;
  state->policyReady = true;
  state->progressPercent = 97;
  on_main_tick(*state, actions);
  EXPECT_EQ(state->phase, UiPhase::Downloading);
  EXPECT_EQ(actions.requests.size(), 1u);
  EXPECT_FALSE(state->autoContinue);
  EXPECT_EQ(state->revealStep, -1);  // start_installation stops the reveal
}

TEST(MainTick, InstallingAnimatesTheBusyBlock) {
  FakeActions actions;
  auto state = supported_state(UiPhase::Installing, W::None);
  on_main_tick(*state, actions);
  on_main_tick(*state, actions);
  EXPECT_EQ(state->busyTicks, 10u);
  EXPECT_EQ(actions.invalidations, 2);
}

TEST(MainTick, IdlePhasesDoNotRepaint) {
  FakeActions actions;
  auto state = supported_state(UiPhase::Ready, W::None);
  on_main_tick(*state, actions);
  state->phase = UiPhase::Downloading;
  on_main_tick(*state, actions);
  EXPECT_EQ(actions.invalidations, 0);
  EXPECT_EQ(state->busyTicks, 0u);
}

TEST(MainTick, RevealRunsFrom0ToItsLastStepThenIdles) {
  FakeActions actions;
  auto state = supported_state(UiPhase::Ready, W::None);
  state->revealStep = 0;
  for (int i = 0; i < kRevealLastStep; ++i) on_main_tick(*state, actions);
  EXPECT_EQ(state->revealStep, kRevealLastStep);
  on_main_tick(*state, actions);
  EXPECT_EQ(state->revealStep, -1);
  EXPECT_EQ(actions.invalidations, 35);
  on_main_tick(*state, actions);
  EXPECT_EQ(actions.invalidations, 35);
}

TEST(MainTick, WaitingPhasePollsEvery22ndTickAndContinues) {
  FakeActions actions;
  actions.runningAnswers = {true, false, false};
  auto state = supported_state(UiPhase::Ready, W::Older);
  ASSERT_TRUE(start_installation(*state, actions));  // first answer: running
  ASSERT_EQ(state->phase, UiPhase::WaitingForWorkbenchExit);

  for (std::uint32_t i = 0; i < kWorkbenchPollTicks; ++i) on_main_tick(*state, actions);
  EXPECT_EQ(actions.runningQueries.size(), 1u);
  EXPECT_EQ(state->waitTicks, kWorkbenchPollTicks);
  on_main_tick(*state, actions);  // 22nd tick: the workbench is gone
  EXPECT_EQ(actions.runningQueries.size(), 3u);  // the poll, then start_installation's own check
  EXPECT_EQ(state->phase, UiPhase::Downloading);
  EXPECT_EQ(actions.requests.size(), 1u);
  EXPECT_EQ(state->currentComponent, ComponentKind::WebView2Runtime);
}

TEST(MainTick, WaitingPhaseSetsTheExitTextWhenNotContinuing) {
  FakeActions actions;
  actions.runningAnswers = {false};
  auto state = supported_state(UiPhase::WaitingForWorkbenchExit, W::Older);
  state->waitTicks = kWorkbenchPollTicks;
  on_main_tick(*state, actions);
  EXPECT_EQ(state->phase, UiPhase::Ready);
  EXPECT_EQ(state->statusText, "已检测到工作台退出，正在自动继续更新。");
  EXPECT_EQ(state->waitTicks, 0u);
  EXPECT_EQ(state->revealStep, 1);
  EXPECT_TRUE(actions.requests.empty());
}

TEST(MainTick, WaitingPhaseStillRunningAndErrors) {
  FakeActions actions;
  actions.runningAnswers = {true};
  auto state = supported_state(UiPhase::WaitingForWorkbenchExit, W::Older);
  state->waitTicks = kWorkbenchPollTicks;
  on_main_tick(*state, actions);
  EXPECT_EQ(state->phase, UiPhase::WaitingForWorkbenchExit);
  EXPECT_EQ(actions.invalidations, 0);

  state->installDirectory.reset();
  state->waitTicks = 25;
  on_main_tick(*state, actions);
  EXPECT_EQ(state->phase, UiPhase::Failed);
  EXPECT_EQ(state->statusText, "没有可用的工作台安装目录。");
  EXPECT_EQ(actions.invalidations, 1);
}

TEST(MainTick, LaunchWindowClosesAfter18Ticks) {
  FakeActions actions;
  BootstrapState state;
  state.launchMode = true;
  EventSender sender = open_event_channel(state);
  on_main_tick(state, actions);  // tick 1
  publish_event(sender, WorkerEvent::launch_succeeded());
  for (std::uint32_t tick = 2; tick <= kLaunchCloseTicks; ++tick) {
    on_main_tick(state, actions);
    EXPECT_EQ(actions.destroyed, 0) << tick;
  }
  EXPECT_EQ(state.phase, UiPhase::Completed);
  on_main_tick(state, actions);  // the 18th tick (previous value 17) closes the window
  EXPECT_EQ(actions.destroyed, 1);
  EXPECT_EQ(actions.invalidations, static_cast<int>(kLaunchCloseTicks));
}

TEST(MainTick, LaunchWindowClosesOnTheFirstTickAfterALateSuccess) {
  FakeActions actions;
  BootstrapState state;
  state.launchMode = true;
  state.launchTicks = 100;
  EventSender sender = open_event_channel(state);
  on_main_tick(state, actions);
  EXPECT_EQ(actions.destroyed, 0);
  publish_event(sender, WorkerEvent::launch_succeeded());
  on_main_tick(state, actions);
  EXPECT_EQ(actions.destroyed, 1);

  FakeActions failed;
  BootstrapState failing;
  failing.launchMode = true;
  failing.launchTicks = 100;
  EventSender failingSender = open_event_channel(failing);
  publish_event(failingSender, WorkerEvent::launch_failed("工作台没有显示窗口"));
  on_main_tick(failing, failed);
  EXPECT_EQ(failed.destroyed, 0);
  EXPECT_EQ(failing.phase, UiPhase::Failed);
}

// --- Hover --------------------------------------------------------------------------------

TEST(Hover, SetHoveredStartsTheTimerOnlyOnChange) {
  FakeActions actions;
  HoverState hover;
  set_hovered(hover, ButtonId::None, actions);
  EXPECT_EQ(actions.hoverTimerStarts, 0);
  set_hovered(hover, ButtonId::Browse, actions);
  set_hovered(hover, ButtonId::Browse, actions);
  EXPECT_EQ(actions.hoverTimerStarts, 1);
}

TEST(Hover, FadesFromBrowseToRecheckInEightTicks) {
  FakeActions actions;
  HoverState hover;
  set_hovered(hover, ButtonId::Browse, actions);
  for (int i = 0; i < 8; ++i) on_hover_tick(hover, actions);
  EXPECT_EQ(hover.levels[1], 1.0f);
  EXPECT_FALSE(actions.hoverTimerRunning);

  set_hovered(hover, ButtonId::Recheck, actions);
  EXPECT_TRUE(actions.hoverTimerRunning);
  on_hover_tick(hover, actions);
  EXPECT_NEAR(hover.levels[1], 0.86f, 1e-6);
  EXPECT_NEAR(hover.levels[2], 0.14f, 1e-6);
  for (int i = 1; i < 7; ++i) on_hover_tick(hover, actions);
  EXPECT_TRUE(actions.hoverTimerRunning);  // 7 ticks: 0.98 and 0.02, not settled yet
  on_hover_tick(hover, actions);
  EXPECT_EQ(hover.levels[1], 0.0f);
  EXPECT_EQ(hover.levels[2], 1.0f);
  EXPECT_FALSE(actions.hoverTimerRunning);
  const int invalidations = actions.invalidations;
  EXPECT_EQ(invalidations, 16);
}

TEST(Hover, LeavingFadesEverythingOut) {
  FakeActions actions;
  HoverState hover;
  set_hovered(hover, ButtonId::Primary, actions);
  on_hover_tick(hover, actions);
  on_hover_tick(hover, actions);
  set_hovered(hover, ButtonId::None, actions);
  on_hover_tick(hover, actions);
  EXPECT_TRUE(actions.hoverTimerRunning);
  on_hover_tick(hover, actions);
  EXPECT_EQ(hover.levels, (std::array<float, 4>{0, 0, 0, 0}));
  EXPECT_FALSE(actions.hoverTimerRunning);
}

}  // namespace
}  // namespace velko
