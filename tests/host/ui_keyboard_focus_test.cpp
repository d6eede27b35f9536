#include "ui/keyboard_focus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "ui/scene.h"
#include "ui/window_logic.h"
#include "ui_test_state.h"

namespace velko {
namespace {

using B = ButtonId;
using P = UiPhase;

// Which buttons take a press is what hit-testing answers on each button's rectangle.
TEST(KeyboardFocus, EnabledButtonsAreTheOnesAClickHits) {
  for (P phase : {P::Checking, P::Ready, P::Downloading, P::Installing, P::WaitingForWorkbenchExit, P::Completed,
                  P::Failed}) {
    for (bool actionable : {false, true}) {
      for (B button : {B::Close, B::Browse, B::Recheck, B::Primary}) {
        const Rect r = button_rect(button);
        const bool hit = hit_test((r.left + r.right) / 2, (r.top + r.bottom) / 2, phase, actionable) == button;
        EXPECT_EQ(button_enabled(button, phase, actionable), hit)
            << static_cast<int>(phase) << " " << actionable << " " << static_cast<int>(button);
      }
    }
  }
  EXPECT_FALSE(button_enabled(B::None, P::Ready, true));
}

// Tab walks the enabled buttons in reading order and wraps; Shift+Tab walks back.
TEST(KeyboardFocus, TabFollowsTheReadingOrderOverEnabledButtons) {
  struct Case {
    P phase;
    bool actionable;
    bool backwards;
    std::vector<B> walk;  // from None, the buttons focused by successive presses
  };
  const Case cases[] = {
      {P::Ready, true, false, {B::Browse, B::Recheck, B::Primary, B::Close, B::Browse}},
      {P::Ready, true, true, {B::Close, B::Primary, B::Recheck, B::Browse, B::Close}},
      {P::Ready, false, false, {B::Browse, B::Recheck, B::Close, B::Browse}},  // no supported report
      {P::Checking, true, false, {B::Browse, B::Recheck, B::Close}},
      {P::Completed, true, false, {B::Browse, B::Recheck, B::Primary, B::Close}},
      {P::Downloading, true, false, {B::None, B::None}},
      {P::Installing, true, true, {B::None}},
  };
  for (const Case& c : cases) {
    B at = B::None;
    for (B expected : c.walk) {
      at = next_focus(at, c.backwards, c.phase, c.actionable);
      EXPECT_EQ(at, expected) << static_cast<int>(c.phase) << " backwards " << c.backwards;
    }
  }
}

TEST(KeyboardFocus, ThePrimaryButtonTakesTheFocusWhenAPhaseEnablesItUnlessTheUserMovedIt) {
  struct Step {
    P phase;
    bool tab;  // the user presses Tab before the phase is followed
    B focused;
    bool changed;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"first installation",
       {{P::Checking, false, B::None, false},
        {P::Ready, false, B::Primary, true},
        {P::Downloading, false, B::None, true},  // the pressed button is disabled while busy
        {P::Installing, false, B::None, false},
        {P::Completed, false, B::Primary, true}}},
      {"moved before the end of the check",
       {{P::Checking, true, B::Browse, true}, {P::Ready, false, B::Browse, false}}},
      {"moved, then its button is disabled: the next phase gives the primary button the focus again",
       {{P::Ready, false, B::Primary, true},
        {P::Ready, true, B::Close, true},
        {P::Downloading, false, B::None, true},
        {P::Completed, false, B::Primary, true}}},
      {"the primary button stays enabled: nothing taken from the user",
       {{P::Ready, false, B::Primary, true}, {P::Ready, true, B::Close, true}, {P::Ready, false, B::Close, false}}},
      {"a failure leaves the primary button disabled", {{P::Failed, false, B::None, false}}},
  };
  for (const Case& c : cases) {
    KeyboardFocus focus;
    for (const Step& step : c.steps) {
      bool changed = false;
      if (step.tab) changed = move_focus(focus, false, step.phase, true);
      changed = follow_phase(focus, step.phase, true) || changed;
      EXPECT_EQ(focus.focused, step.focused) << c.name << " at phase " << static_cast<int>(step.phase);
      EXPECT_EQ(changed, step.changed) << c.name << " at phase " << static_cast<int>(step.phase);
    }
  }
}

TEST(KeyboardFocus, TabWithNothingEnabledMovesNothing) {
  KeyboardFocus focus;
  EXPECT_FALSE(move_focus(focus, false, P::Installing, true));
  EXPECT_EQ(focus.focused, B::None);
  EXPECT_FALSE(focus.movedByUser);
}

TEST(KeyboardFocus, KeysAndTheirCommands) {
  struct Case {
    unsigned key;
    bool shift, repeated;
    KeyCommand command;
  };
  const Case cases[] = {
      {0x09, false, false, KeyCommand::FocusNext},  {0x09, true, false, KeyCommand::FocusPrevious},
      {0x09, false, true, KeyCommand::FocusNext},   {0x0D, false, false, KeyCommand::Press},
      {0x20, false, false, KeyCommand::Press},      {0x0D, false, true, KeyCommand::None},
      {0x20, true, true, KeyCommand::None},         {0x1B, false, false, KeyCommand::Close},
      {0x41, false, false, KeyCommand::None},       {0x25, false, false, KeyCommand::None},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(key_command(c.key, c.shift, c.repeated), c.command) << c.key << " " << c.shift << " " << c.repeated;
  }
}

double luminance(Rgb c) {
  const auto linear = [](std::uint8_t v) {
    const double s = v / 255.0;
    return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}
double contrast(Rgb a, Rgb b) {
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The ring lies inside the button, on its fill, and stands out from every fill an enabled button
// takes at any hover level by at least the 3:1 of a visible focus indicator.
TEST(KeyboardFocus, TheFocusRingStandsOutOnEveryButtonsColours) {
  for (double h = 0.0; h <= 1.0; h += 0.125) {
    for (Rgb fill : {close_box_colours(false, h).fill, browse_colours(false, h).fill, recheck_colours(false, h).fill,
                     primary_colours(true, h).fill}) {
      EXPECT_GE(contrast(kFocusRingColour, fill), 3.0) << h;
    }
  }
  for (B button : {B::Close, B::Browse, B::Recheck, B::Primary}) {
    const Rect b = button_rect(button);
    for (const Rect& side : focus_ring(button)) {
      EXPECT_GT(side.left, b.left);
      EXPECT_GT(side.top, b.top);
      EXPECT_LT(side.right, b.right);
      EXPECT_LT(side.bottom, b.bottom);
      EXPECT_TRUE(side.right - side.left == 1 || side.bottom - side.top == 1);
    }
  }
}

TEST(KeyboardFocus, TheRingIsDrawnOnlyWhenTheCuesAreShown) {
  const auto state = test::supported_state(P::Ready, WorkbenchInstallState::None);
  SceneInputs inputs = test::sample_inputs();
  const auto rings = [&] {
    int count = 0;
    const Rect side = focus_ring(B::Primary)[0];
    for (const DrawOp& op : installer_scene(*state, inputs).ops) {
      if (const auto* fill = std::get_if<FillOp>(&op); fill && fill->rect == side && fill->colour == kFocusRingColour) {
        ++count;
      }
    }
    return count;
  };
  inputs.focused = B::Primary;
  EXPECT_EQ(rings(), 0);
  inputs.focusCues = true;
  EXPECT_EQ(rings(), 1);
  inputs.focused = B::None;
  EXPECT_EQ(rings(), 0);
}

}  // namespace
}  // namespace velko
