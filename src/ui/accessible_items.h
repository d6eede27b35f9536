#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "state/bootstrap_state.h"
#include "ui/scene.h"

namespace velko {

// What assistive technology (screen readers, voice control) is told about the window: the
// custom-drawn window has no child controls, so its parts are described as data here and a
// thin Win32 object answers from this list.
enum class AccessibleRole : std::uint8_t { StaticText, Text, ProgressBar, PushButton };

struct AccessibleItem {
  AccessibleRole role = AccessibleRole::StaticText;
  std::string name;
  std::string value;  // empty: the item has no value (or, for a progress bar, none is known)
  Rect bounds;        // client coordinates, right and bottom exclusive
  bool unavailable = false;  // drawn disabled: its default action does nothing
  bool invisible = false;    // not drawn
  bool busy = false;         // a progress bar without a known percent
  ButtonId button = ButtonId::None;  // push buttons: the button a press acts on
  bool operator==(const AccessibleItem&) const = default;
};

// The window's parts in reading order. The list has the same length and order for every state
// of a role, so an item's position is a stable child id.
std::vector<AccessibleItem> installer_accessible_items(const BootstrapState& state, const SceneInputs& inputs);
std::vector<AccessibleItem> launch_accessible_items(const BootstrapState& state, const SceneInputs& inputs,
                                                    int width, int height);
// The role's list for a client area of `width` x `height`.
std::vector<AccessibleItem> accessible_items(const BootstrapState& state, const SceneInputs& inputs, int width,
                                             int height);

// The area a button answers clicks in (client coordinates, right and bottom exclusive): the
// rectangle hit-testing uses.
Rect button_bounds(ButtonId button);
// A point inside the button, for routing a press through the click handler.
struct ClientPoint {
  int x = 0, y = 0;
};
ClientPoint button_press_point(ButtonId button);

// The name of the window as a whole: its title.
std::string accessible_window_name(bool launchMode);

inline constexpr char kPressAction[] = "按下";
inline constexpr char kCloseButtonName[] = "关闭";
inline constexpr char kProgressName[] = "进度";

// Where each part of the installer window stands in its item list (a reader's child id is the
// position + 1): the title, the subtitle and the location, one item per window row (the
// system's, then each component's at its kind), the bar, the status line, then the buttons in
// reading order.
namespace installer_item {
inline constexpr std::size_t kTitle = 0;
inline constexpr std::size_t kSubtitle = 1;
inline constexpr std::size_t kLocation = 2;
inline constexpr std::size_t kSystemRow = 3;
constexpr std::size_t row_of(ComponentKind kind) { return kSystemRow + kind_index(kind); }
inline constexpr std::size_t kProgress = kSystemRow + kRowCount;
inline constexpr std::size_t kStatus = kProgress + 1;
inline constexpr std::size_t kBrowse = kStatus + 1;
inline constexpr std::size_t kRecheck = kBrowse + 1;
inline constexpr std::size_t kPrimary = kRecheck + 1;
inline constexpr std::size_t kClose = kPrimary + 1;
inline constexpr std::size_t kCount = kClose + 1;
}  // namespace installer_item

// --- Announcements ---------------------------------------------------------------------------

enum class ItemChange : std::uint8_t { Name, Value, State };
struct Announcement {
  std::size_t index = 0;  // position in the item list
  ItemChange change = ItemChange::Name;
  bool operator==(const Announcement&) const = default;
};

// The items as compared for announcements: the elapsed time left out, so that a clock ticking in
// a text does not make a reader repeat it every second.
std::vector<AccessibleItem> announced_items(const BootstrapState& state, const SceneInputs& inputs, int width,
                                            int height);

// What has last been announced, per item.
struct AnnouncedState {
  std::vector<AccessibleItem> items;
  std::vector<std::chrono::steady_clock::time_point> times;
  UiPhase phase = UiPhase::Checking;
  std::int32_t percent = 0;
  bool primed = false;
};

inline constexpr std::chrono::milliseconds kAnnouncementInterval{1000};

// The changes to announce now, and `announced` updated to them. The first call only records.
// A phase change, a change of availability and a progress of 100 are announced at once; other
// changes of an item at most once per interval (a change held back is announced by a later
// call once the interval has passed).
std::vector<Announcement> take_announcements(AnnouncedState& announced, const std::vector<AccessibleItem>& items,
                                             UiPhase phase, std::int32_t progressPercent,
                                             std::chrono::steady_clock::time_point now);
// Whether take_announcements holds back a change that a later call would announce.
bool announcements_pending(const AnnouncedState& announced, const std::vector<AccessibleItem>& items);

}  // namespace velko
