#include <gtest/gtest.h>

#include <vector>

#include "ui/scene.h"
#include "ui/view_texts.h"
#include "ui_test_state.h"

namespace velko {
namespace {

using test::sample_inputs;
using test::supported_state;
using W = WorkbenchInstallState;

// A component's row is its kind; the icon is found where the layout puts that row's icon.
constexpr RowLayout kWorkbenchRow = row_layout(static_cast<int>(ComponentKind::Workbench));
constexpr RowLayout kWebView2Row = row_layout(static_cast<int>(ComponentKind::WebView2Runtime));
constexpr int kWorkbenchIconY = kWorkbenchRow.iconY;
constexpr int kWebView2IconY = kWebView2Row.iconY;

int icon_state_at(const Scene& scene, int y) {
  std::vector<int> found;
  for (const DrawOp& op : scene.ops) {
    if (const auto* icon = std::get_if<StatusIconOp>(&op); icon && icon->x == kWorkbenchRow.iconX && icon->y == y) {
      found.push_back(icon->state);
    }
  }
  EXPECT_EQ(found.size(), 1u) << "status icons at y = " << y;
  return found.empty() ? 99 : found.front();
}

// Once the workbench download has failed the row is what the report says, never "in progress".
TEST(CurrentComponentRow, FailedDownloadShowsMissingNotPending) {
  auto state = supported_state(UiPhase::Failed, W::None);
  state->currentComponent = ComponentKind::Workbench;
  state->statusText = "下载失败：连接被重置";
  EXPECT_EQ(row_status(*state, ComponentKind::Workbench), -1);
  EXPECT_EQ(icon_state_at(installer_scene(*state, sample_inputs()), kWorkbenchIconY), -1);
}

TEST(CurrentComponentRow, FailedAfterStagingShowsStagedAsPending) {
  auto state = supported_state(UiPhase::Failed, W::None);
  state->currentComponent = ComponentKind::Workbench;
  state->environment->components[ComponentKind::Workbench].staged = true;
  EXPECT_EQ(icon_state_at(installer_scene(*state, sample_inputs()), kWorkbenchIconY), 0);
}

TEST(CurrentComponentRow, OnlyBusyAndWaitingPhasesShowTheCurrentRowPending) {
  for (UiPhase phase : {UiPhase::Ready, UiPhase::Completed, UiPhase::Failed}) {
    for (ComponentKind kind : {ComponentKind::WebView2Runtime, ComponentKind::Workbench}) {
      auto state = supported_state(phase, W::Older);
      state->currentComponent = kind;
      const Scene scene = installer_scene(*state, sample_inputs());
      EXPECT_EQ(icon_state_at(scene, kWebView2IconY), -1) << int(phase) << " " << int(kind);
      EXPECT_EQ(icon_state_at(scene, kWorkbenchIconY), -1) << int(phase) << " " << int(kind);
    }
  }
  for (UiPhase phase : {UiPhase::Downloading, UiPhase::Installing, UiPhase::WaitingForWorkbenchExit}) {
    auto state = supported_state(phase, W::Older);
    state->currentComponent = ComponentKind::Workbench;
    const Scene scene = installer_scene(*state, sample_inputs());
    EXPECT_EQ(icon_state_at(scene, kWorkbenchIconY), 0) << int(phase);
    EXPECT_EQ(icon_state_at(scene, kWebView2IconY), -1) << int(phase);
  }
}

}  // namespace
}  // namespace velko
