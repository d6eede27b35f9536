#include "ui/accessible_items.h"

#include <algorithm>

#include "ui/view_texts.h"
#include "ui/window_constants.h"
#include "ui/window_layout.h"
#include "ui/window_logic.h"

namespace velko {

Rect button_bounds(ButtonId button) {
  if (button == ButtonId::None) return {};
  // hits() takes the column and row just past the drawn rectangle as well.
  const Rect drawn = button_rect(button);
  return Rect{drawn.left, drawn.top, drawn.right + 1, drawn.bottom + 1};
}

ClientPoint button_press_point(ButtonId button) {
  const Rect bounds = button_bounds(button);
  return {(bounds.left + bounds.right - 1) / 2, (bounds.top + bounds.bottom - 1) / 2};
}

std::string accessible_window_name(bool launchMode) {
  return launchMode ? kLaunchWindow.title : kInstallerWindow.title;
}

namespace {

// The steps of a scene a reader is told about, by what they are (their tags), in drawing order.
class SceneParts {
 public:
  explicit SceneParts(const Scene& scene) : ops_(scene.ops) {}

  template <typename Op>
  std::vector<const Op*> all(ReaderPart part) const {
    std::vector<const Op*> found;
    for (const DrawOp& step : ops_) {
      if (const auto* op = std::get_if<Op>(&step); op && op->part == part) found.push_back(op);
    }
    return found;
  }
  template <typename Op>
  const Op* first(ReaderPart part) const {
    const auto found = all<Op>(part);
    return found.empty() ? nullptr : found.front();
  }
  // The caption drawn inside `area` (a button's).
  const TextOp* caption_in(const Rect& area) const {
    for (const TextOp* op : all<TextOp>(ReaderPart::Caption)) {
      const int x = (op->rect.left + op->rect.right) / 2;
      const int y = (op->rect.top + op->rect.bottom) / 2;
      if (x >= area.left && x < area.right && y >= area.top && y < area.bottom) return op;
    }
    return nullptr;
  }

 private:
  const std::vector<DrawOp>& ops_;
};

Rect united(const Rect& a, const Rect& b) {
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

AccessibleItem missing(AccessibleRole role) {
  AccessibleItem item;
  item.role = role;
  item.invisible = true;
  return item;
}

// A text the scene did not draw (cannot happen with the scenes of this program) stays in the
// list, so that positions stay stable, marked invisible.
AccessibleItem static_text(const TextOp* op) {
  if (op == nullptr) return missing(AccessibleRole::StaticText);
  return {AccessibleRole::StaticText, op->text, {}, op->rect};
}

AccessibleItem progress_bar(const RoundRectOp* track) {
  if (track == nullptr) return missing(AccessibleRole::ProgressBar);
  return {AccessibleRole::ProgressBar, kProgressName, {}, track->rect};
}

std::string percent_text(std::int32_t percent) { return std::to_string(std::clamp(percent, 0, 100)) + "%"; }

AccessibleItem push_button(const SceneParts& parts, ButtonId button, std::string name, bool unavailable) {
  AccessibleItem item{AccessibleRole::PushButton, std::move(name), {}, button_bounds(button)};
  item.unavailable = unavailable;
  item.button = button;
  if (item.name.empty()) {
    if (const TextOp* caption = parts.caption_in(item.bounds)) item.name = caption->text;
  }
  return item;
}

}  // namespace

std::vector<AccessibleItem> installer_accessible_items(const BootstrapState& state, const SceneInputs& inputs) {
  const Scene scene = installer_scene(state, inputs);
  const SceneParts parts(scene);
  std::vector<AccessibleItem> items;
  items.push_back(static_text(parts.first<TextOp>(ReaderPart::Title)));
  items.push_back(static_text(parts.first<TextOp>(ReaderPart::Subtitle)));

  // Install location: the label as the name, the path as its value.
  const TextOp* label = parts.first<TextOp>(ReaderPart::LocationLabel);
  const TextOp* path = parts.first<TextOp>(ReaderPart::LocationPath);
  if (label != nullptr && path != nullptr) {
    items.push_back({AccessibleRole::Text, label->text, path->text, united(label->rect, path->rect)});
  } else {
    items.push_back(missing(AccessibleRole::Text));
  }

  // Component rows: the status icon, the label and the value of each, in drawing order.
  const auto icons = parts.all<StatusIconOp>(ReaderPart::RowIcon);
  const auto labels = parts.all<TextOp>(ReaderPart::RowLabel);
  const auto values = parts.all<TextOp>(ReaderPart::RowValue);
  for (std::size_t row = 0; row < std::min({icons.size(), labels.size(), values.size()}); ++row) {
    const Rect iconRect{icons[row]->x, icons[row]->y, icons[row]->x + 1, icons[row]->y + 1};
    items.push_back({AccessibleRole::Text, labels[row]->text, values[row]->text,
                     united(iconRect, united(labels[row]->rect, values[row]->rect))});
  }

  // While a component installs the bar slides without a percent.
  AccessibleItem progress = progress_bar(parts.first<RoundRectOp>(ReaderPart::ProgressTrack));
  if (state.phase == UiPhase::Installing) {
    progress.busy = true;
  } else {
    progress.value = percent_text(state.progressPercent);
  }
  items.push_back(std::move(progress));
  items.push_back(static_text(parts.first<TextOp>(ReaderPart::StatusLine)));

  // Buttons in reading order: the folder choice, then the bottom pair, then the close box.
  const bool busy = is_busy(state.phase);
  items.push_back(push_button(parts, ButtonId::Browse, {}, busy));
  items.push_back(push_button(parts, ButtonId::Recheck, {}, busy));
  items.push_back(push_button(parts, ButtonId::Primary, primary_label(state), !primary_enabled(state)));
  items.push_back(push_button(parts, ButtonId::Close, kCloseButtonName, busy));
  return items;
}

std::vector<AccessibleItem> launch_accessible_items(const BootstrapState& state, const SceneInputs& inputs,
                                                    int width, int height) {
  const Scene scene = launch_scene(state, inputs, width, height);
  const SceneParts parts(scene);
  std::vector<AccessibleItem> items;
  for (const ReaderPart part : {ReaderPart::LaunchHeading, ReaderPart::LaunchStatus, ReaderPart::LaunchHint}) {
    items.push_back(static_text(parts.first<TextOp>(part)));
  }
  // The launch knows no percent: the bar moves until it ends, and fills when it failed.
  AccessibleItem progress = progress_bar(parts.first<RoundRectOp>(ReaderPart::ProgressTrack));
  if (state.phase == UiPhase::Failed || state.phase == UiPhase::Completed) {
    progress.value = percent_text(100);
  } else {
    progress.busy = true;
  }
  items.push_back(std::move(progress));
  return items;
}

std::vector<AccessibleItem> accessible_items(const BootstrapState& state, const SceneInputs& inputs, int width,
                                             int height) {
  if (state.launchMode) return launch_accessible_items(state, inputs, width, height);
  return installer_accessible_items(state, inputs);
}

std::vector<AccessibleItem> announced_items(const BootstrapState& state, const SceneInputs& inputs, int width,
                                            int height) {
  SceneInputs quiet = inputs;
  quiet.elapsedText.clear();
  return accessible_items(state, quiet, width, height);
}

namespace {

bool same_state(const AccessibleItem& a, const AccessibleItem& b) {
  return a.unavailable == b.unavailable && a.invisible == b.invisible && a.busy == b.busy;
}

}  // namespace

std::vector<Announcement> take_announcements(AnnouncedState& announced, const std::vector<AccessibleItem>& items,
                                             UiPhase phase, std::int32_t progressPercent,
                                             std::chrono::steady_clock::time_point now) {
  std::vector<Announcement> out;
  if (!announced.primed || announced.items.size() != items.size()) {
    announced.items = items;
    announced.times.assign(items.size(), now - kAnnouncementInterval);
    announced.phase = phase;
    announced.percent = progressPercent;
    announced.primed = true;
    return out;
  }
  const bool phaseChanged = phase != announced.phase;
  // Reaching 100 is spoken at once; staying at 100 (as other phases leave it) is not.
  const bool reachedTheEnd = progressPercent >= 100 && announced.percent < 100;
  announced.phase = phase;
  announced.percent = progressPercent;
  for (std::size_t i = 0; i < items.size(); ++i) {
    AccessibleItem& last = announced.items[i];
    const AccessibleItem& item = items[i];
    const bool stateChanged = !same_state(last, item);
    const bool textChanged = last.name != item.name || last.value != item.value;
    if (!stateChanged && !textChanged) continue;
    const bool due = phaseChanged || stateChanged || reachedTheEnd || now - announced.times[i] >= kAnnouncementInterval;
    if (!due) continue;
    if (last.name != item.name) out.push_back({i, ItemChange::Name});
    if (last.value != item.value) out.push_back({i, ItemChange::Value});
    if (stateChanged) out.push_back({i, ItemChange::State});
    last = item;
    announced.times[i] = now;
  }
  // Moved rectangles need no announcement, but the record follows them.
  for (std::size_t i = 0; i < items.size(); ++i) announced.items[i].bounds = items[i].bounds;
  return out;
}

bool announcements_pending(const AnnouncedState& announced, const std::vector<AccessibleItem>& items) {
  if (!announced.primed || announced.items.size() != items.size()) return false;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const AccessibleItem& last = announced.items[i];
    if (last.name != items[i].name || last.value != items[i].value || !same_state(last, items[i])) return true;
  }
  return false;
}

}  // namespace velko
