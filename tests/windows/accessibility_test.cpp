// What assistive technology reads and does: the IAccessible object of the window's client area,
// the WinEvents that announce changes, and the taskbar progress. AccessibleWindow runs the window
// in the test's own process (the real window procedure, the real workers, the loopback download
// service) and calls the very object WM_GETOBJECT hands out; AccessibleProgram is a reader in
// another process asking the real program through AccessibleObjectFromWindow.
#include <windows.h>
#include <objbase.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <thread>

#include "detect/running_workbench.h"
#include "stand_in_versions.h"
#include "state/bootstrap_state.h"
#include "state/classify_windows.h"
#include "state/policy_check.h"
#include "support/installation_fixture.h"
#include "support/installer_screen.h"
#include "support/paths.h"
#include "support/private_machine.h"
#include "support/product_process.h"
#include "support/stand_in_release.h"
#include "support/test_service.h"
#include "ui/accessible_items.h"
#include "ui/accessible_window_win.h"
#include "ui/com_apartment_win.h"
#include "ui/display_scale.h"
#include "ui/scene.h"
#include "ui/taskbar_button_win.h"
#include "ui/window_constants.h"
#include "ui/window_logic.h"
#include "ui/window_procedure_win.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kVersion = kStandInRelease;
const std::string& kInstallerPath = kStandInInstallerPath;

// Child ids of the installer window's parts: their places in the item list, from 1.
constexpr LONG child_at(std::size_t item) { return static_cast<LONG>(item) + 1; }
constexpr LONG kTitle = child_at(installer_item::kTitle);
constexpr LONG kSubtitle = child_at(installer_item::kSubtitle);
constexpr LONG kLocation = child_at(installer_item::kLocation);
constexpr LONG kSystemRow = child_at(installer_item::kSystemRow);
constexpr LONG kSp1Row = child_at(installer_item::row_of(ComponentKind::ServicePack1));
constexpr LONG kKb4490628Row = child_at(installer_item::row_of(ComponentKind::Kb4490628));
constexpr LONG kKb4474419Row = child_at(installer_item::row_of(ComponentKind::Kb4474419));
constexpr LONG kWebView2Row = child_at(installer_item::row_of(ComponentKind::WebView2Runtime));
constexpr LONG kWorkbenchRow = child_at(installer_item::row_of(ComponentKind::Workbench));
constexpr LONG kProgress = child_at(installer_item::kProgress);
constexpr LONG kStatus = child_at(installer_item::kStatus);
constexpr LONG kBrowse = child_at(installer_item::kBrowse);
constexpr LONG kRecheck = child_at(installer_item::kRecheck);
constexpr LONG kPrimary = child_at(installer_item::kPrimary);
constexpr LONG kClose = child_at(installer_item::kClose);
constexpr LONG kChildCount = kClose;

bool running_under_wine() {
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

VARIANT child_id(LONG id) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

std::string take(BSTR text) {
  if (text == nullptr) return {};
  std::string out = win::narrow(std::wstring_view(text, ::SysStringLen(text)));
  ::SysFreeString(text);
  return out;
}

// A reader's view of one object: the calls a screen reader makes.
struct Reader {
  IAccessible* object;

  std::string name(LONG id) const {
    BSTR text = nullptr;
    EXPECT_TRUE(SUCCEEDED(object->get_accName(child_id(id), &text))) << "child " << id;
    return take(text);
  }
  std::string value(LONG id) const {
    BSTR text = nullptr;
    EXPECT_TRUE(SUCCEEDED(object->get_accValue(child_id(id), &text))) << "child " << id;
    return take(text);
  }
  LONG role(LONG id) const {
    VARIANT v;
    ::VariantInit(&v);
    EXPECT_EQ(object->get_accRole(child_id(id), &v), S_OK);
    return v.vt == VT_I4 ? v.lVal : -1;
  }
  LONG state(LONG id) const {
    VARIANT v;
    ::VariantInit(&v);
    EXPECT_EQ(object->get_accState(child_id(id), &v), S_OK);
    return v.vt == VT_I4 ? v.lVal : -1;
  }
  RECT location(LONG id) const {
    LONG left = 0, top = 0, width = 0, height = 0;
    EXPECT_EQ(object->accLocation(&left, &top, &width, &height, child_id(id)), S_OK);
    return {left, top, left + width, top + height};
  }
  LONG child_count() const {
    LONG count = 0;
    EXPECT_EQ(object->get_accChildCount(&count), S_OK);
    return count;
  }
  HRESULT press(LONG id) const { return object->accDoDefaultAction(child_id(id)); }
};

// WinEvents raised by the window, seen by an out-of-context hook of this thread.
struct SeenEvent {
  DWORD event;
  LONG child;
};
std::vector<SeenEvent>* g_events = nullptr;
HWND g_hooked_window = nullptr;

void CALLBACK on_win_event(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
  if (g_events && window == g_hooked_window && object == OBJID_CLIENT) g_events->push_back({event, child});
}

class AccessibleWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    remove_webview2_registration();
    ::DeleteFileW(win::wide(desktop_shortcut_path()).c_str());
    TestService::reset();
    installer_ = read_file(win::narrow(built_program(L"VelkoTarnWorkbenchSetupStandIn.exe")));
    ASSERT_FALSE(installer_.empty());
    TestService::publish(installer_, kVersion);
    ASSERT_FALSE(HasFailure());
  }

  void TearDown() override {
    if (hook_) ::UnhookWinEvent(hook_);
    g_events = nullptr;
    if (reader_.object) reader_.object->Release();
    if (window_ && ::IsWindow(window_)) ::DestroyWindow(window_);
    pump_for(50ms);
    for (const std::string& image : {directory_ + "\\运行组件\\VelkoTarn工作台启动器.exe", directory_ + "\\VelkoTarn工作台.exe"}) {
      end_processes_started_from(image);  // what a failed test may have left running
    }
    remove_webview2_registration();
    ::DeleteFileW(win::wide(desktop_shortcut_path()).c_str());
    TestService::reset();
  }

  // The installer window as start-up makes it, in this process.
  void open_installer_window() {
    BootstrapState& state = bootstrap_state();
    state.launchMode = false;
    state.installerMode = false;
    state.autoContinue = false;
    state.phase = UiPhase::Checking;
    state.progressPercent = 0;
    state.statusText.reset();
    state.revealStep = -1;
    state.installDirectory = directory_;
    classify_windows(state);
    create_window(kInstallerWindow);
    start_policy_check(state);
  }

  void create_window(const RoleWindow& role) {
    static const bool registered = [] {
      WNDCLASSEXW windowClass{};
      windowClass.cbSize = sizeof windowClass;
      windowClass.style = CS_HREDRAW | CS_VREDRAW;
      windowClass.lpfnWndProc = window_procedure;
      windowClass.hInstance = ::GetModuleHandleW(nullptr);
      windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
      windowClass.lpszClassName = kWindowClassName;
      return ::RegisterClassExW(&windowClass) != 0;
    }();
    ASSERT_TRUE(registered);
    window_ = ::CreateWindowExW(WS_EX_APPWINDOW, kWindowClassName, win::wide(role.title).c_str(), WS_POPUP, 40, 40,
                                role.clientWidth, role.clientHeight, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                                nullptr);
    ASSERT_NE(window_, nullptr);
    ::SetTimer(window_, kMainTimerId, kMainTimerMilliseconds, nullptr);
    ::ShowWindow(window_, SW_SHOW);
    ::UpdateWindow(window_);
  }

  // The object a reader gets for the client area (what WM_GETOBJECT hands out).
  void open_reader() {
    reader_.object = client_accessible_object(window_);
    ASSERT_NE(reader_.object, nullptr);
  }

  void listen_to_events() {
    g_events = &events_;
    g_hooked_window = window_;
    hook_ = ::SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_VALUECHANGE, nullptr, on_win_event,
                              ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook_, nullptr);
  }

  // Runs this thread's messages (the window's timers, the reader's posted presses, the hook's
  // events) until `done` holds or `limit` has passed.
  bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      pump_for(10ms);
    }
    return true;
  }
  void pump_for(std::chrono::milliseconds span) {
    const auto end = std::chrono::steady_clock::now() + span;
    do {
      MSG message;
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) continue;  // the window's end; the test goes on
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (std::chrono::steady_clock::now() < end);
  }
  bool wait_for_name(LONG id, const std::string& name, std::chrono::milliseconds limit) {
    return pump_until([&] { return reader_.name(id) == name; }, limit);
  }

  bool saw(DWORD event, LONG child) const {
    return std::any_of(events_.begin(), events_.end(),
                       [&](const SeenEvent& seen) { return seen.event == event && seen.child == child; });
  }


  std::string installer_;
  PrivateMachine machine_;
  const std::string& directory_ = machine_.installDirectory;
  HWND window_ = nullptr;
  Reader reader_{nullptr};
  HWINEVENTHOOK hook_ = nullptr;
  std::vector<SeenEvent> events_;
};

// The program starts no COM of its own until a reader asks. (Under Wine the input method support
// already enters an apartment on any thread that shows a window, so the thread's COM state
// itself says nothing; the program's own entry is what is checked.)
TEST_F(AccessibleWindow, ComStartsOnlyWhenAReaderAsks) {
  if (window_thread_apartment_entered()) GTEST_SKIP() << "an earlier test in this process already asked";
  open_installer_window();
  ASSERT_TRUE(pump_until([] { return bootstrap_state().phase == UiPhase::Ready; }, 30s));
  EXPECT_FALSE(window_thread_apartment_entered()) << "COM was started without a reader";

  const LRESULT answer = ::SendMessageW(window_, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
  EXPECT_GT(answer, 0) << "WM_GETOBJECT answered nothing for the client area";
  EXPECT_TRUE(window_thread_apartment_entered());
  APTTYPE type{};
  APTTYPEQUALIFIER qualifier{};
  ASSERT_EQ(::CoGetApartmentType(&type, &qualifier), S_OK);
  EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA) << type;
  // Other object ids are left to the system.
  EXPECT_EQ(::SendMessageW(window_, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CARET)), 0);
}

TEST_F(AccessibleWindow, ReadyIsReadFromTheClientObject) {
  open_installer_window();
  open_reader();
  listen_to_events();
  ASSERT_TRUE(wait_for_name(kPrimary, "开始安装", 30s)) << reader_.name(kStatus);

  EXPECT_EQ(reader_.child_count(), kChildCount);
  EXPECT_EQ(reader_.name(CHILDID_SELF), "Velko Tarn 工作台智能安装引导器");
  EXPECT_EQ(reader_.role(CHILDID_SELF), ROLE_SYSTEM_DIALOG);

  EXPECT_EQ(reader_.name(kTitle), "环境检测完成");
  EXPECT_EQ(reader_.role(kTitle), ROLE_SYSTEM_STATICTEXT);
  EXPECT_EQ(reader_.name(kSubtitle), "当前电脑未安装工作台，将下载缺少的组件后完成安装。");
  EXPECT_EQ(reader_.name(kLocation), "安装位置");
  EXPECT_EQ(reader_.value(kLocation), directory_);
  EXPECT_EQ(reader_.name(kWebView2Row), "WebView2 运行环境");
  EXPECT_EQ(reader_.value(kWebView2Row).rfind("未安装 · 下载 ", 0), 0u) << reader_.value(kWebView2Row);
  EXPECT_EQ(reader_.name(kWorkbenchRow), "VelkoTarn工作台");
  EXPECT_EQ(reader_.value(kWorkbenchRow).rfind(std::string("未安装 · v") + kVersion + " · 下载 ", 0), 0u)
      << reader_.value(kWorkbenchRow);
  EXPECT_EQ(reader_.role(kProgress), ROLE_SYSTEM_PROGRESSBAR);
  EXPECT_EQ(reader_.value(kProgress), "100%");
  EXPECT_EQ(reader_.name(kStatus), "检测完成 · 发现 2 项需要安装");
  EXPECT_EQ(reader_.role(kPrimary), ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(reader_.state(kPrimary) & STATE_SYSTEM_UNAVAILABLE, 0);
  EXPECT_EQ(reader_.name(kClose), "关闭");
  EXPECT_EQ(reader_.name(kBrowse), "选择目录");
  EXPECT_EQ(reader_.name(kRecheck), "重新检测");

  // Where a reader shows the primary button is where a click hits it.
  const RECT primary = reader_.location(kPrimary);
  POINT topLeft{primary.left, primary.top};
  POINT bottomRight{primary.right - 1, primary.bottom - 1};
  ::ScreenToClient(window_, &topLeft);
  ::ScreenToClient(window_, &bottomRight);
  EXPECT_EQ(hit_test(topLeft.x, topLeft.y, UiPhase::Ready, true), ButtonId::Primary);
  EXPECT_EQ(hit_test(bottomRight.x, bottomRight.y, UiPhase::Ready, true), ButtonId::Primary);
  VARIANT hit;
  ::VariantInit(&hit);
  ASSERT_EQ(reader_.object->accHitTest(primary.left + 3, primary.top + 3, &hit), S_OK);
  EXPECT_EQ(hit.lVal, kPrimary);

  // The end of the check was announced: the status line and the title changed their names.
  pump_for(100ms);
  EXPECT_TRUE(saw(EVENT_OBJECT_NAMECHANGE, kStatus)) << "no name change of the status line";
  EXPECT_TRUE(saw(EVENT_OBJECT_NAMECHANGE, kTitle));
  EXPECT_TRUE(saw(EVENT_OBJECT_STATECHANGE, kPrimary)) << "the primary button's availability was not announced";

  // While a modal dialog (the folder choice) has disabled the window, a reader presses nothing
  // a mouse could not: neither through the object nor by posting the press itself.
  ::EnableWindow(window_, FALSE);
  EXPECT_NE(reader_.state(kRecheck) & STATE_SYSTEM_UNAVAILABLE, 0);
  EXPECT_EQ(reader_.press(kRecheck), S_FALSE);
  ::PostMessageW(window_, accessible_press_message(), static_cast<WPARAM>(ButtonId::Recheck), 0);
  pump_for(300ms);
  EXPECT_EQ(bootstrap_state().phase, UiPhase::Ready);
  ::EnableWindow(window_, TRUE);

  // An omitted child is the object itself; a child that does not exist is refused, and the
  // text handed back is cleared either way.
  VARIANT omitted;
  ::VariantInit(&omitted);
  BSTR text = nullptr;
  EXPECT_EQ(reader_.object->get_accName(omitted, &text), S_OK);
  ::SysFreeString(text);
  VARIANT missing;
  ::VariantInit(&missing);
  missing.vt = VT_I4;
  missing.lVal = kChildCount + 1;
  text = reinterpret_cast<BSTR>(&missing);  // anything but null
  EXPECT_EQ(reader_.object->get_accDefaultAction(missing, &text), E_INVALIDARG);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(reader_.object->accDoDefaultAction(missing), E_INVALIDARG);
}

TEST_F(AccessibleWindow, FirstInstallationThroughTheAccessibleObjectsAlone) {
  // Slow enough to read the download while it runs.
  TestService::set_fault(kInstallerPath, R"({"delayMs": 40})");
  open_installer_window();
  open_reader();
  listen_to_events();
  ASSERT_TRUE(wait_for_name(kPrimary, "开始安装", 30s)) << reader_.name(kStatus);
  EXPECT_EQ(reader_.name(kTitle), "环境检测完成");

  ASSERT_EQ(reader_.press(kPrimary), S_OK);
  std::set<std::string> titles;
  std::set<std::string> progressValues;
  std::set<std::string> workbenchValues;
  bool closeUnavailableWhileBusy = false;
  bool closeRefused = false;
  ASSERT_TRUE(pump_until(
      [&] {
        titles.insert(reader_.name(kTitle));
        progressValues.insert(reader_.value(kProgress));
        workbenchValues.insert(reader_.value(kWorkbenchRow));
        if (is_busy(bootstrap_state().phase) && !closeRefused) {
          closeUnavailableWhileBusy = (reader_.state(kClose) & STATE_SYSTEM_UNAVAILABLE) != 0;
          // Pressing a button that is shown disabled does nothing.
          closeRefused = reader_.press(kClose) == S_FALSE && reader_.press(kPrimary) == S_FALSE;
        }
        return reader_.name(kTitle) == "安装完成" || reader_.name(kTitle) == "操作未完成";
      },
      180s))
      << reader_.name(kStatus);
  ASSERT_EQ(reader_.name(kTitle), "安装完成") << reader_.name(kStatus);
  EXPECT_TRUE(titles.count("正在下载缺失组件"));
  EXPECT_TRUE(titles.count("正在安装当前组件"));
  EXPECT_TRUE(closeUnavailableWhileBusy);
  EXPECT_TRUE(closeRefused);
  EXPECT_TRUE(::IsWindow(window_));
  EXPECT_TRUE(std::any_of(progressValues.begin(), progressValues.end(), [](const std::string& v) {
    return !v.empty() && v != "0%" && v != "100%";
  })) << "no percent between 0 and 100 was read";
  EXPECT_TRUE(progressValues.count(""))  << "installing reads no percent";
  EXPECT_TRUE(std::any_of(workbenchValues.begin(), workbenchValues.end(), [](const std::string& v) {
    return v.rfind("正在下载 · ", 0) == 0;
  }));

  EXPECT_EQ(reader_.name(kSubtitle), "所需组件已经安装完成，可以开始使用VelkoTarn工作台。");
  EXPECT_EQ(reader_.name(kStatus), "全部缺失组件已经安装完成");
  EXPECT_EQ(reader_.value(kWorkbenchRow), "已是当前版本");
  EXPECT_EQ(reader_.value(kWebView2Row), "已安装");
  EXPECT_EQ(reader_.value(kProgress), "100%");
  EXPECT_EQ(reader_.name(kPrimary), "打开程序");
  EXPECT_TRUE(saw(EVENT_OBJECT_NAMECHANGE, kTitle));
  EXPECT_TRUE(saw(EVENT_OBJECT_NAMECHANGE, kStatus));
  EXPECT_TRUE(saw(EVENT_OBJECT_VALUECHANGE, kProgress));
  EXPECT_TRUE(saw(EVENT_OBJECT_VALUECHANGE, kWorkbenchRow));

  // "打开程序" hands over to the deployed launcher and closes the window.
  ASSERT_EQ(reader_.press(kPrimary), S_OK);
  EXPECT_TRUE(pump_until([&] { return !::IsWindow(window_); }, 20s)) << reader_.name(kStatus);
  BSTR text = nullptr;
  EXPECT_EQ(reader_.object->get_accName(child_id(kTitle), &text), RPC_E_DISCONNECTED);
}

TEST_F(AccessibleWindow, FailureIsReadAndAnnounced) {
  TestService::set_fault(kInstallerPath, R"({"status": 404})");
  open_installer_window();
  open_reader();
  listen_to_events();
  ASSERT_TRUE(wait_for_name(kPrimary, "开始安装", 30s)) << reader_.name(kStatus);
  events_.clear();
  ASSERT_EQ(reader_.press(kPrimary), S_OK);
  ASSERT_TRUE(wait_for_name(kTitle, "操作未完成", 60s)) << reader_.name(kStatus);
  pump_for(100ms);

  const std::string failure = *bootstrap_state().statusText;
  EXPECT_FALSE(failure.empty());
  EXPECT_EQ(reader_.name(kStatus), failure);
  EXPECT_EQ(reader_.name(kPrimary), "操作失败");
  EXPECT_NE(reader_.state(kPrimary) & STATE_SYSTEM_UNAVAILABLE, 0);
  EXPECT_TRUE(saw(EVENT_OBJECT_NAMECHANGE, kStatus)) << "the failure was not announced";
  EXPECT_TRUE(saw(EVENT_OBJECT_NAMECHANGE, kTitle));

  // An unavailable button does nothing; "重新检测" does what its click does.
  EXPECT_EQ(reader_.press(kPrimary), S_FALSE);
  pump_for(100ms);
  EXPECT_EQ(bootstrap_state().phase, UiPhase::Failed);
  EXPECT_EQ(reader_.press(kRecheck), S_OK);
  EXPECT_TRUE(pump_until([] { return bootstrap_state().phase == UiPhase::Checking; }, 5s));
  EXPECT_TRUE(wait_for_name(kPrimary, "开始安装", 30s));
  // Text items have no default action.
  EXPECT_EQ(reader_.press(kStatus), DISP_E_MEMBERNOTFOUND);
}

// The child a reader is told has the keyboard focus; 0 when the window does not have it.
LONG focused_child(IAccessible* object) {
  VARIANT focus;
  ::VariantInit(&focus);
  if (object->get_accFocus(&focus) != S_OK || focus.vt != VT_I4) return 0;
  return focus.lVal;
}

TEST_F(AccessibleWindow, FirstInstallationWithTheKeyboardAlone) {
  TestService::set_fault(kInstallerPath, R"({"delayMs": 40})");
  open_installer_window();
  open_reader();
  listen_to_events();
  make_foreground(window_);
  ASSERT_TRUE(wait_for_name(kPrimary, "开始安装", 30s)) << reader_.name(kStatus);
  ASSERT_TRUE(pump_until([&] { return ::GetFocus() == window_; }, 5s));

  // The phase that enables the primary button gives it the focus; nothing shows it before the
  // keyboard is used.
  EXPECT_EQ(focused_child(reader_.object), kPrimary);
  EXPECT_NE(reader_.state(kPrimary) & STATE_SYSTEM_FOCUSED, 0);
  EXPECT_EQ(reader_.state(kClose) & STATE_SYSTEM_FOCUSED, 0);
  EXPECT_NE(reader_.state(kClose) & STATE_SYSTEM_FOCUSABLE, 0);
  const Rect ringTop = focus_ring(ButtonId::Primary)[0];
  const POINT onRing{ringTop.left + 20, ringTop.top};
  const Colour ring{kFocusRingColour.r, kFocusRingColour.g, kFocusRingColour.b};
  pump_for(200ms);
  EXPECT_NE(pixel(window_, onRing), ring) << "the focus was drawn before any key";

  // Tab walks the reading order round to the primary button, Shift+Tab walks back; a reader
  // hears each move.
  for (LONG expected : {kClose, kBrowse, kRecheck, kPrimary, kClose}) {
    send_keys({VK_TAB});
    EXPECT_TRUE(pump_until([&] { return focused_child(reader_.object) == expected; }, 5s)) << expected;
    EXPECT_TRUE(pump_until([&] { return saw(EVENT_OBJECT_FOCUS, expected); }, 5s)) << expected;
  }
  send_keys({VK_SHIFT, VK_TAB});
  ASSERT_TRUE(pump_until([&] { return focused_child(reader_.object) == kPrimary; }, 5s));
  EXPECT_EQ(reader_.state(kClose) & STATE_SYSTEM_FOCUSED, 0);
  EXPECT_TRUE(pump_until([&] { return pixel(window_, onRing) == ring; }, 5s)) << "no focus ring after Tab";

  send_keys({VK_RETURN});
  bool refusedWhileBusy = false;
  ASSERT_TRUE(pump_until(
      [&] {
        if (is_busy(bootstrap_state().phase) && !refusedWhileBusy) {
          // Nothing has the focus while every button is disabled; Enter, Esc and Alt+F4 do
          // what clicks would: nothing.
          refusedWhileBusy = focused_child(reader_.object) == CHILDID_SELF;
          send_keys({VK_RETURN});
          send_keys({VK_ESCAPE});
          send_keys({VK_MENU, VK_F4});
        }
        return reader_.name(kTitle) == "安装完成" || reader_.name(kTitle) == "操作未完成";
      },
      180s))
      << reader_.name(kStatus);
  ASSERT_EQ(reader_.name(kTitle), "安装完成") << reader_.name(kStatus);
  EXPECT_TRUE(refusedWhileBusy);
  EXPECT_TRUE(::IsWindow(window_));

  // Completion enables the primary button again and gives it the focus: Enter opens the program.
  ASSERT_TRUE(pump_until([&] { return focused_child(reader_.object) == kPrimary; }, 5s));
  EXPECT_EQ(reader_.name(kPrimary), "打开程序");
  send_keys({VK_RETURN});
  EXPECT_TRUE(pump_until([&] { return !::IsWindow(window_); }, 20s)) << reader_.name(kStatus);
}

TEST_F(AccessibleWindow, AltF4ClosesLikeTheCloseBox) {
  open_installer_window();
  open_reader();
  make_foreground(window_);
  ASSERT_TRUE(wait_for_name(kPrimary, "开始安装", 30s));
  ASSERT_TRUE(pump_until([&] { return ::GetFocus() == window_; }, 5s));
  send_keys({VK_MENU, VK_F4});
  EXPECT_TRUE(pump_until([&] { return !::IsWindow(window_); }, 5s));
}

// Windows sends WM_DPICHANGED when the window moves to a monitor of another scale (Wine never
// does on its one screen, so it is sent here): the window takes the suggested rectangle and from
// then on draws, hits and describes itself at the new scale.
TEST_F(AccessibleWindow, DpiChangeTakesTheSuggestedRectangleAndRescales) {
  open_installer_window();
  open_reader();
  make_foreground(window_);
  ASSERT_TRUE(wait_for_name(kPrimary, "开始安装", 30s)) << reader_.name(kStatus);
  RECT before{};
  ::GetWindowRect(window_, &before);
  RECT suggested{before.left, before.top, before.left + scaled(kInstallerWidth, 144),
                 before.top + scaled(kInstallerHeight, 144)};
  ::SendMessageW(window_, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  RECT client{};
  ::GetClientRect(window_, &client);
  EXPECT_EQ(client.right, 1080);
  EXPECT_EQ(client.bottom, 930);

  const Rect primary = scaled(button_rect(ButtonId::Primary), 144);
  const RECT located = reader_.location(kPrimary);
  const POINT origin = client_to_screen(window_, 0, 0);
  EXPECT_EQ(located.left - origin.x, primary.left);
  EXPECT_EQ(located.top - origin.y, primary.top);
  const Rect close = scaled(button_rect(ButtonId::Close), 144);
  const auto hit = [&](int x, int y) {
    const POINT point = client_to_screen(window_, x, y);
    return ::SendMessageW(window_, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
  };
  EXPECT_EQ(hit(close.left - 1, 5), HTCAPTION);
  EXPECT_EQ(hit(close.left + 2, 5), HTCLIENT);
  // The Browse button's fill at its scaled place (660, 190 at 96 DPI), beyond the 720 pixels the
  // window is wide unscaled, the cursor kept off it. (The 800-pixel screen shows the top part.)
  move_to(window_, 450, 700);
  EXPECT_TRUE(pump_until([&] { return pixel(window_, {990, 285}) == Colour{45, 45, 48}; }, 5s)) << "no scaled Browse";
  // A click inside the scaled close box, beyond where it lies at 96 DPI, closes the window.
  click_at(window_, close.left + 45, close.top + 40);
  EXPECT_TRUE(pump_until([&] { return !::IsWindow(window_); }, 10s));
}

TEST_F(AccessibleWindow, CloseBoxClosesLikeItsClick) {
  open_installer_window();
  open_reader();
  ASSERT_TRUE(wait_for_name(kPrimary, "开始安装", 30s));
  BSTR action = nullptr;
  ASSERT_EQ(reader_.object->get_accDefaultAction(child_id(kClose), &action), S_OK);
  EXPECT_EQ(take(action), "按下");
  ASSERT_EQ(reader_.press(kClose), S_OK);
  EXPECT_TRUE(pump_until([&] { return !::IsWindow(window_); }, 5s));
}

TEST_F(AccessibleWindow, LaunchWindowReadsItsFailure) {
  BootstrapState& state = bootstrap_state();
  state.launchMode = true;
  state.phase = UiPhase::Failed;
  state.statusText = "没有找到工作台安装目录。";
  create_window(kLaunchWindow);
  open_reader();
  pump_for(100ms);
  EXPECT_EQ(reader_.name(CHILDID_SELF), "Velko Tarn 工作台");
  ASSERT_EQ(reader_.child_count(), 4);
  EXPECT_EQ(reader_.name(1), "Velko Tarn 工作台启动失败");
  EXPECT_EQ(reader_.name(2), "没有找到工作台安装目录。");
  EXPECT_EQ(reader_.name(3), "按 Esc 或关闭窗口后重试。");
  EXPECT_EQ(reader_.role(4), ROLE_SYSTEM_PROGRESSBAR);
  EXPECT_EQ(reader_.value(4), "100%");
  state.launchMode = false;
}

TEST_F(AccessibleWindow, TaskbarButtonShowsTheDownloadAndNothingWhenDone) {
  TestService::set_fault(kInstallerPath, R"({"delayMs": 40})");
  open_installer_window();
  open_reader();
  ASSERT_TRUE(wait_for_name(kPrimary, "开始安装", 30s));
  const UINT buttonCreated = ::RegisterWindowMessageW(L"TaskbarButtonCreated");
  ::SendMessageW(window_, buttonCreated, 0, 0);
  // Nothing to show yet, so nothing was set up for it.
  EXPECT_EQ(shown_taskbar_progress(window_), TaskbarProgress{});

  ASSERT_EQ(reader_.press(kPrimary), S_OK);
  ASSERT_TRUE(wait_for_name(kTitle, "正在下载缺失组件", 30s)) << reader_.name(kStatus);
  pump_for(100ms);
  const auto downloading = shown_taskbar_progress(window_);
  ASSERT_TRUE(downloading) << "the taskbar interface was not available";
  if (reader_.name(kTitle) == "正在下载缺失组件") {
    EXPECT_EQ(downloading->state, TaskbarState::Normal);
    EXPECT_EQ(std::to_string(downloading->completed) + "%", reader_.value(kProgress));
  }
  // The shell restarted: the new button gets the progress again.
  ::SendMessageW(window_, buttonCreated, 0, 0);
  EXPECT_TRUE(shown_taskbar_progress(window_));

  bool sawIndeterminate = false;
  ASSERT_TRUE(pump_until(
      [&] {
        const auto shown = shown_taskbar_progress(window_);
        sawIndeterminate = sawIndeterminate || (shown && shown->state == TaskbarState::Indeterminate);
        return reader_.name(kTitle) == "安装完成";
      },
      180s))
      << reader_.name(kStatus);
  EXPECT_TRUE(sawIndeterminate);
  EXPECT_EQ(shown_taskbar_progress(window_), TaskbarProgress{});
}

TEST_F(AccessibleWindow, TaskbarButtonShowsAFailure) {
  TestService::set_fault(kInstallerPath, R"({"status": 404})");
  open_installer_window();
  open_reader();
  ::SendMessageW(window_, ::RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
  ASSERT_TRUE(wait_for_name(kPrimary, "开始安装", 30s));
  ASSERT_EQ(reader_.press(kPrimary), S_OK);
  ASSERT_TRUE(wait_for_name(kTitle, "操作未完成", 60s)) << reader_.name(kStatus);
  pump_for(100ms);
  EXPECT_EQ(shown_taskbar_progress(window_), (TaskbarProgress{TaskbarState::Error, 100}));
}

// The real round trip: a reader in another process asks the program's window for its object.
class AccessibleProgram : public AccessibleWindow {
 protected:
  void TearDown() override {
    if (reader_.object) reader_.object->Release();
    reader_.object = nullptr;
    if (product_.process && !wait_for_exit(product_, 0ms)) ::TerminateProcess(product_.process.get(), 0);
    window_ = nullptr;
    AccessibleWindow::TearDown();
    if (com_) ::CoUninitialize();
  }

  // Starts the program and asks its window for the client object, as a screen reader does.
  // Skips under Wine when Wine cannot marshal the object across processes.
  void open_remote_reader(std::vector<std::string> arguments) {
    arguments.push_back("--install-dir");
    arguments.push_back(directory_);
    product_ = start_product(arguments);
    auto window = wait_for_window(product_.id, kProductWindowClass, 30s);
    ASSERT_TRUE(window);
    window_ = *window;
    com_ = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ASSERT_TRUE(com_);
    // oleacc's import library clashes with the interface ids of uuid: taken from the DLL instead.
    using FromWindow = HRESULT WINAPI(HWND, DWORD, REFIID, void**);
    auto* const accessible_object_from_window = reinterpret_cast<FromWindow*>(
        reinterpret_cast<void*>(::GetProcAddress(::LoadLibraryW(L"oleacc.dll"), "AccessibleObjectFromWindow")));
    ASSERT_NE(accessible_object_from_window, nullptr);
    const HRESULT result = accessible_object_from_window(window_, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                                         reinterpret_cast<void**>(&reader_.object));
    if (FAILED(result) && running_under_wine()) {
      char code[16];
      std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
      GTEST_SKIP() << "Wine cannot hand an object across processes through WM_GETOBJECT (" << code
                   << "); the tests of the window in the test's own process cover the object";
    }
    ASSERT_EQ(result, S_OK);
    ASSERT_NE(reader_.object, nullptr);
  }

  void listen_to_program_events() {
    g_events = &events_;
    g_hooked_window = window_;
    hook_ = ::SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_VALUECHANGE, nullptr, on_win_event, product_.id,
                              0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook_, nullptr);
  }

  win::ChildProcess product_;
  bool com_ = false;
};

TEST_F(AccessibleProgram, ReaderInAnotherProcessGetsTheClientObject) {
  open_remote_reader({});
  if (IsSkipped() || HasFatalFailure()) return;
  EXPECT_EQ(reader_.name(CHILDID_SELF), "Velko Tarn 工作台智能安装引导器");
  EXPECT_EQ(reader_.role(CHILDID_SELF), ROLE_SYSTEM_DIALOG);
  EXPECT_EQ(reader_.child_count(), kChildCount);
  EXPECT_EQ(reader_.name(kLocation), "安装位置");
  EXPECT_EQ(reader_.value(kLocation), directory_);
  EXPECT_EQ(reader_.name(kClose), "关闭");
  EXPECT_EQ(reader_.press(kClose), S_OK);
  EXPECT_EQ(wait_for_exit(product_, 20s), 0u);
}

// A first installation from the start to "打开程序", with nothing but the accessible objects: the
// texts of every phase are read from the tree, the buttons pressed through their default action.
TEST_F(AccessibleProgram, FirstInstallationThroughTheAccessibleTree) {
  TestService::set_fault(kInstallerPath, R"({"delayMs": 40})");
  open_remote_reader({});
  if (IsSkipped() || HasFatalFailure()) return;
  listen_to_program_events();

  EXPECT_EQ(reader_.name(kTitle), "正在检查运行环境");
  ASSERT_TRUE(wait_for_name(kPrimary, "开始安装", 30s)) << reader_.name(kStatus);
  EXPECT_EQ(reader_.name(kTitle), "环境检测完成");
  EXPECT_EQ(reader_.name(kSubtitle), "当前电脑未安装工作台，将下载缺少的组件后完成安装。");
  EXPECT_EQ(reader_.name(kStatus), "检测完成 · 发现 2 项需要安装");
  EXPECT_EQ(reader_.value(kSp1Row), "当前系统不需要");
  EXPECT_EQ(reader_.value(kWebView2Row).rfind("未安装 · 下载 ", 0), 0u) << reader_.value(kWebView2Row);
  EXPECT_TRUE(saw(EVENT_OBJECT_NAMECHANGE, kStatus)) << "the end of the check was not announced";

  ASSERT_EQ(reader_.press(kPrimary), S_OK);
  std::map<std::string, std::set<std::string>> seen;  // title -> status lines read under it
  ASSERT_TRUE(pump_until(
      [&] {
        const std::string title = reader_.name(kTitle);
        seen[title].insert(reader_.name(kStatus));
        return title == "安装完成" || title == "操作未完成";
      },
      180s));
  ASSERT_EQ(reader_.name(kTitle), "安装完成") << reader_.name(kStatus);
  EXPECT_TRUE(seen.count("正在下载缺失组件"));
  EXPECT_TRUE(seen.count("正在安装当前组件"));
  EXPECT_TRUE(std::any_of(seen["正在安装当前组件"].begin(), seen["正在安装当前组件"].end(),
                          [](const std::string& status) { return status.rfind("正在安装 ", 0) == 0; }));
  EXPECT_EQ(reader_.name(kStatus), "全部缺失组件已经安装完成");
  EXPECT_EQ(reader_.value(kWorkbenchRow), "已是当前版本");
  EXPECT_EQ(reader_.value(kWebView2Row), "已安装");
  EXPECT_EQ(reader_.value(kProgress), "100%");
  EXPECT_EQ(reader_.name(kPrimary), "打开程序");
  pump_for(200ms);
  EXPECT_TRUE(saw(EVENT_OBJECT_NAMECHANGE, kTitle));
  EXPECT_TRUE(saw(EVENT_OBJECT_VALUECHANGE, kProgress));

  // "打开程序": the program hands over to the launcher, which starts the workbench.
  ASSERT_EQ(reader_.press(kPrimary), S_OK);
  EXPECT_EQ(wait_for_exit(product_, 20s), 0u);
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  std::optional<std::uint32_t> workbench;
  while (!workbench && std::chrono::steady_clock::now() < deadline) {
    workbench = find_running_process(directory_ + "\\VelkoTarn工作台.exe").value_or(std::nullopt);
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_TRUE(workbench) << "the workbench was not started";
}

}  // namespace
}  // namespace velko::test
