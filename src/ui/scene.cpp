#include "ui/scene.h"

#include <algorithm>
#include <cmath>

#include "install/download_size.h"
#include "ui/component_names.h"
#include "ui/keyboard_focus.h"
#include "ui/state_texts.h"
#include "ui/view_texts.h"
#include "ui/window_timing.h"

namespace velko {

double smoothstep(double level) {
  const double h = std::clamp(level, 0.0, 1.0);
  return (3.0 - 2.0 * h) * h * h;
}

std::uint8_t channel(double a, double b, double s) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(a + b * s), 0L, 255L));
}

namespace {

Rgb eased(double r, double dr, double g, double dg, double b, double db, double s) {
  return {channel(r, dr, s), channel(g, dg, s), channel(b, db, s)};
}

Rgb grey(double level, double delta, double s) { return eased(level, delta, level, delta, level, delta, s); }

constexpr Rgb kWhite{255, 255, 255};

}  // namespace

double reveal_glow(int revealStep) {
  if (revealStep < 0 || revealStep > kRevealLastStep) return 0.0;
  const double t = revealStep / static_cast<double>(kRevealLastStep);
  double g = 0.0;
  if (t <= 0.18) {
    g = t / 0.18;
  } else if (t <= 0.52) {
    g = 1.0 - 0.45 * (t - 0.18) / 0.34;
  } else {
    g = 0.55 * (1.0 - (t - 0.52) / 0.48);
  }
  return std::clamp(g, 0.0, 1.0);
}

BadgeColours badge_colours(int revealStep) {
  const double g = reveal_glow(revealStep);
  const double a = std::min(0.55 * g, 1.0);
  const double b = std::min(0.86 * g, 1.0);
  return {eased(51, -7, 54, 2, 60, 4, a), eased(79, 44, 96, 88, 110, 101, b)};
}

ShineParameters shine_parameters(int revealStep) {
  if (revealStep < 0 || revealStep > kShineLastStep) return {};
  const double f = revealStep / static_cast<double>(kShineLastStep);
  ShineParameters shine;
  shine.offset = static_cast<int>(std::trunc((1.0 - (1.0 - f) * (1.0 - f)) * 315.0));
  double opacity = 1.0;
  if (f <= 0.12) {
    opacity = f / 0.12;
  } else if (f > 0.72) {
    opacity = (1.0 - f) / 0.28;
  }
  shine.opacity = std::clamp(opacity, 0.0, 1.0);
  return shine;
}

double shine_profile(double u) {
  static constexpr double kPoints[][2] = {{0, 0},       {0.18, 0.06}, {0.42, 0.22}, {0.52, 0.72},
                                          {0.62, 0.26}, {0.84, 0.06}, {1, 0}};
  u = std::clamp(u, 0.0, 1.0);
  for (std::size_t i = 1; i < std::size(kPoints); ++i) {
    if (u <= kPoints[i][0]) {
      const double x0 = kPoints[i - 1][0], y0 = kPoints[i - 1][1];
      const double x1 = kPoints[i][0], y1 = kPoints[i][1];
      return y0 + (y1 - y0) * (u - x0) / (x1 - x0);
    }
  }
  return 0.0;
}

std::vector<Rgb> shine_image(int revealStep) {
  if (revealStep < 0 || revealStep > kShineLastStep) return {};
  const ShineParameters shine = shine_parameters(revealStep);
  const Rgb base = badge_colours(revealStep).fill;
  std::vector<Rgb> pixels;
  pixels.reserve(kShineWidth * kShineHeight);
  for (int j = 0; j < kShineHeight; ++j) {
    for (int i = 0; i < kShineWidth; ++i) {
      const int x = kShineX + i;
      const double u = (x - (shine.offset + 157) - (j - 10.5) * 0.36) / 100.0;
      const double k = std::clamp(1.0 - std::abs(u - 0.52) / 0.16, 0.0, 1.0);
      const double weight = shine_profile(u) * shine.opacity;
      const double highlight[3] = {124 + 115 * k, 184 + 67 * k, 210 + 45 * k};
      pixels.push_back({channel(base.r, highlight[0] - base.r, weight), channel(base.g, highlight[1] - base.g, weight),
                        channel(base.b, highlight[2] - base.b, weight)});
    }
  }
  return pixels;
}

std::optional<Rect> installer_progress_fill(UiPhase phase, std::int32_t progressPercent, std::uint32_t busyTicks) {
  const Rect area = kProgressFillArea;
  if (phase == UiPhase::Installing) {
    // A 118-pixel block moving along with t (0..729), cut off at the ends of the area.
    const int t = static_cast<int>(busyTicks % 730);
    const int left = std::max(t - 64, area.left);
    const int right = std::min(t + 54, area.right);
    if (right <= left) return std::nullopt;
    return Rect{left, area.top, right, area.bottom};
  }
  if (progressPercent <= 0) return std::nullopt;
  const int width = std::min(progressPercent, 100) * (area.right - area.left) / 100;
  return Rect{area.left, area.top, area.left + width, area.bottom};
}

std::optional<Rect> launch_progress_fill(std::uint32_t launchTicks, int width) {
  const auto span = static_cast<std::uint64_t>(std::max(width - 74, 1));
  const int p = static_cast<int>((static_cast<std::uint64_t>(launchTicks) * 8) % span);
  const int left = std::max(p + 32, 152);
  const int right = std::min(p + 152, width - 42);
  if (right <= left) return std::nullopt;
  const LaunchLayout layout = launch_layout(width);
  return Rect{left, layout.progressTop, right, layout.progressBottom};
}

ButtonColours close_box_colours(bool busy, double h0) {
  if (busy) return {{60, 60, 60}, {60, 60, 60}, {130, 130, 130}};
  const Rgb fill = eased(60, 118, 60, -15, 60, -20, h0);
  return {fill, fill, grey(215, 40, h0)};
}

ButtonColours browse_colours(bool busy, double h1) {
  if (busy) return {{40, 40, 42}, {55, 55, 58}, {145, 145, 148}};
  return {eased(45, 7, 45, 13, 48, 16, h1), eased(76, 2, 76, 50, 80, 75, h1), grey(230, 20, h1)};
}

ButtonColours recheck_colours(bool busy, double h2) {
  if (busy) return {{40, 40, 42}, {54, 54, 57}, {140, 140, 143}};
  return {eased(45, 7, 45, 12, 48, 14, h2), eased(62, 18, 62, 56, 64, 77, h2), grey(225, 25, h2)};
}

ButtonColours primary_colours(bool enabled, double h3) {
  if (!enabled) return {{36, 67, 89}, {47, 84, 108}, {145, 170, 189}};
  return {eased(14, 4, 99, 18, 156, 22, h3), eased(17, 40, 119, 32, 187, 20, h3), kWhite};
}

Rgb path_field_border(bool busy, double h1) {
  const double k = busy ? 0.0 : std::clamp(0.65 * h1, 0.0, 1.0);
  return eased(55, 11, 55, 36, 57, 50, k);
}

bool report_supported(const BootstrapState& state) { return state.environment && state.environment->supported; }

bool primary_enabled(const BootstrapState& state) {
  return button_enabled(ButtonId::Primary, state.phase, report_supported(state));
}

std::array<Rect, 4> focus_ring(ButtonId button) {
  const Rect b = button_rect(button);
  const Rect r{b.left + kFocusRingInset, b.top + kFocusRingInset, b.right - kFocusRingInset, b.bottom - kFocusRingInset};
  return {Rect{r.left, r.top, r.right, r.top + 1}, Rect{r.left, r.bottom - 1, r.right, r.bottom},
          Rect{r.left, r.top + 1, r.left + 1, r.bottom - 1}, Rect{r.right - 1, r.top + 1, r.right, r.bottom - 1}};
}

SceneInputs gather_scene_inputs(BootstrapState& state) {
  SceneInputs inputs;
  const auto policy = current_policy(state);
  inputs.versionText = release_version_text(policy);
  inputs.elapsedText = elapsed_text(state, std::chrono::steady_clock::now());
  inputs.currentLongName = component_long_name(state.currentComponent, inputs.versionText);
  for (const ComponentRow& row : kComponentTable) {
    inputs.sizeTexts[kind_index(row.kind)] = download_size_text(row.kind, policy);
  }
  inputs.busyTicks = state.busyTicks.load();
  inputs.launchTicks = state.launchTicks.load();
  return inputs;
}

namespace {

class SceneBuilder {
 public:
  void text(std::string text, Rect rect, Rgb colour, int size, int weight, bool centred = false) {
    scene_.ops.push_back(TextOp{std::move(text), rect, colour, size, weight, centred});
  }
  void round_rect(Rect rect, int radius, Rgb fill, Rgb border) { scene_.ops.push_back(RoundRectOp{rect, radius, fill, border}); }
  void fill(Rect rect, Rgb colour) { scene_.ops.push_back(FillOp{rect, colour}); }
  void add(DrawOp op) { scene_.ops.push_back(std::move(op)); }
  // Tags the step drawn last.
  void tag(ReaderPart part) {
    std::visit([part](auto& op) {
      if constexpr (requires { op.part; }) op.part = part;
    }, scene_.ops.back());
  }
  Scene take() { return std::move(scene_); }

 private:
  Scene scene_;
};

constexpr Rgb kPanel{37, 37, 38};
constexpr Rgb kPanelBorder{60, 60, 60};
constexpr Rgb kRowValue{204, 204, 204};
constexpr Rgb kUnsupportedValue{244, 135, 113};

// The colours a scene is drawn in: its own, or under a high-contrast theme the system's, each
// part taking the system colour of its role.
class Palette {
 public:
  explicit Palette(const std::optional<SystemColours>& system) : system_(system) {}
  bool high_contrast() const { return system_.has_value(); }
  // Backgrounds and panels.
  Rgb back(Rgb own) const { return system_ ? system_->window : own; }
  // Texts, rules and borders.
  Rgb ink(Rgb own) const { return system_ ? system_->windowText : own; }
  // Progress fills.
  Rgb mark(Rgb own) const { return system_ ? system_->highlight : own; }
  // A button: the theme's button face, the highlight under the cursor, grey text when disabled.
  ButtonColours button(ButtonColours own, bool enabled, double h) const {
    if (!system_) return own;
    if (!enabled) return {system_->buttonFace, system_->grayText, system_->grayText};
    if (h >= 0.5) return {system_->highlight, system_->highlight, system_->highlightText};
    return {system_->buttonFace, system_->buttonText, system_->buttonText};
  }
  // The path field's edge lights up with the theme's hot-light colour under the cursor.
  Rgb field_border(Rgb own, bool busy, double h) const {
    if (!system_) return own;
    return !busy && h >= 0.5 ? system_->hotLight : system_->windowText;
  }
  std::optional<Rgb> icon_shape() const {
    if (!system_) return std::nullopt;
    return system_->windowText;
  }

 private:
  const std::optional<SystemColours>& system_;
};

void draw_row(SceneBuilder& out, const Palette& palette, int row, std::string label, std::string value, int status,
              Rgb valueColour) {
  const RowLayout layout = row_layout(row);
  out.add(StatusIconOp{status, layout.iconX, layout.iconY, kStatusIconSize, palette.icon_shape()});
  out.tag(ReaderPart::RowIcon);
  out.text(std::move(label), layout.label, palette.ink({220, 220, 220}), 14, 500);
  out.tag(ReaderPart::RowLabel);
  out.text(std::move(value), layout.value, palette.ink(valueColour), 13, 400);
  out.tag(ReaderPart::RowValue);
}

}  // namespace

Scene installer_scene(const BootstrapState& state, const SceneInputs& inputs) {
  SceneBuilder out;
  const Palette p(inputs.highContrast);
  const double h0 = smoothstep(inputs.hoverLevels[0]);
  const double h1 = smoothstep(inputs.hoverLevels[1]);
  const double h2 = smoothstep(inputs.hoverLevels[2]);
  const double h3 = smoothstep(inputs.hoverLevels[3]);
  const bool busy = is_busy(state.phase);

  out.fill({0, 0, kInstallerWidth, kInstallerHeight}, p.back({30, 30, 30}));
  out.fill(kTitleStrip, p.back({60, 60, 60}));

  const BadgeColours badge = badge_colours(p.high_contrast() ? -1 : state.revealStep);
  out.round_rect(kBadge, 6, p.back(badge.fill), p.ink(badge.border));
  if (!p.high_contrast() && state.revealStep >= 0 && state.revealStep <= kShineLastStep) {
    out.add(ShineOp{state.revealStep, kShineX, kShineY, kBadgeShineClip, 4});
  }
  out.text("VelkoTarn工作台", kBadgeText, p.ink(kWhite), 12, 700, true);

  const Rect closeBox = button_rect(ButtonId::Close);
  const ButtonColours close = p.button(close_box_colours(busy, h0), !busy, h0);
  out.fill(closeBox, close.fill);
  out.text("×", closeBox, close.text, 17, 400, true);
  out.tag(ReaderPart::Caption);

  out.fill(kHeaderBand, p.back(kPanel));
  out.fill(kHeaderRule, p.ink({51, 51, 51}));
  out.text(header_label(state), kHeaderLabel, p.ink({245, 245, 245}), 13, 600);

  out.round_rect(kVersionPill, 3, p.back({45, 45, 48}), p.ink({75, 75, 78}));
  out.text(version_pill_text(inputs), kVersionPill, p.ink({242, 242, 242}), 11, 500, true);

  PhaseTexts texts = phase_texts(state);
  out.text(std::move(texts.title), kPhaseTitle, p.ink({245, 245, 245}), 18, 650);
  out.tag(ReaderPart::Title);
  out.text(std::move(texts.subtitle), kPhaseSubtitle, p.ink({170, 170, 170}), 12, 400);
  out.tag(ReaderPart::Subtitle);

  out.round_rect(kLocationPanel, 4, p.back(kPanel), p.ink(kPanelBorder));
  out.text("安装位置", kLocationLabel, p.ink({230, 230, 230}), 12, 600);
  out.tag(ReaderPart::LocationLabel);
  out.round_rect(kPathField, 3, p.back({30, 30, 30}), p.field_border(path_field_border(busy, h1), busy, h1));
  out.text(install_path_text(state), kPathText, p.ink({210, 210, 210}), 12, 400);
  out.tag(ReaderPart::LocationPath);

  const Rect browseButton = button_rect(ButtonId::Browse);
  const ButtonColours browse = p.button(browse_colours(busy, h1), !busy, h1);
  out.round_rect(browseButton, 3, browse.fill, browse.border);
  out.text("选择目录", browseButton, browse.text, 11, 600, true);
  out.tag(ReaderPart::Caption);

  out.round_rect(kComponentsPanel, 4, p.back(kPanel), p.ink(kPanelBorder));
  out.text("组件检测", kComponentsHeading, p.ink({230, 230, 230}), 12, 600);
  out.fill(kComponentsRule, p.ink({55, 55, 57}));

  const bool unsupportedShown = state.phase != UiPhase::Checking && !report_supported(state);
  draw_row(out, p, 0, "操作系统与架构", system_row_value(state), system_row_status(state),
           unsupportedShown ? kUnsupportedValue : kRowValue);
  // Row 0 is the system; a component's row number is its kind.
  static_assert(kRowCount == kComponentKindCount, "one window row per component, after the system's");
  for (const ComponentRow& row : kComponentTable) {
    draw_row(out, p, static_cast<int>(kind_index(row.kind)), std::string(row.label),
             row_value_text(state, inputs, row.kind), row_status(state, row.kind), kRowValue);
  }

  out.round_rect(kProgressTrack, 3, p.back({51, 51, 51}), p.ink({51, 51, 51}));
  out.tag(ReaderPart::ProgressTrack);
  if (auto bar = installer_progress_fill(state.phase, state.progressPercent, inputs.busyTicks)) {
    out.round_rect(*bar, 2, p.mark({0, 122, 204}), p.mark({0, 122, 204}));
  }

  out.text(status_line(state, inputs), kStatusLine, p.ink({224, 224, 224}), 12, 400);
  out.tag(ReaderPart::StatusLine);

  const Rect recheckButton = button_rect(ButtonId::Recheck);
  const ButtonColours recheck = p.button(recheck_colours(busy, h2), !busy, h2);
  out.round_rect(recheckButton, 3, recheck.fill, recheck.border);
  out.text("重新检测", recheckButton, recheck.text, 12, 600, true);
  out.tag(ReaderPart::Caption);

  const Rect primaryButton = button_rect(ButtonId::Primary);
  const bool primaryOn = primary_enabled(state);
  const ButtonColours primary = p.button(primary_colours(primaryOn, h3), primaryOn, h3);
  // Without a colour of its own, the primary button stands out by a border twice as wide.
  out.add(RoundRectOp{primaryButton, 3, primary.fill, primary.border, p.high_contrast() ? 2 : 1});
  out.text(primary_label(state), primaryButton, primary.text, 12, 700, true);
  out.tag(ReaderPart::Caption);

  // Drawn only once the keyboard has been used, as Windows shows its own focus rectangles.
  if (inputs.focusCues && inputs.focused != ButtonId::None) {
    const double h = smoothstep(inputs.hoverLevels[static_cast<std::size_t>(inputs.focused)]);
    const Rgb ring = p.high_contrast() ? p.button({}, true, h).text : kFocusRingColour;
    for (const Rect& side : focus_ring(inputs.focused)) out.fill(side, ring);
  }

  out.text(footer_hint(state), kFooterHint, p.ink({150, 150, 150}), 11, 400);
  return out.take();
}

Scene launch_scene(const BootstrapState& state, const SceneInputs& inputs, int width, int height) {
  SceneBuilder out;
  const Palette p(inputs.highContrast);
  const bool failed = state.phase == UiPhase::Failed;
  const LaunchLayout layout = launch_layout(width);
  out.fill({0, 0, width, height}, p.back({18, 24, 32}));
  out.fill(layout.titleBar, p.back({27, 37, 48}));
  out.fill(layout.titleRule, p.ink({42, 56, 70}));
  out.text("Velko Tarn 工作台", layout.titleText, p.ink({234, 242, 249}), 13, 650);
  out.add(LogoOp{layout.logo});
  out.text(launch_heading(state), layout.heading, p.ink(failed ? Rgb{248, 139, 123} : Rgb{247, 250, 253}), 22, 700);
  out.tag(ReaderPart::LaunchHeading);
  const Rgb dot = p.ink(failed ? Rgb{218, 92, 75} : Rgb{41, 184, 242});
  out.round_rect(layout.statusDot, 3, dot, dot);
  out.text(launch_status_line(state, inputs.launchTicks), layout.statusLine,
           p.ink(failed ? Rgb{224, 166, 157} : Rgb{103, 205, 255}), 14, 600);
  out.tag(ReaderPart::LaunchStatus);
  out.text(launch_hint(state), layout.hint, p.ink({176, 190, 204}), 12, 400);
  out.tag(ReaderPart::LaunchHint);
  out.round_rect(layout.progressTrack, 4, p.back({45, 59, 73}), p.ink({45, 59, 73}));
  out.tag(ReaderPart::ProgressTrack);
  if (failed) {
    // A failure fills the whole track, so it differs from a running launch by shape as well.
    out.round_rect(layout.progressTrack, 4, p.ink({160, 66, 56}), p.ink({160, 66, 56}));
  } else if (auto segment = launch_progress_fill(inputs.launchTicks, width)) {
    out.round_rect(*segment, 3, p.mark({25, 161, 228}), p.mark({84, 206, 255}));
  }
  out.text("启动完成后此窗口会自动关闭", layout.closingNote, p.ink({129, 147, 165}), 11, 400);
  return out.take();
}

}  // namespace velko
