#include "ui/display_scale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <variant>
#include <vector>

#include "ui/keyboard_focus.h"
#include "ui/scene.h"
#include "ui/window_logic.h"
#include "ui_test_state.h"

namespace velko {
namespace {

constexpr int kDpis[] = {96, 120, 144, 192};

TEST(DisplayScale, OneRoundingRule) {
  struct Case {
    int value, dpi, expected;
  };
  const Case cases[] = {
      {720, 96, 720},  {720, 120, 900}, {720, 144, 1080}, {720, 192, 1440}, {620, 144, 930},
      {1, 144, 2},     // 1.5: halves away from zero
      {2, 120, 3},     // 2.5
      {3, 120, 4},     // 3.75
      {1, 120, 1},     // 1.25
      {-3, 144, -5},   // -4.5
      {-1, 120, -1},   // -1.25
      {0, 192, 0},     {17, 0, 17},  // no DPI known: as at 96
  };
  for (const Case& c : cases) EXPECT_EQ(scaled(c.value, c.dpi), c.expected) << c.value << " at " << c.dpi;
  for (int dpi : kDpis) {
    for (int length : {kInstallerWidth, kInstallerHeight, kLaunchWidth, kLaunchHeight}) {
      EXPECT_EQ(unscaled(scaled(length, dpi), dpi), length) << length << " at " << dpi;
    }
  }
}

// The rectangles a scene draws in (text, fills, panels, images), scaled.
std::vector<Rect> rects_of(const Scene& scene) {
  std::vector<Rect> out;
  for (const DrawOp& op : scene.ops) {
    if (const auto* text = std::get_if<TextOp>(&op)) out.push_back(text->rect);
    if (const auto* round = std::get_if<RoundRectOp>(&op)) out.push_back(round->rect);
    if (const auto* fill = std::get_if<FillOp>(&op)) out.push_back(fill->rect);
    if (const auto* icon = std::get_if<StatusIconOp>(&op)) out.push_back({icon->x, icon->y, icon->x + icon->size, icon->y + icon->size});
    if (const auto* logo = std::get_if<LogoOp>(&op)) out.push_back(logo->target);
    if (const auto* shine = std::get_if<ShineOp>(&op)) out.push_back({shine->x, shine->y, shine->x + shine->width, shine->y + shine->height});
  }
  return out;
}

bool overlap(const Rect& a, const Rect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

Scene sample_installer_scene(int revealStep) {
  auto state = test::supported_state(UiPhase::Ready, WorkbenchInstallState::None);
  state->revealStep = revealStep;
  SceneInputs inputs = test::sample_inputs();
  inputs.focused = ButtonId::Primary;
  inputs.focusCues = true;
  return installer_scene(*state, inputs);
}

// At every scale each part keeps its place relative to every other: what did not overlap at
// 96 DPI does not overlap scaled, nothing leaves the window, and each length grows by the scale.
TEST(DisplayScale, BothLayoutsScaleWithoutOverlapOrCutting) {
  auto launchState = test::supported_state(UiPhase::Checking, WorkbenchInstallState::Current);
  launchState->launchMode = true;
  struct Role {
    const char* name;
    Scene scene;
    int width, height;
  };
  const Role roles[] = {
      {"installer", sample_installer_scene(3), kInstallerWidth, kInstallerHeight},
      {"launch", launch_scene(*launchState, test::sample_inputs(), kLaunchWidth), kLaunchWidth, kLaunchHeight},
  };
  for (const Role& role : roles) {
    const std::vector<Rect> base = rects_of(role.scene);
    for (int dpi : kDpis) {
      const Scene big = scaled_scene(role.scene, dpi);
      const std::vector<Rect> rects = rects_of(big);
      ASSERT_EQ(rects.size(), base.size());
      const Rect window = scaled(Rect{0, 0, role.width, role.height}, dpi);
      for (std::size_t i = 0; i < rects.size(); ++i) {
        // Icons stay square: their height follows their scaled width, at most a pixel off.
        const Rect expected = scaled(base[i], dpi);
        EXPECT_EQ(rects[i].left, expected.left) << role.name << " " << i << " at " << dpi;
        EXPECT_EQ(rects[i].top, expected.top) << role.name << " " << i << " at " << dpi;
        EXPECT_EQ(rects[i].right, expected.right) << role.name << " " << i << " at " << dpi;
        EXPECT_LE(std::abs(rects[i].bottom - expected.bottom), 1) << role.name << " " << i << " at " << dpi;
        EXPECT_GE(rects[i].left, window.left);
        EXPECT_GE(rects[i].top, window.top);
        EXPECT_LE(rects[i].right, window.right) << role.name << " " << i << " at " << dpi;
        EXPECT_LE(rects[i].bottom, window.bottom) << role.name << " " << i << " at " << dpi;
        const int width = base[i].right - base[i].left;
        EXPECT_LE(std::abs((rects[i].right - rects[i].left) - width * dpi / 96), 1) << role.name << " " << i;
        for (std::size_t j = 0; j < i; ++j) {
          EXPECT_EQ(overlap(rects[i], rects[j]), overlap(base[i], base[j]))
              << role.name << " parts " << j << " and " << i << " at " << dpi;
        }
      }
      // Fonts, radii and lines grow by the same rule.
      for (std::size_t k = 0; k < big.ops.size(); ++k) {
        if (const auto* text = std::get_if<TextOp>(&big.ops[k])) {
          EXPECT_EQ(text->size, scaled(std::get<TextOp>(role.scene.ops[k]).size, dpi));
        }
        if (const auto* round = std::get_if<RoundRectOp>(&big.ops[k])) {
          const auto& before = std::get<RoundRectOp>(role.scene.ops[k]);
          EXPECT_EQ(round->radius, scaled(before.radius, dpi));
          EXPECT_EQ(round->lineWidth, scaled(before.lineWidth, dpi));
        }
        if (const auto* shine = std::get_if<ShineOp>(&big.ops[k])) {
          EXPECT_EQ(shine->clipRadius, scaled(std::get<ShineOp>(role.scene.ops[k]).clipRadius, dpi));
          EXPECT_EQ(shine->clip, scaled(std::get<ShineOp>(role.scene.ops[k]).clip, dpi));
        }
      }
    }
  }
}

TEST(DisplayScale, At96DpiTheSceneIsUnchanged) {
  const Scene scene = sample_installer_scene(3);
  const Scene same = scaled_scene(scene, 96);
  ASSERT_EQ(same.ops.size(), scene.ops.size());
  EXPECT_EQ(rects_of(same), rects_of(scene));
  const Scene logoScene = scaled_scene(Scene{{LogoOp{launch_layout(kLaunchWidth).logo}}}, 144);
  const auto* logo = std::get_if<LogoOp>(&logoScene.ops[0]);
  ASSERT_NE(logo, nullptr);
  EXPECT_EQ(logo->target.right - logo->target.left, 138);  // the 92-pixel emblem at 150 %
}

// Where a button is drawn is where it is hit, at every scale: its scaled rectangle and the
// column and row just past it, nothing beyond.
TEST(DisplayScale, HitAreasFollowTheScale) {
  for (int dpi : kDpis) {
    for (ButtonId button : {ButtonId::Close, ButtonId::Browse, ButtonId::Recheck, ButtonId::Primary}) {
      const Rect r = scaled(button_rect(button), dpi);
      EXPECT_EQ(hit_test(r.left, r.top, UiPhase::Ready, true, dpi), button) << dpi;
      EXPECT_EQ(hit_test(r.right, r.bottom, UiPhase::Ready, true, dpi), button) << dpi;
      EXPECT_NE(hit_test(r.right + 1, r.bottom + 1, UiPhase::Ready, true, dpi), button) << dpi;
      EXPECT_NE(hit_test(r.left - 1, r.top, UiPhase::Ready, true, dpi), button) << dpi;
    }
    const int closeLeft = scaled(button_rect(ButtonId::Close).left, dpi);
    EXPECT_EQ(non_client_hit(closeLeft - 1, scaled(33, dpi), false, dpi), NonClientHit::Caption);
    EXPECT_EQ(non_client_hit(closeLeft, 5, false, dpi), NonClientHit::Client);
    EXPECT_EQ(non_client_hit(5, scaled(34, dpi), false, dpi), NonClientHit::Client);
    EXPECT_EQ(non_client_hit(5, scaled(kLaunchTitleBarHeight, dpi) - 1, true, dpi), NonClientHit::Caption);
    EXPECT_EQ(non_client_hit(5, scaled(kLaunchTitleBarHeight, dpi), true, dpi), NonClientHit::Client);
  }
}

}  // namespace
}  // namespace velko
