#include "ui/window_layout.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "ui/scene.h"
#include "ui/view_texts.h"
#include "ui/window_logic.h"
#include "ui/window_timing.h"
#include "ui_test_state.h"

namespace velko {
namespace {

using test::sample_inputs;
using test::supported_state;

constexpr ButtonId kButtons[] = {ButtonId::Close, ButtonId::Browse, ButtonId::Recheck, ButtonId::Primary};

bool fills(const Scene& scene, const Rect& rect) {
  return std::any_of(scene.ops.begin(), scene.ops.end(), [&](const DrawOp& op) {
    if (const auto* fill = std::get_if<FillOp>(&op)) return fill->rect == rect;
    if (const auto* box = std::get_if<RoundRectOp>(&op)) return box->rect == rect;
    return false;
  });
}

bool writes_in(const Scene& scene, const Rect& rect, const std::string& text) {
  return std::any_of(scene.ops.begin(), scene.ops.end(), [&](const DrawOp& op) {
    const auto* step = std::get_if<TextOp>(&op);
    return step && step->rect == rect && step->text == text;
  });
}

TEST(WindowLayout, ButtonRectangles) {
  EXPECT_EQ(button_rect(ButtonId::Close), (Rect{680, 0, 720, 34}));
  EXPECT_EQ(button_rect(ButtonId::Browse), (Rect{578, 163, 668, 195}));
  EXPECT_EQ(button_rect(ButtonId::Recheck), (Rect{468, 536, 566, 572}));
  EXPECT_EQ(button_rect(ButtonId::Primary), (Rect{578, 536, 690, 572}));
  EXPECT_EQ(button_rect(ButtonId::None), Rect{});
}

// A button is drawn where it is hit: the scene draws each one on its rectangle, and hit-testing
// finds it at all four corners of that rectangle, right and bottom edges included.
TEST(WindowLayout, EveryButtonIsDrawnAndHitOnItsRectangle) {
  const auto state = supported_state(UiPhase::Ready, WorkbenchInstallState::None);
  const Scene scene = installer_scene(*state, sample_inputs());
  for (ButtonId button : kButtons) {
    const Rect rect = button_rect(button);
    SCOPED_TRACE(static_cast<int>(button));
    EXPECT_TRUE(fills(scene, rect));
    for (int x : {rect.left, rect.right}) {
      for (int y : {rect.top, rect.bottom}) EXPECT_EQ(hit_test(x, y, UiPhase::Ready, true), button) << x << "," << y;
    }
    EXPECT_NE(hit_test(rect.left - 1, rect.top, UiPhase::Ready, true), button);
    EXPECT_NE(hit_test(rect.right + 1, rect.bottom, UiPhase::Ready, true), button);
    EXPECT_NE(hit_test(rect.left, rect.bottom + 1, UiPhase::Ready, true), button);
  }
}

TEST(WindowLayout, RowsAre34PixelsApart) {
  EXPECT_EQ(row_layout(0).label, (Rect{94, 258, 275, 294}));
  EXPECT_EQ(row_layout(0).value, (Rect{278, 258, 658, 294}));
  EXPECT_EQ(row_layout(0).row, (Rect{58, 258, 658, 294}));
  EXPECT_EQ(row_layout(0).iconX, 58);
  EXPECT_EQ(row_layout(0).iconY, 267);
  const RowLayout workbench = row_layout(static_cast<int>(ComponentKind::Workbench));
  EXPECT_EQ(workbench.label, (Rect{94, 428, 275, 464}));
  EXPECT_EQ(workbench.iconY, 437);
  EXPECT_LT(row_layout(kRowCount - 1).row.bottom, kProgressTrack.top);

  const auto state = supported_state(UiPhase::Ready, WorkbenchInstallState::None);
  const Scene scene = installer_scene(*state, sample_inputs());
  EXPECT_TRUE(writes_in(scene, row_layout(0).label, "操作系统与架构"));
  EXPECT_TRUE(writes_in(scene, workbench.label, "VelkoTarn工作台"));
}

TEST(WindowLayout, ProgressStatusAndSizes) {
  const auto state = supported_state(UiPhase::Downloading, WorkbenchInstallState::None);
  state->progressPercent = 100;
  const SceneInputs inputs = sample_inputs();
  const Scene scene = installer_scene(*state, inputs);
  EXPECT_TRUE(fills(scene, kProgressTrack));
  EXPECT_TRUE(fills(scene, kProgressFillArea));  // a full bar covers the whole fill area
  EXPECT_TRUE(writes_in(scene, kStatusLine, status_line(*state, inputs)));
  EXPECT_TRUE(fills(scene, {0, 0, kInstallerWidth, kInstallerHeight}));
  EXPECT_EQ(kInstallerWidth, 720);
  EXPECT_EQ(kInstallerHeight, 620);
  EXPECT_EQ(kLaunchWidth, 620);
  EXPECT_EQ(kLaunchHeight, 250);
}

TEST(WindowLayout, LaunchLayoutHangsOffBothEdges) {
  const LaunchLayout narrow = launch_layout(kLaunchWidth);
  EXPECT_EQ(narrow.heading, (Rect{150, 57, 586, 94}));
  EXPECT_EQ(narrow.progressTrack, (Rect{150, 176, 580, 186}));
  const LaunchLayout wide = launch_layout(kLaunchWidth + 100);
  EXPECT_EQ(wide.heading, (Rect{150, 57, 686, 94}));
  EXPECT_EQ(wide.titleBar, (Rect{0, 0, 720, kLaunchTitleBarHeight}));
}

// The timed behaviour in ticks of 45 ms; the tests of that behaviour count with these names.
TEST(WindowTiming, TickCounts) {
  EXPECT_EQ(kCheckingPercentBeforePolicy, 94);
  EXPECT_EQ(kRevealLastStep, 34);
  EXPECT_EQ(kShineLastStep, 29);
  EXPECT_EQ(kWorkbenchPollTicks, 21u);
  EXPECT_EQ(kLaunchConnectingTicks, 41u);
  EXPECT_EQ(kLaunchCloseTicks, 17u);
}

}  // namespace
}  // namespace velko
