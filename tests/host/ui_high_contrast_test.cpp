#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <variant>
#include <vector>

#include "ui/scene.h"
#include "ui/window_timing.h"
#include "ui_test_state.h"

namespace velko {
namespace {

// A theme whose colours appear nowhere in the window's own scheme.
constexpr SystemColours kTheme{{1, 2, 3},  {250, 251, 252}, {4, 5, 6},  {240, 241, 242},
                               {7, 8, 9},  {230, 231, 232}, {10, 11, 12}, {13, 14, 15}};

std::tuple<int, int, int> key(Rgb c) { return {c.r, c.g, c.b}; }

std::vector<Rgb> colours_of(const Scene& scene) {
  std::vector<Rgb> out;
  for (const DrawOp& op : scene.ops) {
    if (const auto* text = std::get_if<TextOp>(&op)) out.push_back(text->colour);
    if (const auto* round = std::get_if<RoundRectOp>(&op)) out.insert(out.end(), {round->fill, round->border});
    if (const auto* fill = std::get_if<FillOp>(&op)) out.push_back(fill->colour);
    if (const auto* icon = std::get_if<StatusIconOp>(&op)) {
      EXPECT_TRUE(icon->shape.has_value()) << "a coloured icon image under high contrast";
      if (icon->shape) out.push_back(*icon->shape);
    }
  }
  return out;
}

struct Situation {
  const char* name;
  UiPhase phase;
  bool launch;
  int revealStep;
  std::uint32_t busyTicks;
};

// Every phase of both windows, hovered or not, focused or not: only the theme's colours, no
// shine and the same drawing at every step of the reveal (no glow).
TEST(HighContrast, TheSceneUsesOnlyTheSystemColours) {
  const std::set<std::tuple<int, int, int>> allowed{
      key(kTheme.window),     key(kTheme.windowText), key(kTheme.highlight), key(kTheme.highlightText),
      key(kTheme.buttonFace), key(kTheme.buttonText), key(kTheme.grayText),  key(kTheme.hotLight)};
  const Situation situations[] = {
      {"checking", UiPhase::Checking, false, -1, 0},   {"ready revealing", UiPhase::Ready, false, 5, 0},
      {"downloading", UiPhase::Downloading, false, -1, 0}, {"installing", UiPhase::Installing, false, -1, 300},
      {"completed", UiPhase::Completed, false, -1, 0}, {"failed", UiPhase::Failed, false, -1, 0},
      {"launching", UiPhase::Checking, true, -1, 0},   {"launch failed", UiPhase::Failed, true, -1, 0},
  };
  for (const Situation& s : situations) {
    for (float hover : {0.0f, 1.0f}) {
      auto state = test::supported_state(s.phase, WorkbenchInstallState::None);
      state->revealStep = s.revealStep;
      state->progressPercent = 40;
      state->launchMode = s.launch;
      SceneInputs inputs = test::sample_inputs();
      inputs.busyTicks = s.busyTicks;
      inputs.launchTicks = 20;
      inputs.hoverLevels.fill(hover);
      inputs.focused = ButtonId::Primary;
      inputs.focusCues = true;
      inputs.highContrast = kTheme;
      const Scene scene = s.launch ? launch_scene(*state, inputs, kLaunchWidth) : installer_scene(*state, inputs);
      for (Rgb c : colours_of(scene)) {
        EXPECT_TRUE(allowed.count(key(c))) << s.name << " hover " << hover << ": RGB(" << int(c.r) << ", "
                                           << int(c.g) << ", " << int(c.b) << ")";
      }
      for (const DrawOp& op : scene.ops) EXPECT_FALSE(std::holds_alternative<ShineOp>(op)) << s.name;
    }
  }
  // No glow: the reveal changes nothing drawn.
  auto state = test::supported_state(UiPhase::Ready, WorkbenchInstallState::None);
  SceneInputs inputs = test::sample_inputs();
  inputs.highContrast = kTheme;
  state->revealStep = -1;
  const std::vector<Rgb> still = colours_of(installer_scene(*state, inputs));
  for (int step = 0; step <= kRevealLastStep; step += 7) {
    state->revealStep = step;
    EXPECT_EQ(colours_of(installer_scene(*state, inputs)), still) << step;
  }
}

// Without a theme the window keeps its own colours: the theme's appear nowhere.
TEST(HighContrast, WithoutAThemeTheWindowKeepsItsOwnColours) {
  auto state = test::supported_state(UiPhase::Ready, WorkbenchInstallState::None);
  const Scene scene = installer_scene(*state, test::sample_inputs());
  for (const DrawOp& op : scene.ops) {
    if (const auto* icon = std::get_if<StatusIconOp>(&op)) {
      EXPECT_FALSE(icon->shape.has_value());
    }
  }
  for (const DrawOp& op : scene.ops) {
    if (const auto* fill = std::get_if<FillOp>(&op)) {
      EXPECT_NE(fill->colour, kTheme.window);
    }
  }
}

// States differ by more than colour: the primary button by a wider border, a disabled button by
// its grey text, the row states by their shapes.
TEST(HighContrast, StatesAreTellableWithoutColour) {
  auto ready = test::supported_state(UiPhase::Ready, WorkbenchInstallState::None);
  auto busy = test::supported_state(UiPhase::Downloading, WorkbenchInstallState::None);
  SceneInputs inputs = test::sample_inputs();
  inputs.highContrast = kTheme;
  const auto primary_shape = [&](const BootstrapState& state) {
    for (const DrawOp& op : installer_scene(state, inputs).ops) {
      if (const auto* round = std::get_if<RoundRectOp>(&op); round && round->rect == button_rect(ButtonId::Primary)) {
        return *round;
      }
    }
    return RoundRectOp{};
  };
  EXPECT_EQ(primary_shape(*ready).lineWidth, 2);
  EXPECT_EQ(primary_shape(*ready).border, kTheme.buttonText);
  EXPECT_EQ(primary_shape(*busy).border, kTheme.grayText);
  std::set<int> states;
  for (const DrawOp& op : installer_scene(*busy, inputs).ops) {
    if (const auto* icon = std::get_if<StatusIconOp>(&op)) states.insert(icon->state >= 1 ? 1 : icon->state < 0 ? -1 : 0);
  }
  EXPECT_GE(states.size(), 2u) << "the rows of a download show done and missing alike";
}

}  // namespace
}  // namespace velko
