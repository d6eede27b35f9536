#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "state/bootstrap_state.h"
#include "ui/embedded_images.h"
#include "ui/window_layout.h"

namespace velko {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// What a drawn step is to a screen reader. The accessible items are the tagged steps of the
// scene, so a reader is told what the window draws, where it draws it; untagged steps are
// decoration or, for button captions, found inside their button.
enum class ReaderPart : std::uint8_t {
  None,
  Title,
  Subtitle,
  LocationLabel,
  LocationPath,
  RowIcon,
  RowLabel,
  RowValue,
  ProgressTrack,
  StatusLine,
  Caption,
  LaunchHeading,
  LaunchStatus,
  LaunchHint,
};

// One drawing step. The painter runs them in order with the three GDI primitives
// (text, rounded rectangle, filled rectangle) and the image copies.
struct TextOp {
  std::string text;
  Rect rect;
  Rgb colour;
  int size = 0;
  int weight = 0;
  bool centred = false;
  ReaderPart part = ReaderPart::None;
};
struct RoundRectOp {
  Rect rect;
  int radius = 0;
  Rgb fill;
  Rgb border;
  int lineWidth = 1;  // of the border
  ReaderPart part = ReaderPart::None;
};
struct FillOp {
  Rect rect;
  Rgb colour;
};
struct StatusIconOp {
  int state = 0;  // >= 1 done, 0 in progress, < 0 missing
  int x = 0, y = 0;
  int size = kStatusIconSize;  // drawn size; the icon's own pixels at 96 DPI
  // High contrast: the state drawn as a shape in this one colour instead of the icon (done: a
  // filled disc, in progress: a ring, missing: a crossed ring).
  std::optional<Rgb> shape;
  ReaderPart part = ReaderPart::None;
};
struct LogoOp {
  Rect target;  // the 128 x 128 emblem scaled into this rectangle with halftone stretching
};
inline constexpr int kShineWidth = 138;
inline constexpr int kShineHeight = 22;

// The shine image of a reveal step (shine_image) drawn at (x, y) in width x height (its own size
// at 96 DPI) through a rounded clip region.
struct ShineOp {
  int revealStep = 0;
  int x = 0, y = 0;
  Rect clip;
  int clipRadius = 0;
  int width = kShineWidth, height = kShineHeight;
};

using DrawOp = std::variant<TextOp, RoundRectOp, FillOp, StatusIconOp, LogoOp, ShineOp>;

struct Scene {
  std::vector<DrawOp> ops;
};

// The colours of a high-contrast theme, as the system reports them (GetSysColor).
struct SystemColours {
  Rgb window, windowText, highlight, highlightText, buttonFace, buttonText, grayText, hotLight;
};

// What painting reads besides the plain fields of the state: the window's hover levels, values
// behind locks, the clock and the policy. Gathered once per paint so that building the scene is
// a pure function.
struct SceneInputs {
  std::array<float, kButtonCount> hoverLevels{};  // raw levels, eased by the scene
  std::string versionText;             // release_version_text of the policy
  std::string elapsedText;             // elapsed_text()
  std::string currentLongName;         // component_long_name(currentComponent)
  std::array<std::string, kComponentKindCount> sizeTexts;  // download size texts, indexed by kind
  std::uint32_t busyTicks = 0;
  std::uint32_t launchTicks = 0;
  ButtonId focused = ButtonId::None;  // the keyboard focus, which the window keeps itself
  bool focusCues = false;             // whether the focus is shown
  // Set while a high-contrast theme is on: everything is drawn in these colours, without
  // gradients, glow or shine.
  std::optional<SystemColours> highContrast;

  std::string size_text(ComponentKind kind) const {
    return kind_index(kind) < sizeTexts.size() ? sizeTexts[kind_index(kind)] : std::string();
  }
};

// Everything but the hover levels, which the window keeps itself.
SceneInputs gather_scene_inputs(BootstrapState& state);

Scene installer_scene(const BootstrapState& state, const SceneInputs& inputs);
// `width` and `height`: the client size; the layout hangs off the left and right edges.
Scene launch_scene(const BootstrapState& state, const SceneInputs& inputs, int width, int height = kLaunchHeight);

// --- The pieces, exposed for tests -------------------------------------------------------

// Smoothstep of a level clamped to 0..1: (3 - 2h)h^2.
double smoothstep(double level);
// a + b*s per channel, rounded to the nearest integer and clamped to 0..255.
std::uint8_t channel(double a, double b, double s);

// Badge glow 0..1 for a reveal step (0 outside 0..kRevealLastStep).
double reveal_glow(int revealStep);
struct BadgeColours {
  Rgb fill;
  Rgb border;
};
BadgeColours badge_colours(int revealStep);

// The shine sweep for a reveal step in 0..kShineLastStep: sweep offset and opacity.
struct ShineParameters {
  int offset = 0;
  double opacity = 0;
};
ShineParameters shine_parameters(int revealStep);
// Intensity profile of the gleam across u in 0..1 (u is clamped).
double shine_profile(double u);
// The 138 x 22 image for window pixels x 291..428, y 6..27; empty outside steps 0..kShineLastStep.
std::vector<Rgb> shine_image(int revealStep);
inline constexpr int kShineX = kBadgeShineClip.left;
inline constexpr int kShineY = kBadgeShineClip.top;

// Progress fill of the installer window; nothing when no bar is drawn.
std::optional<Rect> installer_progress_fill(UiPhase phase, std::int32_t progressPercent, std::uint32_t busyTicks);
// Moving segment of the launch window; nothing when it is not drawn.
std::optional<Rect> launch_progress_fill(std::uint32_t launchTicks, int width);

// Button colours for an eased hover level h.
struct ButtonColours {
  Rgb fill;
  Rgb border;
  Rgb text;
};
ButtonColours close_box_colours(bool busy, double h0);  // border unused
ButtonColours browse_colours(bool busy, double h1);
ButtonColours recheck_colours(bool busy, double h2);
ButtonColours primary_colours(bool enabled, double h3);
Rgb path_field_border(bool busy, double h1);

bool primary_enabled(const BootstrapState& state);

// The focus ring: a line inside the button's edge, in a colour that stands out on every colour
// an enabled button takes. The four sides, as filled rectangles.
inline constexpr int kFocusRingInset = 3;
inline constexpr Rgb kFocusRingColour{255, 255, 255};
std::array<Rect, 4> focus_ring(ButtonId button);
// Whether the state holds an environment report of a supported system: the one test behind
// every "supported" in the window (texts, rows, the primary button, the reveal).
bool report_supported(const BootstrapState& state);

}  // namespace velko
