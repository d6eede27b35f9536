#include "ui/taskbar_button_win.h"

#include <objbase.h>
#include <shobjidl.h>

#include "ui/com_apartment_win.h"
#include "ui/taskbar_progress.h"
#include "win/unique_any.h"

namespace velko {
namespace {

struct TaskbarButton {
  HWND window = nullptr;
  bool created = false;      // the shell has announced the button
  bool unavailable = false;  // the taskbar interface could not be had: stop trying
  win::com_ptr<ITaskbarList3> list;
  TaskbarProgress shown;
};

TaskbarButton& button() {
  static TaskbarButton instance;
  return instance;
}

TBPFLAG flag_of(TaskbarState state) {
  switch (state) {
    case TaskbarState::None: return TBPF_NOPROGRESS;
    case TaskbarState::Normal: return TBPF_NORMAL;
    case TaskbarState::Indeterminate: return TBPF_INDETERMINATE;
    case TaskbarState::Error: return TBPF_ERROR;
  }
  return TBPF_NOPROGRESS;
}

// The taskbar list, made on the first progress there is to show (and COM with it).
ITaskbarList3* taskbar_list(TaskbarButton& b) {
  if (b.list) return b.list.get();
  if (b.unavailable) return nullptr;
  b.unavailable = true;
  if (!enter_window_thread_apartment()) return nullptr;
  win::com_ptr<ITaskbarList3> list;
  if (FAILED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3, list.put_void())))
    return nullptr;
  if (FAILED(list->HrInit())) return nullptr;
  b.unavailable = false;
  b.list = std::move(list);
  return b.list.get();
}

void show(TaskbarButton& b, const TaskbarProgress& wanted) {
  ITaskbarList3* list = taskbar_list(b);
  if (list == nullptr) return;
  // The value comes first: setting it while no progress is shown would switch to the normal state.
  if (wanted.state == TaskbarState::Normal || wanted.state == TaskbarState::Error) {
    list->SetProgressValue(b.window, wanted.completed, kTaskbarTotal);
  }
  list->SetProgressState(b.window, flag_of(wanted.state));
  b.shown = wanted;
}

}  // namespace

UINT taskbar_button_created_message() {
  static const UINT message = ::RegisterWindowMessageW(L"TaskbarButtonCreated");
  return message;
}

void allow_taskbar_button_message(HWND window) {
  ::ChangeWindowMessageFilterEx(window, taskbar_button_created_message(), MSGFLT_ALLOW, nullptr);
}

void on_taskbar_button_created(HWND window, const BootstrapState& state) {
  TaskbarButton& b = button();
  if (b.window != window) forget_taskbar_button(b.window);
  b.window = window;
  b.created = true;
  // A new button shows nothing yet, whatever was shown on an earlier one.
  b.shown = TaskbarProgress{};
  update_taskbar_progress(window, state);
}

void update_taskbar_progress(HWND window, const BootstrapState& state) {
  TaskbarButton& b = button();
  if (!b.created || b.window != window) return;
  const TaskbarProgress wanted = taskbar_progress(state);
  if (wanted == b.shown) return;
  show(b, wanted);
}

std::optional<TaskbarProgress> shown_taskbar_progress(HWND window) {
  const TaskbarButton& b = button();
  if (!b.created || b.window != window || b.unavailable) return std::nullopt;
  return b.shown;
}

void forget_taskbar_button(HWND window) {
  TaskbarButton& b = button();
  if (b.window != window) return;
  b = TaskbarButton{};
}

}  // namespace velko
