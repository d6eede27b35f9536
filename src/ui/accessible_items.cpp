#include "ui/accessible_items.h"

#include <algorithm>
#include <optional>

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

// The items take their rectangles and texts from the painted scene, so what a reader is told is
// what the window draws, where it draws it.
class SceneWalk {
 public:
  explicit SceneWalk(const Scene& scene) : ops_(scene.ops) {}

  // The first text drawn at or after `from` with this text.
  std::optional<std::size_t> find_text(const std::string& text, std::size_t from = 0) const {
    for (std::size_t i = from; i < ops_.size(); ++i) {
      if (const auto* op = std::get_if<TextOp>(&ops_[i]); op && op->text == text) return i;
    }
    return std::nullopt;
  }
  template <typename Op>
  std::optional<std::size_t> next(std::size_t from) const {
    for (std::size_t i = from; i < ops_.size(); ++i) {
      if (std::holds_alternative<Op>(ops_[i])) return i;
    }
    return std::nullopt;
  }
  template <typename Op>
  std::optional<std::size_t> previous(std::size_t before) const {
    for (std::size_t i = before; i-- > 0;) {
      if (std::holds_alternative<Op>(ops_[i])) return i;
    }
    return std::nullopt;
  }
  template <typename Op>
  const Op& at(std::size_t index) const {
    return std::get<Op>(ops_[index]);
  }
  // The centred text drawn inside `area` (a button's caption).
  std::optional<std::size_t> caption_in(const Rect& area) const {
    for (std::size_t i = 0; i < ops_.size(); ++i) {
      const auto* op = std::get_if<TextOp>(&ops_[i]);
      if (op == nullptr || !op->centred) continue;
      const int x = (op->rect.left + op->rect.right) / 2;
      const int y = (op->rect.top + op->rect.bottom) / 2;
      if (x >= area.left && x < area.right && y >= area.top && y < area.bottom) return i;
    }
    return std::nullopt;
  }
  std::size_t size() const { return ops_.size(); }

 private:
  const std::vector<DrawOp>& ops_;
};

Rect united(const Rect& a, const Rect& b) {
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

AccessibleItem static_text(const TextOp& op) { return {AccessibleRole::StaticText, op.text, {}, op.rect}; }

std::string percent_text(std::int32_t percent) { return std::to_string(std::clamp(percent, 0, 100)) + "%"; }

// An item the scene did not draw (cannot happen with the scenes of this program): kept in the
// list so that positions stay stable, marked invisible.
AccessibleItem missing(AccessibleRole role) {
  AccessibleItem item;
  item.role = role;
  item.invisible = true;
  return item;
}

AccessibleItem push_button(const SceneWalk& walk, ButtonId button, std::string name, bool unavailable) {
  AccessibleItem item{AccessibleRole::PushButton, std::move(name), {}, button_bounds(button)};
  item.unavailable = unavailable;
  item.button = button;
  if (item.name.empty()) {
    if (auto caption = walk.caption_in(item.bounds)) item.name = walk.at<TextOp>(*caption).text;
  }
  return item;
}

}  // namespace

std::vector<AccessibleItem> installer_accessible_items(const BootstrapState& state, const SceneInputs& inputs) {
  const Scene scene = installer_scene(state, inputs);
  const SceneWalk walk(scene);
  std::vector<AccessibleItem> items;

  // Phase title and subtitle. The header band may carry the title's words too, so the subtitle
  // is found first and the title is the text drawn just before it.
  const PhaseTexts texts = phase_texts(state);
  const auto subtitle = walk.find_text(texts.subtitle);
  const auto title = subtitle ? walk.previous<TextOp>(*subtitle) : std::nullopt;
  items.push_back(title ? static_text(walk.at<TextOp>(*title)) : missing(AccessibleRole::StaticText));
  items.push_back(subtitle ? static_text(walk.at<TextOp>(*subtitle)) : missing(AccessibleRole::StaticText));

  // Install location: the label drawn before the path field, the path as its value.
  const std::size_t afterTexts = subtitle ? *subtitle + 1 : 0;
  const auto path = walk.find_text(install_path_text(state), afterTexts);
  const auto label = path ? walk.previous<TextOp>(*path) : std::nullopt;
  if (path && label && *label >= afterTexts) {
    const TextOp& labelOp = walk.at<TextOp>(*label);
    const TextOp& pathOp = walk.at<TextOp>(*path);
    items.push_back({AccessibleRole::Text, labelOp.text, pathOp.text, united(labelOp.rect, pathOp.rect)});
  } else {
    items.push_back(missing(AccessibleRole::Text));
  }

  // Component rows: each starts with its status icon, then its label and its value.
  std::size_t cursor = 0;
  std::size_t rows = 0;
  while (auto icon = walk.next<StatusIconOp>(cursor)) {
    const auto rowLabel = walk.next<TextOp>(*icon + 1);
    const auto rowValue = rowLabel ? walk.next<TextOp>(*rowLabel + 1) : std::nullopt;
    if (!rowValue) break;
    const TextOp& labelOp = walk.at<TextOp>(*rowLabel);
    const TextOp& valueOp = walk.at<TextOp>(*rowValue);
    const StatusIconOp& iconOp = walk.at<StatusIconOp>(*icon);
    const Rect iconRect{iconOp.x, iconOp.y, iconOp.x + 1, iconOp.y + 1};
    items.push_back({AccessibleRole::Text, labelOp.text, valueOp.text,
                     united(iconRect, united(labelOp.rect, valueOp.rect))});
    cursor = *rowValue + 1;
    ++rows;
  }

  // The progress bar is the track drawn after the rows; the status line is the text after it.
  // While a component installs the bar slides without a percent.
  const auto track = rows > 0 ? walk.next<RoundRectOp>(cursor) : std::nullopt;
  AccessibleItem progress = track ? AccessibleItem{AccessibleRole::ProgressBar, kProgressName, {},
                                                   walk.at<RoundRectOp>(*track).rect}
                                  : missing(AccessibleRole::ProgressBar);
  if (state.phase == UiPhase::Installing) {
    progress.busy = true;
  } else {
    progress.value = percent_text(state.progressPercent);
  }
  items.push_back(std::move(progress));
  const auto status = track ? walk.next<TextOp>(*track + 1) : std::nullopt;
  items.push_back(status ? static_text(walk.at<TextOp>(*status)) : missing(AccessibleRole::StaticText));

  // Buttons in reading order: the folder choice, then the bottom pair, then the close box.
  const bool busy = is_busy(state.phase);
  items.push_back(push_button(walk, ButtonId::Browse, {}, busy));
  items.push_back(push_button(walk, ButtonId::Recheck, {}, busy));
  items.push_back(push_button(walk, ButtonId::Primary, primary_label(state), !primary_enabled(state)));
  items.push_back(push_button(walk, ButtonId::Close, kCloseButtonName, busy));
  return items;
}

std::vector<AccessibleItem> launch_accessible_items(const BootstrapState& state, const SceneInputs& inputs,
                                                    int width, int height) {
  const Scene scene = launch_scene(state, inputs, width, height);
  const SceneWalk walk(scene);
  std::vector<AccessibleItem> items;
  // Heading, status line and hint are drawn one after the other.
  const auto heading = walk.find_text(launch_heading(state));
  const auto status = heading ? walk.next<TextOp>(*heading + 1) : std::nullopt;
  const auto hint = status ? walk.next<TextOp>(*status + 1) : std::nullopt;
  for (const auto& text : {heading, status, hint}) {
    items.push_back(text ? static_text(walk.at<TextOp>(*text)) : missing(AccessibleRole::StaticText));
  }
  // The launch knows no percent: the bar moves until it ends, and fills when it failed.
  const auto track = hint ? walk.next<RoundRectOp>(*hint + 1) : std::nullopt;
  AccessibleItem progress = track ? AccessibleItem{AccessibleRole::ProgressBar, kProgressName, {},
                                                   walk.at<RoundRectOp>(*track).rect}
                                  : missing(AccessibleRole::ProgressBar);
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
