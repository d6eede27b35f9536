#include "ui/accessible_window_win.h"

#include <objbase.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "ui/accessible_items.h"
#include "ui/com_apartment_win.h"
#include "ui/display_scale.h"
#include "ui/scene.h"
#include "ui/window_procedure_win.h"
#include "win/shell_library.h"
#include "win/system_library.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

// oleacc.dll is not among the DLLs Windows always loads from System32, so it is loaded from
// there on the first request of a reader, never at start-up.
using LresultFromObjectFunction = LRESULT WINAPI(REFIID, WPARAM, LPUNKNOWN);
using CreateStdAccessibleObjectFunction = HRESULT WINAPI(HWND, LONG, REFIID, void**);

LONG msaa_role(AccessibleRole role) {
  switch (role) {
    case AccessibleRole::StaticText: return ROLE_SYSTEM_STATICTEXT;
    case AccessibleRole::Text: return ROLE_SYSTEM_TEXT;
    case AccessibleRole::ProgressBar: return ROLE_SYSTEM_PROGRESSBAR;
    case AccessibleRole::PushButton: return ROLE_SYSTEM_PUSHBUTTON;
  }
  return ROLE_SYSTEM_CLIENT;
}

// While a modal dialog (the folder choice) has disabled the window, no button can be pressed.
// A button that can be pressed can take the keyboard focus; `focused`: it has it.
LONG msaa_state(const AccessibleItem& item, bool windowEnabled, bool focused) {
  LONG state = 0;
  const bool unavailable = item.unavailable || (item.role == AccessibleRole::PushButton && !windowEnabled);
  if (unavailable) state |= STATE_SYSTEM_UNAVAILABLE;
  if (item.role == AccessibleRole::PushButton && !unavailable && !item.invisible) state |= STATE_SYSTEM_FOCUSABLE;
  if (focused) state |= STATE_SYSTEM_FOCUSED;
  if (item.invisible) state |= STATE_SYSTEM_INVISIBLE;
  if (item.busy) state |= STATE_SYSTEM_BUSY;
  if (item.role == AccessibleRole::Text || item.role == AccessibleRole::StaticText) state |= STATE_SYSTEM_READONLY;
  return state;
}

// A text for a reader: S_FALSE with no text when there is none.
HRESULT give_text(const std::string& text, BSTR* out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  const std::wstring wide = win::wide(text);
  *out = win::allocate_bstr(wide);
  return *out ? S_OK : E_OUTOFMEMORY;
}

// The items of the window's client area, laid out at 96 DPI (the launch layout for the client
// width taken back to 96 DPI).
std::vector<AccessibleItem> items_of(HWND window, BootstrapState& state, bool announced = false) {
  RECT client{};
  ::GetClientRect(window, &client);
  const int dpi = window_drawing_dpi();
  const int width = unscaled(client.right, dpi), height = unscaled(client.bottom, dpi);
  const SceneInputs inputs = gather_scene_inputs(state);
  return announced ? announced_items(state, inputs, width, height) : accessible_items(state, inputs, width, height);
}

// The child id of a button's item; the object itself for None.
LONG child_of_button(const std::vector<AccessibleItem>& items, ButtonId button) {
  if (button == ButtonId::None) return CHILDID_SELF;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].role == AccessibleRole::PushButton && items[i].button == button) return static_cast<LONG>(i + 1);
  }
  return CHILDID_SELF;
}

HRESULT no_text(BSTR* out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  return S_FALSE;
}

class ClientAccessible final : public IAccessible {
 public:
  explicit ClientAccessible(HWND window) : window_(window) {}

  void disconnect() { window_ = nullptr; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch: readers use the IAccessible methods directly.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_INVALIDARG;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (parent == nullptr) return E_INVALIDARG;
    *parent = nullptr;
    if (!window_) return RPC_E_DISCONNECTED;
    // The window object around the client area, as the system describes it.
    static auto* const create = win::system_function<CreateStdAccessibleObjectFunction>(
        L"oleacc.dll", "CreateStdAccessibleObject");
    if (create == nullptr) return S_FALSE;
    win::com_ptr<IAccessible> standard;
    if (FAILED(create(window_, OBJID_CLIENT, IID_IAccessible, standard.put_void()))) return S_FALSE;
    return standard->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (count == nullptr) return E_INVALIDARG;
    *count = 0;
    if (!window_) return RPC_E_DISCONNECTED;
    *count = static_cast<LONG>(items().size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    const auto list = items();
    if (!window_) return RPC_E_DISCONNECTED;
    if (!item_of(child, list) && !is_self(child)) return E_INVALIDARG;
    return S_FALSE;  // the parts are simple elements of this object, not objects of their own
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (const HRESULT refused = begin_text(name); refused != S_OK) return refused;
    if (is_self(child)) return give_text(accessible_window_name(bootstrap_state().launchMode), name);
    const auto list = items();
    const AccessibleItem* item = item_of(child, list);
    return item ? give_text(item->name, name) : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    if (const HRESULT refused = begin_text(value); refused != S_OK) return refused;
    if (is_self(child)) return no_text(value);
    const auto list = items();
    const AccessibleItem* item = item_of(child, list);
    return item ? give_text(item->value, value) : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override { return no_text_for(child, text); }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (role == nullptr) return E_INVALIDARG;
    win::empty_variant(role);
    if (!window_) return RPC_E_DISCONNECTED;
    LONG value = ROLE_SYSTEM_DIALOG;
    if (!is_self(child)) {
      const auto list = items();
      const AccessibleItem* item = item_of(child, list);
      if (item == nullptr) return E_INVALIDARG;
      value = msaa_role(item->role);
    }
    role->vt = VT_I4;
    role->lVal = value;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (state == nullptr) return E_INVALIDARG;
    win::empty_variant(state);
    if (!window_) return RPC_E_DISCONNECTED;
    LONG value = STATE_SYSTEM_FOCUSABLE;
    if (is_self(child)) {
      if (::GetFocus() == window_) value |= STATE_SYSTEM_FOCUSED;
    } else {
      const auto list = items();
      const AccessibleItem* item = item_of(child, list);
      if (item == nullptr) return E_INVALIDARG;
      const bool focused = item->button != ButtonId::None && item->button == focused_button() && ::GetFocus() == window_;
      value = msaa_state(*item, ::IsWindowEnabled(window_) != FALSE, focused);
    }
    state->vt = VT_I4;
    state->lVal = value;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override { return no_text_for(child, text); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
    if (topic) *topic = 0;
    return no_text(file);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* text) override {
    if (const HRESULT refused = begin_text(text); refused != S_OK) return refused;
    const auto list = items();
    const AccessibleItem* item = item_of(child, list);
    if (item == nullptr && !is_self(child)) return E_INVALIDARG;
    // Esc does what the close box does.
    if (item && item->button == ButtonId::Close) return give_text("Esc", text);
    return no_text(text);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (focus == nullptr) return E_INVALIDARG;
    win::empty_variant(focus);
    if (!window_) return RPC_E_DISCONNECTED;
    if (::GetFocus() != window_) return S_FALSE;
    focus->vt = VT_I4;
    focus->lVal = child_of_button(items(), focused_button());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (selection == nullptr) return E_INVALIDARG;
    win::empty_variant(selection);
    return window_ ? S_FALSE : RPC_E_DISCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    if (const HRESULT refused = begin_text(action); refused != S_OK) return refused;
    const auto list = items();
    const AccessibleItem* item = item_of(child, list);
    if (item == nullptr && !is_self(child)) return E_INVALIDARG;
    if (item && item->role == AccessibleRole::PushButton) return give_text(kPressAction, action);
    return no_text(action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return window_ ? DISP_E_MEMBERNOTFOUND : RPC_E_DISCONNECTED; }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
    if (!left || !top || !width || !height) return E_INVALIDARG;
    *left = *top = *width = *height = 0;
    if (!window_) return RPC_E_DISCONNECTED;
    POINT origin{0, 0};
    ::ClientToScreen(window_, &origin);
    Rect bounds;
    if (is_self(child)) {
      RECT client{};
      ::GetClientRect(window_, &client);
      bounds = {client.left, client.top, client.right, client.bottom};
    } else {
      const auto list = items();
      const AccessibleItem* item = item_of(child, list);
      if (item == nullptr) return E_INVALIDARG;
      bounds = scaled(item->bounds, window_drawing_dpi());
    }
    *left = origin.x + bounds.left;
    *top = origin.y + bounds.top;
    *width = bounds.right - bounds.left;
    *height = bounds.bottom - bounds.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    if (end == nullptr) return E_INVALIDARG;
    win::empty_variant(end);
    if (!window_) return RPC_E_DISCONNECTED;
    const LONG count = static_cast<LONG>(items().size());
    LONG target = 0;
    if (is_self(start)) {
      if (direction == NAVDIR_FIRSTCHILD) target = 1;
      if (direction == NAVDIR_LASTCHILD) target = count;
    } else {
      if (start.vt != VT_I4 || start.lVal < 1 || start.lVal > count) return E_INVALIDARG;
      if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN) target = start.lVal + 1;
      if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP) target = start.lVal - 1;
    }
    if (target < 1 || target > count) return S_FALSE;
    end->vt = VT_I4;
    end->lVal = target;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* found) override {
    if (found == nullptr) return E_INVALIDARG;
    win::empty_variant(found);
    if (!window_) return RPC_E_DISCONNECTED;
    POINT point{x, y};
    ::ScreenToClient(window_, &point);
    RECT client{};
    ::GetClientRect(window_, &client);
    if (!::PtInRect(&client, point)) return S_FALSE;
    const auto list = items();
    found->vt = VT_I4;
    found->lVal = CHILDID_SELF;
    for (std::size_t i = 0; i < list.size(); ++i) {
      const Rect r = scaled(list[i].bounds, window_drawing_dpi());
      if (!list[i].invisible && point.x >= r.left && point.x < r.right && point.y >= r.top && point.y < r.bottom) {
        found->lVal = static_cast<LONG>(i + 1);
        break;
      }
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (!window_) return RPC_E_DISCONNECTED;
    const auto list = items();
    const AccessibleItem* item = item_of(child, list);
    if (item == nullptr && !is_self(child)) return E_INVALIDARG;
    if (item == nullptr || item->role != AccessibleRole::PushButton) return DISP_E_MEMBERNOTFOUND;
    // As a click on it would: nothing, also while a modal dialog has disabled the window.
    if (item->unavailable || item->invisible || !::IsWindowEnabled(window_)) return S_FALSE;
    const UINT press = accessible_press_message();
    if (press == 0) return E_FAIL;
    return ::PostMessageW(window_, press, static_cast<WPARAM>(item->button), 0) ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  std::vector<AccessibleItem> items() const {
    if (!window_) return {};
    return items_of(window_, bootstrap_state());
  }
  // An omitted child (VT_EMPTY, or VT_ERROR for a missing optional argument) means the object itself.
  static bool is_self(const VARIANT& child) {
    return child.vt == VT_EMPTY || (child.vt == VT_ERROR && child.scode == DISP_E_PARAMNOTFOUND) ||
           (child.vt == VT_I4 && child.lVal == CHILDID_SELF);
  }
  // Clears a text out-parameter first, so that a caller never frees what it did not get.
  HRESULT begin_text(BSTR* out) const {
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    return window_ ? S_OK : RPC_E_DISCONNECTED;
  }
  HRESULT no_text_for(const VARIANT& child, BSTR* out) const {
    if (const HRESULT refused = begin_text(out); refused != S_OK) return refused;
    if (is_self(child)) return S_FALSE;
    const auto list = items();
    return item_of(child, list) ? S_FALSE : E_INVALIDARG;
  }
  static const AccessibleItem* item_of(const VARIANT& child, const std::vector<AccessibleItem>& list) {
    if (child.vt != VT_I4 || child.lVal < 1 || static_cast<std::size_t>(child.lVal) > list.size()) return nullptr;
    return &list[static_cast<std::size_t>(child.lVal) - 1];
  }

  HWND window_;
  std::atomic<ULONG> references_{1};
};

// What the window thread keeps for the one window of the process.
struct AccessibleWindowData {
  HWND window = nullptr;
  HWND closed = nullptr;  // a window being destroyed: no new object is made for it
  ClientAccessible* object = nullptr;  // owns one reference
  AnnouncedState announced;
  bool pending = false;  // a change held back for a later call
};

AccessibleWindowData& data() {
  static AccessibleWindowData instance;
  return instance;
}

ClientAccessible* object_for(HWND window) {
  AccessibleWindowData& d = data();
  if (window == d.closed) return nullptr;
  if (d.object && d.window != window) forget_accessible_object(d.window);
  if (!d.object) {
    d.object = new ClientAccessible(window);
    d.window = window;
  }
  return d.object;
}

}  // namespace

std::optional<LRESULT> answer_get_object(HWND window, WPARAM wParam, LPARAM lParam) {
  if (static_cast<LONG>(lParam) != OBJID_CLIENT) return std::nullopt;
  static auto* const lresult_from_object =
      win::system_function<LresultFromObjectFunction>(L"oleacc.dll", "LresultFromObject");
  if (lresult_from_object == nullptr) return std::nullopt;
  // Marshalling the object to the reader needs COM on this thread; it is set up here, on the
  // first request, so that a program nobody reads never starts COM.
  if (!enter_window_thread_apartment()) return std::nullopt;
  ClientAccessible* object = object_for(window);
  if (object == nullptr) return std::nullopt;
  return lresult_from_object(IID_IAccessible, wParam, static_cast<IAccessible*>(object));
}

IAccessible* client_accessible_object(HWND window) {
  ClientAccessible* object = object_for(window);
  if (object == nullptr) return nullptr;
  object->AddRef();
  return object;
}

UINT accessible_press_message() {
  static const UINT message = ::RegisterWindowMessageW(L"VelkoAccessiblePress");
  return message;
}

void announce_accessible_changes(HWND window, BootstrapState& state) {
  AccessibleWindowData& d = data();
  // The items only change with what is painted: without a pending repaint, and with nothing
  // held back from an earlier call, there is nothing to compare.
  // A minimised window has no update region however its state changed, so it is always compared.
  if (d.announced.primed && ::GetUpdateRect(window, nullptr, FALSE) == FALSE && !::IsIconic(window) &&
      d.window == window && !d.pending) {
    return;
  }
  const auto items = items_of(window, state, true);
  if (d.window != window) {
    forget_accessible_object(d.window);
    d.window = window;
  }
  const auto changes =
      take_announcements(d.announced, items, state.phase, state.progressPercent, std::chrono::steady_clock::now());
  d.pending = announcements_pending(d.announced, items);
  for (const Announcement& change : changes) {
    DWORD event = EVENT_OBJECT_NAMECHANGE;
    if (change.change == ItemChange::Value) event = EVENT_OBJECT_VALUECHANGE;
    if (change.change == ItemChange::State) event = EVENT_OBJECT_STATECHANGE;
    ::NotifyWinEvent(event, window, OBJID_CLIENT, static_cast<LONG>(change.index + 1));
  }
}

void announce_accessible_focus(HWND window, ButtonId focused) {
  if (::GetFocus() != window) return;
  const auto items = items_of(window, bootstrap_state());
  ::NotifyWinEvent(EVENT_OBJECT_FOCUS, window, OBJID_CLIENT, child_of_button(items, focused));
}

void forget_accessible_object(HWND window) {
  AccessibleWindowData& d = data();
  if (d.window == window) {
    if (d.object) {
      d.object->disconnect();
      // Readers in other processes hold proxies; cut them off so they stop calling in.
      if (window_thread_apartment_entered()) ::CoDisconnectObject(static_cast<IAccessible*>(d.object), 0);
      d.object->Release();
    }
    d = AccessibleWindowData{};
  }
  // Until the handle is gone a request may still come (a hook inside this process): it gets
  // the system's answer, never an object that nothing would disconnect again.
  d.closed = window;
}

void accessible_window_created(HWND window) {
  // Handles are reused: a new window may carry the number of one that was destroyed.
  if (data().closed == window) data().closed = nullptr;
}

}  // namespace velko
