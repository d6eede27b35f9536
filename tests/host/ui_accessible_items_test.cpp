#include "ui/accessible_items.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "ui/scene.h"

#include "ui/taskbar_progress.h"
#include "ui/view_texts.h"
#include "ui/window_logic.h"
#include "ui_test_state.h"

namespace velko {
namespace {

using test::sample_inputs;
using test::supported_state;
using W = WorkbenchInstallState;
using Role = AccessibleRole;
using namespace std::chrono_literals;

constexpr UiPhase kAllPhases[] = {UiPhase::Checking,  UiPhase::Ready,  UiPhase::Downloading,
                                  UiPhase::Installing, UiPhase::Completed, UiPhase::Failed,
                                  UiPhase::WaitingForWorkbenchExit};

using namespace installer_item;
constexpr std::size_t kSystemRowItem = kSystemRow;
const std::size_t kSp1Row = row_of(ComponentKind::ServicePack1);
const std::size_t kKb4490628Row = row_of(ComponentKind::Kb4490628);
const std::size_t kKb4474419Row = row_of(ComponentKind::Kb4474419);
const std::size_t kWebView2Row = row_of(ComponentKind::WebView2Runtime);
const std::size_t kWorkbenchRow = row_of(ComponentKind::Workbench);
constexpr std::size_t kInstallerCount = kCount;

// A row's item spans its status icon, label and value.
Rect row_bounds(int row) { return row_layout(row).row; }

std::vector<AccessibleItem> installer_items(const BootstrapState& state) {
  return installer_accessible_items(state, sample_inputs());
}

TEST(AccessibleItems, ReadyForAFirstInstallation) {
  const auto items = installer_items(*supported_state(UiPhase::Ready, W::None));
  ASSERT_EQ(items.size(), kInstallerCount);

  EXPECT_EQ(items[kTitle], (AccessibleItem{Role::StaticText, "环境检测完成", "", kPhaseTitle}));
  EXPECT_EQ(items[kSubtitle], (AccessibleItem{Role::StaticText, "当前电脑未安装工作台，将下载缺少的组件后完成安装。", "",
                                              kPhaseSubtitle}));
  EXPECT_EQ(items[kLocation], (AccessibleItem{Role::Text, "安装位置", "D:\\VelkoTarn工作台",
                                              Rect{kLocationLabel.left, kLocationLabel.top, kPathText.right, kPathText.bottom}}));

  EXPECT_EQ(items[kSystemRowItem], (AccessibleItem{Role::Text, "操作系统与架构", "Windows 11 专业版 · 64 位", row_bounds(0)}));
  EXPECT_EQ(items[kSp1Row], (AccessibleItem{Role::Text, "Service Pack 1", "当前系统不需要", row_bounds(1)}));
  EXPECT_EQ(items[kKb4490628Row].name, "KB4490628");
  EXPECT_EQ(items[kKb4474419Row].name, "KB4474419");
  EXPECT_EQ(items[kWebView2Row], (AccessibleItem{Role::Text, "WebView2 运行环境", "未安装 · 下载 1.7 MB", row_bounds(4)}));
  EXPECT_EQ(items[kWorkbenchRow],
            (AccessibleItem{Role::Text, "VelkoTarn工作台", "未安装 · v2.4.1 · 下载 123.5 MB", row_bounds(5)}));

  EXPECT_EQ(items[kProgress], (AccessibleItem{Role::ProgressBar, "进度", "0%", kProgressTrack}));
  EXPECT_EQ(items[kStatus], (AccessibleItem{Role::StaticText, "检测完成 · 发现 2 项需要安装", "", kStatusLine}));

  AccessibleItem browse{Role::PushButton, "选择目录", "", button_bounds(ButtonId::Browse)};
  browse.button = ButtonId::Browse;
  EXPECT_EQ(items[kBrowse], browse);
  AccessibleItem recheck{Role::PushButton, "重新检测", "", button_bounds(ButtonId::Recheck)};
  recheck.button = ButtonId::Recheck;
  EXPECT_EQ(items[kRecheck], recheck);
  AccessibleItem primary{Role::PushButton, "开始安装", "", button_bounds(ButtonId::Primary)};
  primary.button = ButtonId::Primary;
  EXPECT_EQ(items[kPrimary], primary);
  AccessibleItem close{Role::PushButton, "关闭", "", button_bounds(ButtonId::Close)};
  close.button = ButtonId::Close;
  EXPECT_EQ(items[kClose], close);
}

TEST(AccessibleItems, EveryPhaseKeepsTheSameItemsInTheSameOrder) {
  for (const W workbench : {W::None, W::Older, W::Current}) {
    for (const UiPhase phase : kAllPhases) {
      auto state = supported_state(phase, workbench);
      const auto items = installer_items(*state);
      ASSERT_EQ(items.size(), kInstallerCount);
      for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "phase " << static_cast<int>(phase) << ", item " << i);
        EXPECT_FALSE(items[i].invisible);
        EXPECT_FALSE(items[i].name.empty());
        EXPECT_LT(items[i].bounds.left, items[i].bounds.right);
        EXPECT_LT(items[i].bounds.top, items[i].bounds.bottom);
      }
      EXPECT_EQ(items[kTitle].name, phase_texts(*state).title);
      EXPECT_EQ(items[kStatus].name, status_line(*state, sample_inputs()));
      EXPECT_EQ(items[kPrimary].name, primary_label(*state));
      EXPECT_EQ(items[kProgress].role, Role::ProgressBar);
    }
  }
}

// A reader is told what is drawn and nothing else: every text tagged for readers is an item's
// name or value, and every text item's name is a tagged text of the same scene.
TEST(AccessibleItems, AreTheTaggedTextsOfTheScene) {
  for (const UiPhase phase : kAllPhases) {
    SCOPED_TRACE(static_cast<int>(phase));
    const auto state = supported_state(phase, W::Older);
    const auto items = installer_items(*state);
    std::vector<std::string> tagged;
    for (const DrawOp& step : installer_scene(*state, sample_inputs()).ops) {
      const auto* text = std::get_if<TextOp>(&step);
      if (text == nullptr || text->part == ReaderPart::None || text->part == ReaderPart::Caption) continue;
      tagged.push_back(text->text);
      EXPECT_TRUE(std::ranges::any_of(items, [&](const AccessibleItem& item) {
        return item.name == text->text || item.value == text->text;
      })) << text->text;
    }
    for (const AccessibleItem& item : items) {
      if (item.role != Role::StaticText && item.role != Role::Text) continue;
      EXPECT_NE(std::ranges::find(tagged, item.name), tagged.end()) << item.name;
    }
  }
}

TEST(AccessibleItems, AButtonIsUnavailableWhereItIsDrawnDisabled) {
  for (const UiPhase phase : kAllPhases) {
    SCOPED_TRACE(static_cast<int>(phase));
    const auto state = supported_state(phase, W::None);
    const auto items = installer_items(*state);
    const bool busy = phase == UiPhase::Downloading || phase == UiPhase::Installing;
    EXPECT_EQ(items[kBrowse].unavailable, busy);
    EXPECT_EQ(items[kRecheck].unavailable, busy);
    EXPECT_EQ(items[kClose].unavailable, busy);
    EXPECT_EQ(items[kPrimary].unavailable, phase != UiPhase::Ready && phase != UiPhase::Completed);
  }
}

TEST(AccessibleItems, ButtonsCoverTheirHitTestArea) {
  for (const ButtonId button : {ButtonId::Close, ButtonId::Browse, ButtonId::Recheck, ButtonId::Primary}) {
    const Rect bounds = button_bounds(button);
    EXPECT_EQ(hit_test(bounds.left, bounds.top, UiPhase::Ready, true), button);
    EXPECT_EQ(hit_test(bounds.right - 1, bounds.bottom - 1, UiPhase::Ready, true), button);
    const ClientPoint press = button_press_point(button);
    EXPECT_EQ(hit_test(press.x, press.y, UiPhase::Ready, true), button);
  }
  EXPECT_NE(hit_test(button_bounds(ButtonId::Primary).right, 540, UiPhase::Ready, true), ButtonId::Primary);
}

TEST(AccessibleItems, Downloading) {
  auto state = supported_state(UiPhase::Downloading, W::None);
  state->environment->components[ComponentKind::WebView2Runtime].present = true;
  state->currentComponent = ComponentKind::Workbench;
  state->progressPercent = 42;
  state->statusText = "正在下载 VelkoTarn工作台 v2.4.1";
  const auto items = installer_items(*state);
  EXPECT_EQ(items[kTitle].name, "正在下载缺失组件");
  EXPECT_EQ(items[kWorkbenchRow].value, "正在下载 · 42% · 123.5 MB");
  EXPECT_EQ(items[kWebView2Row].value, "已安装");
  EXPECT_EQ(items[kProgress].value, "42%");
  EXPECT_FALSE(items[kProgress].busy);
  EXPECT_EQ(items[kStatus].name, "正在下载 VelkoTarn工作台 v2.4.1");
  EXPECT_EQ(items[kPrimary].name, "正在下载");
  EXPECT_TRUE(items[kPrimary].unavailable);
}

TEST(AccessibleItems, InstallingHasNoPercent) {
  auto state = supported_state(UiPhase::Installing, W::None);
  state->currentComponent = ComponentKind::WebView2Runtime;
  state->progressPercent = 0;
  const auto items = installer_items(*state);
  EXPECT_TRUE(items[kProgress].busy);
  EXPECT_EQ(items[kProgress].value, "");
  EXPECT_EQ(items[kWebView2Row].value, "正在安装 · 已用时 01分15秒");
}

TEST(AccessibleItems, FailedReadsTheFailureAndNotTheHeader) {
  auto state = supported_state(UiPhase::Failed, W::None);
  state->statusText = "下载失败：连接被拒绝";
  const auto items = installer_items(*state);
  EXPECT_EQ(items[kTitle], (AccessibleItem{Role::StaticText, "操作未完成", "", kPhaseTitle}));
  EXPECT_EQ(items[kStatus].name, "下载失败：连接被拒绝");
  EXPECT_EQ(items[kPrimary].name, "操作失败");
}

TEST(AccessibleItems, UnsupportedSystem) {
  auto state = supported_state(UiPhase::Ready, W::None);
  state->environment->supported = false;
  state->environment->systemLabel = "Windows 7 · 64 位";
  const auto items = installer_items(*state);
  EXPECT_EQ(items[kSystemRowItem].value, "Windows 7 · 64 位");
  EXPECT_EQ(items[kWorkbenchRow].value, "当前系统不支持");
  EXPECT_EQ(items[kStatus].name, "当前系统不在支持范围，不会下载或安装组件");
  EXPECT_EQ(items[kPrimary].name, "系统不支持");
  EXPECT_TRUE(items[kPrimary].unavailable);
  EXPECT_FALSE(items[kRecheck].unavailable);
}

TEST(AccessibleItems, UpdateModeAndWaitingPhase) {
  auto state = supported_state(UiPhase::Ready, W::Older);
  EXPECT_EQ(installer_items(*state)[kTitle].name, "发现可更新的工作台");
  EXPECT_EQ(installer_items(*state)[kPrimary].name, "立即更新");
  EXPECT_EQ(installer_items(*state)[kWorkbenchRow].value, "已安装 · 可更新 · 下载 123.5 MB");

  state->phase = UiPhase::WaitingForWorkbenchExit;
  state->statusText = kWaitingForExitText;
  const auto items = installer_items(*state);
  EXPECT_EQ(items[kTitle].name, "正在等待旧工作台退出");
  EXPECT_EQ(items[kStatus].name, kWaitingForExitText);
  EXPECT_EQ(items[kWorkbenchRow].value, "正在等待工作台正常退出");
  EXPECT_TRUE(items[kPrimary].unavailable);
  EXPECT_FALSE(items[kClose].unavailable);
}

TEST(AccessibleItems, NoInstallDirectory) {
  auto state = supported_state(UiPhase::Ready, W::None);
  state->installDirectory.reset();
  EXPECT_EQ(installer_items(*state)[kLocation].value, "尚未选择");
}

TEST(AccessibleItems, LaunchWindow) {
  BootstrapState state;
  state.launchMode = true;
  SceneInputs inputs = sample_inputs();
  inputs.launchTicks = 3;
  auto items = accessible_items(state, inputs, kLaunchWidth, kLaunchHeight);
  const LaunchLayout layout = launch_layout(kLaunchWidth);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0], (AccessibleItem{Role::StaticText, "正在启动Velko Tarn 工作台", "", layout.heading}));
  EXPECT_EQ(items[1], (AccessibleItem{Role::StaticText, "正在连接Velko服务器", "", layout.statusLine}));
  EXPECT_EQ(items[2].name, "首次启动或程序更新后可能需要一些时间，请勿重复点击。");
  AccessibleItem progress{Role::ProgressBar, "进度", "", layout.progressTrack};
  progress.busy = true;
  EXPECT_EQ(items[3], progress);

  state.phase = UiPhase::Failed;
  state.statusText = "启动工作台失败：找不到文件";
  items = accessible_items(state, inputs, kLaunchWidth, kLaunchHeight);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].name, "Velko Tarn 工作台启动失败");
  EXPECT_EQ(items[1].name, "启动工作台失败：找不到文件");
  EXPECT_EQ(items[2].name, "按 Esc 或关闭窗口后重试。");
  EXPECT_EQ(items[3].value, "100%");
  EXPECT_FALSE(items[3].busy);
}

TEST(AccessibleItems, WindowName) {
  EXPECT_EQ(accessible_window_name(false), "Velko Tarn 工作台智能安装引导器");
  EXPECT_EQ(accessible_window_name(true), "Velko Tarn 工作台");
}

// --- Announcements ---------------------------------------------------------------------------

const auto kStart = std::chrono::steady_clock::time_point{} + 1h;

TEST(Announcements, FirstCallOnlyRecords) {
  AnnouncedState announced;
  const auto state = supported_state(UiPhase::Checking, W::None);
  EXPECT_TRUE(take_announcements(announced, installer_items(*state), state->phase, 4, kStart).empty());
  EXPECT_TRUE(announced.primed);
}

// A list of another length (the launch window's, or a longer one) starts afresh instead of
// being compared item by item with a list it does not match.
TEST(Announcements, AListOfAnotherLengthIsOnlyRecorded) {
  const auto state = supported_state(UiPhase::Ready, W::None);
  auto items = installer_items(*state);
  for (const std::size_t size : {items.size() + 3, items.size() - 2, std::size_t{0}}) {
    AnnouncedState announced;
    take_announcements(announced, items, state->phase, 100, kStart);
    auto other = items;
    other.resize(size, items.back());
    for (auto& item : other) item.name += "*";
    EXPECT_TRUE(take_announcements(announced, other, UiPhase::Failed, 0, kStart + 2s).empty()) << size;
    EXPECT_EQ(announced.items.size(), size);
    EXPECT_FALSE(announcements_pending(announced, other)) << size;
  }
}

TEST(Announcements, TheEndOfTheCheckIsAnnouncedAtOnce) {
  AnnouncedState announced;
  auto state = supported_state(UiPhase::Checking, W::None);
  state->progressPercent = 97;
  take_announcements(announced, installer_items(*state), state->phase, 97, kStart);
  state->progressPercent = 100;
  state->phase = UiPhase::Ready;
  const auto changes = take_announcements(announced, installer_items(*state), state->phase, 100, kStart + 45ms);
  EXPECT_NE(std::find(changes.begin(), changes.end(), Announcement{kTitle, ItemChange::Name}), changes.end());
  EXPECT_NE(std::find(changes.begin(), changes.end(), Announcement{kStatus, ItemChange::Name}), changes.end());
  EXPECT_NE(std::find(changes.begin(), changes.end(), Announcement{kProgress, ItemChange::Value}), changes.end());
  EXPECT_NE(std::find(changes.begin(), changes.end(), Announcement{kWorkbenchRow, ItemChange::Value}), changes.end());
  EXPECT_NE(std::find(changes.begin(), changes.end(), Announcement{kPrimary, ItemChange::Name}), changes.end());
  EXPECT_NE(std::find(changes.begin(), changes.end(), Announcement{kPrimary, ItemChange::State}), changes.end());
  EXPECT_FALSE(announcements_pending(announced, installer_items(*state)));
}

TEST(Announcements, PercentAtMostOnceASecondAndAtOneHundred) {
  AnnouncedState announced;
  auto state = supported_state(UiPhase::Downloading, W::None);
  state->environment->components[ComponentKind::WebView2Runtime].present = true;
  state->currentComponent = ComponentKind::Workbench;
  state->statusText = "正在下载";
  const auto at = [&](int percent, std::chrono::milliseconds when) {
    state->progressPercent = percent;
    return take_announcements(announced, installer_items(*state), state->phase, percent, kStart + when);
  };
  EXPECT_TRUE(at(10, 0ms).empty());
  const std::vector<Announcement> firstChange{{kWorkbenchRow, ItemChange::Value}, {kProgress, ItemChange::Value}};
  EXPECT_EQ(at(11, 100ms), firstChange);  // nothing said for a second before
  EXPECT_TRUE(at(12, 500ms).empty());
  EXPECT_TRUE(at(13, 900ms).empty());
  EXPECT_TRUE(announcements_pending(announced, installer_items(*state)));
  EXPECT_EQ(at(13, 1100ms), firstChange);  // the held-back change, once the second has passed
  EXPECT_TRUE(at(14, 1200ms).empty());
  EXPECT_EQ(at(100, 1300ms), firstChange);
  // Staying at 100, as the phases after a download do, is held back like any other change.
  state->statusText = "仍在 100";
  EXPECT_FALSE(at(100, 1400ms).empty());  // the status line's first change in a second
  state->statusText = "仍在 100，又变了";
  EXPECT_TRUE(at(100, 1500ms).empty());
  EXPECT_FALSE(at(100, 2400ms).empty());
}

TEST(Announcements, TheClockInATextIsNotAnnounced) {
  AnnouncedState announced;
  auto state = supported_state(UiPhase::Installing, W::None);
  state->currentComponent = ComponentKind::Workbench;
  SceneInputs inputs = sample_inputs();
  take_announcements(announced, announced_items(*state, inputs, kInstallerWidth, kInstallerHeight), state->phase, 0,
                     kStart);
  inputs.elapsedText = "01分17秒";
  EXPECT_TRUE(take_announcements(announced, announced_items(*state, inputs, kInstallerWidth, kInstallerHeight),
                                 state->phase, 0, kStart + 2s)
                  .empty());
  // The object itself still reads the clock.
  EXPECT_EQ(installer_accessible_items(*state, inputs)[kWorkbenchRow].value, "正在安装 · 已用时 01分17秒");
}

TEST(Announcements, AFailureIsAnnouncedAtOnce) {
  AnnouncedState announced;
  auto state = supported_state(UiPhase::Downloading, W::None);
  state->progressPercent = 30;
  state->statusText = "正在下载";
  take_announcements(announced, installer_items(*state), state->phase, 30, kStart);
  take_announcements(announced, installer_items(*state), state->phase, 30, kStart + 10ms);
  state->phase = UiPhase::Failed;
  state->statusText = "下载失败：连接被拒绝";
  const auto changes = take_announcements(announced, installer_items(*state), state->phase, 30, kStart + 20ms);
  EXPECT_NE(std::find(changes.begin(), changes.end(), Announcement{kStatus, ItemChange::Name}), changes.end());
  EXPECT_NE(std::find(changes.begin(), changes.end(), Announcement{kTitle, ItemChange::Name}), changes.end());
}

// --- Taskbar ---------------------------------------------------------------------------------

TEST(TaskbarProgress, EveryPhase) {
  auto state = supported_state(UiPhase::Checking, W::None);
  state->progressPercent = 40;
  EXPECT_EQ(taskbar_progress(*state), (TaskbarProgress{}));
  state->phase = UiPhase::Ready;
  EXPECT_EQ(taskbar_progress(*state), (TaskbarProgress{}));
  state->phase = UiPhase::Downloading;
  EXPECT_EQ(taskbar_progress(*state), (TaskbarProgress{TaskbarState::Normal, 40}));
  state->progressPercent = 140;
  EXPECT_EQ(taskbar_progress(*state), (TaskbarProgress{TaskbarState::Normal, 100}));
  state->phase = UiPhase::Installing;
  EXPECT_EQ(taskbar_progress(*state), (TaskbarProgress{TaskbarState::Indeterminate, 0}));
  state->phase = UiPhase::Completed;
  EXPECT_EQ(taskbar_progress(*state), (TaskbarProgress{}));
  state->phase = UiPhase::Failed;
  EXPECT_EQ(taskbar_progress(*state), (TaskbarProgress{TaskbarState::Error, 100}));
  state->phase = UiPhase::WaitingForWorkbenchExit;
  EXPECT_EQ(taskbar_progress(*state), (TaskbarProgress{}));

  state->environment->supported = false;
  state->phase = UiPhase::Ready;
  EXPECT_EQ(taskbar_progress(*state), (TaskbarProgress{}));
  state->updateMode = true;
  state->phase = UiPhase::Downloading;
  state->progressPercent = 7;
  EXPECT_EQ(taskbar_progress(*state), (TaskbarProgress{TaskbarState::Normal, 7}));
}

TEST(TaskbarProgress, LaunchRole) {
  BootstrapState state;
  state.launchMode = true;
  EXPECT_EQ(taskbar_progress(state), (TaskbarProgress{}));
  state.phase = UiPhase::Completed;
  EXPECT_EQ(taskbar_progress(state), (TaskbarProgress{}));
  state.phase = UiPhase::Failed;
  EXPECT_EQ(taskbar_progress(state), (TaskbarProgress{TaskbarState::Error, 100}));
}

}  // namespace
}  // namespace velko
