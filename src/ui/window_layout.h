#pragma once

#include <cstddef>
#include <cstdint>

// Everything the window measures, in client pixels: its sizes and where each part sits. Painting,
// hit-testing and anything else that needs a part's place read it from here.

namespace velko {

// {left, top, right, bottom}; right and bottom exclusive, as GDI takes them.
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const Rect&) const = default;
};

// Client sizes of the two roles.
inline constexpr int kInstallerWidth = 720;
inline constexpr int kInstallerHeight = 620;
inline constexpr int kLaunchWidth = 620;
inline constexpr int kLaunchHeight = 250;

// The installer window's buttons; the values index the hover levels.
enum class ButtonId : std::uint8_t { Close = 0, Browse = 1, Recheck = 2, Primary = 3, None = 4 };
inline constexpr std::size_t kButtonCount = 4;

// Where a button is drawn; empty for None.
constexpr Rect button_rect(ButtonId button) {
  switch (button) {
    case ButtonId::Close: return {680, 0, 720, 34};
    case ButtonId::Browse: return {578, 163, 668, 195};
    case ButtonId::Recheck: return {468, 536, 566, 572};
    case ButtonId::Primary: return {578, 536, 690, 572};
    case ButtonId::None: break;
  }
  return {};
}

// A press or the cursor counts for a button on its drawn rectangle and on the column and row
// just past its right and bottom edges as well.
constexpr bool hits(const Rect& rect, int x, int y) {
  return x >= rect.left && x <= rect.right && y >= rect.top && y <= rect.bottom;
}

// --- The installer window -------------------------------------------------------------------

// The title strip drags the window everywhere left of the close box.
inline constexpr Rect kTitleStrip{0, 0, kInstallerWidth, 34};
inline constexpr Rect kBadge{290, 5, 430, 29};
inline constexpr Rect kBadgeText{298, 5, 422, 29};
inline constexpr Rect kBadgeShineClip{291, 6, 430, 29};

inline constexpr Rect kHeaderBand{0, 34, kInstallerWidth, 76};
inline constexpr Rect kHeaderRule{0, 75, kInstallerWidth, 76};
inline constexpr Rect kHeaderLabel{28, 34, 250, 76};
inline constexpr Rect kVersionPill{566, 44, 692, 66};

inline constexpr Rect kPhaseTitle{30, 92, 690, 123};
inline constexpr Rect kPhaseSubtitle{30, 123, 690, 148};

// The install-location row: its panel, label, path field (with the path's text inset) and Browse.
inline constexpr Rect kLocationPanel{30, 154, 690, 204};
inline constexpr Rect kLocationLabel{52, 163, 140, 195};
inline constexpr Rect kPathField{142, 163, 566, 195};
inline constexpr Rect kPathText{154, 163, 554, 195};

inline constexpr Rect kComponentsPanel{30, 212, 690, 496};
inline constexpr Rect kComponentsHeading{52, 222, 220, 250};
inline constexpr Rect kComponentsRule{52, 253, 668, 254};

// The rows under the components heading: row 0 is the system, rows 1 to 5 are the components
// in ComponentKind order (Service Pack 1 first, the workbench last). Rows are 34 pixels apart
// and 36 high.
inline constexpr int kRowCount = 6;
struct RowLayout {
  Rect row;    // from the status icon to the end of the value
  Rect label;
  Rect value;
  int iconX = 0, iconY = 0;  // top left of the status icon
};
constexpr RowLayout row_layout(int row) {
  const int top = 258 + 34 * row;
  return {{58, top, 658, top + 36}, {94, top, 275, top + 36}, {278, top, 658, top + 36}, 58, top + 9};
}

// The progress bar's track, and the area its fill may cover.
inline constexpr Rect kProgressTrack{52, 468, 668, 478};
inline constexpr Rect kProgressFillArea{54, 470, 666, 476};

inline constexpr Rect kStatusLine{30, 504, 455, 530};
inline constexpr Rect kFooterHint{30, 588, 690, 614};

// --- The launch window: the layout hangs off the left and right edges of `width` -------------

inline constexpr int kLaunchTitleBarHeight = 44;

struct LaunchLayout {
  Rect titleBar;
  Rect titleRule;
  Rect titleText;
  Rect logo;
  Rect heading;
  Rect statusDot;
  Rect statusLine;
  Rect hint;
  Rect progressTrack;
  int progressTop = 0, progressBottom = 0;  // the moving segment's band inside the track
  Rect closingNote;
};
constexpr LaunchLayout launch_layout(int width) {
  return {
      .titleBar = {0, 0, width, kLaunchTitleBarHeight},
      .titleRule = {0, kLaunchTitleBarHeight - 1, width, kLaunchTitleBarHeight},
      .titleText = {22, 0, width - 22, kLaunchTitleBarHeight},
      .logo = {32, 75, 32 + 92, 75 + 92},
      .heading = {150, 57, width - 34, 94},
      .statusDot = {150, 109, 157, 116},
      .statusLine = {166, 96, width - 34, 129},
      .hint = {150, 129, width - 34, 160},
      .progressTrack = {150, 176, width - 40, 186},
      .progressTop = 178,
      .progressBottom = 184,
      .closingNote = {150, 194, width - 34, 226},
  };
}

}  // namespace velko
