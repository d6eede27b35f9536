// Drives the real program's window with real input (SendInput through Wine's input queue)
// and reads what it shows from the screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <utility>
#include <vector>

#include "support/product_process.h"
#include "support/screen_input.h"
#include "support/scoped_temp_dir.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::test {
namespace {

using namespace std::chrono_literals;

constexpr wchar_t kClass[] = L"VelkoOnlineBootstrapperPreview";

class InstallerWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    product_ = start_product({"--install-dir", folder_.join("VelkoTarn工作台")});
    auto window = wait_for_window(product_.id, kClass, 30s);
    ASSERT_TRUE(window);
    window_ = *window;
    ::SetForegroundWindow(window_);
    std::this_thread::sleep_for(300ms);
  }
  void TearDown() override {
    if (product_.process && !wait_for_exit(product_, 0ms)) ::TerminateProcess(product_.process.get(), 0);
  }

  ScopedTempDir folder_;
  ScopedEnvironment programData_{"VELKO_TEST_PROGRAM_DATA", folder_.join("ProgramData")};
  win::ChildProcess product_;
  HWND window_ = nullptr;
};

TEST_F(InstallerWindow, TitleStripDragsAndButtonsDoNot) {
  const auto hit = [&](int x, int y) {
    const POINT point = client_to_screen(window_, x, y);
    return ::SendMessageW(window_, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
  };
  EXPECT_EQ(hit(5, 5), HTCAPTION);
  EXPECT_EQ(hit(679, 33), HTCAPTION);
  EXPECT_EQ(hit(690, 10), HTCLIENT);  // the close box
  EXPECT_EQ(hit(5, 34), HTCLIENT);
  EXPECT_EQ(hit(600, 550), HTCLIENT);
}

TEST_F(InstallerWindow, ClickOnTheCloseBoxCloses) {
  // The window is never busy before the user starts an installation.
  click_at(window_, 700, 17);
  EXPECT_EQ(wait_for_exit(product_, 20s), 0u);
}

TEST_F(InstallerWindow, EscapeCloses) {
  press_escape(window_);
  EXPECT_EQ(wait_for_exit(product_, 20s), 0u);
}

TEST_F(InstallerWindow, HoverFadesTheRecheckButtonInAndOut) {
  move_to(window_, 300, 590);  // the footer: no button
  EXPECT_EQ(wait_for_pixel(window_, 472, 540, {45, 45, 48}, 5s), (Colour{45, 45, 48}));
  move_to(window_, 520, 560);
  EXPECT_EQ(wait_for_pixel(window_, 472, 540, {52, 57, 62}, 5s), (Colour{52, 57, 62}));
  move_to(window_, 520, 590);
  EXPECT_EQ(wait_for_pixel(window_, 472, 540, {45, 45, 48}, 5s), (Colour{45, 45, 48}));
}

TEST_F(InstallerWindow, CloseBoxTurnsRedUnderTheMouse) {
  move_to(window_, 700, 30);
  EXPECT_EQ(wait_for_pixel(window_, 684, 4, {178, 45, 40}, 5s), (Colour{178, 45, 40}));
}

struct DialogSearch {
  DWORD processId;
  HWND owner;
  HWND found = nullptr;
};

// The folder dialog: a visible dialog box of the product owned by its window.
HWND folder_dialog(DWORD processId, HWND owner) {
  DialogSearch search{processId, owner};
  ::EnumWindows(
      [](HWND window, LPARAM parameter) -> BOOL {
        auto* search = reinterpret_cast<DialogSearch*>(parameter);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        wchar_t name[64] = {};
        ::GetClassNameW(window, name, 64);
        if (pid == search->processId && ::IsWindowVisible(window) && std::wstring(name) == L"#32770" &&
            ::GetWindow(window, GW_OWNER) == search->owner) {
          search->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND wait_for_folder_dialog(DWORD processId, HWND owner) {
  for (int i = 0; i < 200; ++i) {
    if (HWND dialog = folder_dialog(processId, owner)) return dialog;
    std::this_thread::sleep_for(50ms);
  }
  return nullptr;
}

std::vector<std::pair<std::wstring, std::wstring>> child_controls(HWND dialog) {
  std::vector<std::pair<std::wstring, std::wstring>> controls;
  ::EnumChildWindows(
      dialog,
      [](HWND child, LPARAM parameter) -> BOOL {
        wchar_t name[64] = {};
        wchar_t text[256] = {};
        ::GetClassNameW(child, name, 64);
        ::GetWindowTextW(child, text, 256);
        reinterpret_cast<std::vector<std::pair<std::wstring, std::wstring>>*>(parameter)->emplace_back(name, text);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&controls));
  return controls;
}

HWND edit_box_of(HWND dialog) {
  HWND found = nullptr;
  ::EnumChildWindows(
      dialog,
      [](HWND child, LPARAM parameter) -> BOOL {
        wchar_t name[64] = {};
        ::GetClassNameW(child, name, 64);
        if (std::wstring(name) != L"Edit") return TRUE;
        *reinterpret_cast<HWND*>(parameter) = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<Colour> screen_region(HWND window, int left, int top, int right, int bottom) {
  std::vector<Colour> pixels;
  for (int y = top; y < bottom; y += 2) {
    for (int x = left; x < right; x += 2) pixels.push_back(screen_pixel(window, x, y));
  }
  return pixels;
}

// Polls until the path field shows `expected` again (the dialog above it has gone and the window repainted).
bool wait_for_region(HWND window, const std::vector<Colour>& expected, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (screen_region(window, 154, 166, 554, 192) != expected) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(200ms);
  }
  return true;
}

TEST_F(InstallerWindow, BrowseOpensTheFolderDialogAndAChosenFolderReplacesThePath) {
  const auto pathBefore = screen_region(window_, 154, 166, 554, 192);

  click_at(window_, 600, 180);
  HWND dialog = wait_for_folder_dialog(product_.id, window_);
  ASSERT_NE(dialog, nullptr);
  bool titled = false;
  for (const auto& [name, text] : child_controls(dialog)) titled = titled || text == L"选择VelkoTarn工作台安装目录";
  EXPECT_TRUE(titled) << "the dialog does not show the title text";
  ASSERT_NE(edit_box_of(dialog), nullptr) << "BIF_EDITBOX gives the dialog an edit box";

  // Cancel changes nothing.
  ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(wait_for_region(window_, pathBefore, 10s));
  EXPECT_EQ(folder_dialog(product_.id, window_), nullptr);
  EXPECT_FALSE(wait_for_exit(product_, 0ms));

  // A folder typed into the edit box and confirmed becomes the install location.
  click_at(window_, 600, 180);
  dialog = wait_for_folder_dialog(product_.id, window_);
  ASSERT_NE(dialog, nullptr);
  const std::string chosen = folder_.join("另一个目录");
  make_directories(chosen);
  ::SendMessageW(edit_box_of(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(win::wide(chosen).c_str()));
  ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  // The field then shows another path: different pixels, and nothing brighter than the path
  // text (210, 210, 210), so no remnant of the dialog is mistaken for the new path.
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  bool replaced = false;
  while (!replaced && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(200ms);
    const auto now = screen_region(window_, 154, 166, 554, 192);
    replaced = now != pathBefore && std::none_of(now.begin(), now.end(), [](const Colour& c) {
                 return c.r > 215 || c.g > 215 || c.b > 215;
               });
  }
  EXPECT_TRUE(replaced);
  EXPECT_EQ(folder_dialog(product_.id, window_), nullptr);

  press_escape(window_);
  EXPECT_EQ(wait_for_exit(product_, 20s), 0u);
}

// The program on a display at 150 %: tests/tools/scaled_display_test.sh runs this in a prefix of
// its own whose LogPixels is 144. Skipped at any other scale.
TEST(ScaledDisplay, TheWindowIsOneAndAHalfTimesAsLargeAndHitWhereItIsDrawn) {
  {
    const win::WindowDc screen(nullptr);
    const int dpi = ::GetDeviceCaps(screen.get(), LOGPIXELSX);
    if (dpi != 144) GTEST_SKIP() << "the display is at " << dpi << " DPI";
  }
  ScopedTempDir folder;
  ScopedEnvironment programData{"VELKO_TEST_PROGRAM_DATA", folder.join("ProgramData")};
  win::ChildProcess product = start_product({"--install-dir", folder.join("VelkoTarn工作台")});
  const auto found = wait_for_window(product.id, kClass, 30s);
  ASSERT_TRUE(found);
  const HWND window = *found;
  RECT client{};
  ::GetClientRect(window, &client);
  EXPECT_EQ(client.right, 1080);
  EXPECT_EQ(client.bottom, 930);
  // Centred by its scaled size where the screen is wide enough.
  const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
  if (screenWidth > 1080) {
    EXPECT_EQ(client_to_screen(window, 0, 0).x, (screenWidth - 1080) / 2);
  }

  const auto hit = [&](int x, int y) {
    const POINT point = client_to_screen(window, x, y);
    return ::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
  };
  EXPECT_EQ(hit(1019, 50), HTCAPTION);  // the title strip is 51 pixels high, the close box 60 wide
  EXPECT_EQ(hit(1020, 5), HTCLIENT);
  EXPECT_EQ(hit(5, 51), HTCLIENT);
  ::SetForegroundWindow(window);
  move_to(window, 450, 700);  // the progress bar: no button
  // The Browse button's fill at its scaled place (660, 190 at 96 DPI), beyond the 720 pixels
  // the window would be wide unscaled. (The 800-pixel screen shows the top of the window.)
  EXPECT_EQ(wait_for_pixel(window, 990, 285, {45, 45, 48}, 10s), (Colour{45, 45, 48}));
  // The close box lights up and is hit where it is drawn at this scale, past its 96-DPI place.
  move_to(window, 1070, 45);
  EXPECT_EQ(wait_for_pixel(window, 1024, 4, {178, 45, 40}, 10s), (Colour{178, 45, 40}));
  click_at(window, 1070, 45);
  EXPECT_EQ(wait_for_exit(product, 20s), 0u);
  if (!wait_for_exit(product, 0ms)) ::TerminateProcess(product.process.get(), 0);
}

TEST(LaunchWindow, StaysOpenOnFailureUntilEscape) {
  ScopedTempDir folder;
  ScopedEnvironment programData{"VELKO_TEST_PROGRAM_DATA", folder.join("ProgramData")};
  auto product = start_product({"--launch-main"});  // no workbench beside the test programs
  // A window left open would keep this test's output pipe and hold up the whole run.
  struct EndAtExit {
    win::ChildProcess& child;
    ~EndAtExit() {
      if (child.process && !wait_for_exit(child, std::chrono::milliseconds(0))) ::TerminateProcess(child.process.get(), 0);
    }
  } endAtExit{product};
  auto window = wait_for_window(product.id, kClass, 30s);
  ASSERT_TRUE(window);
  const POINT strip = client_to_screen(*window, 600, 40);
  EXPECT_EQ(::SendMessageW(*window, WM_NCHITTEST, 0, MAKELPARAM(strip.x, strip.y)), HTCAPTION);
  const POINT below = client_to_screen(*window, 600, 44);
  EXPECT_EQ(::SendMessageW(*window, WM_NCHITTEST, 0, MAKELPARAM(below.x, below.y)), HTCLIENT);

  // The failure shows a red status dot and a filled red track; the window does not close by itself.
  EXPECT_EQ(wait_for_pixel(*window, 153, 112, {218, 92, 75}, 20s), (Colour{218, 92, 75}));
  EXPECT_EQ(screen_pixel(*window, 300, 181), (Colour{160, 66, 56}));
  EXPECT_EQ(screen_pixel(*window, 33, 76), (Colour{18, 24, 32}));
  std::this_thread::sleep_for(1500ms);
  EXPECT_FALSE(wait_for_exit(product, 0ms));
  click_at(*window, 300, 200);  // clicks are ignored in the launch role
  std::this_thread::sleep_for(500ms);
  EXPECT_FALSE(wait_for_exit(product, 0ms));

  press_escape(*window);
  EXPECT_EQ(wait_for_exit(product, 20s), 0u);
}

}  // namespace
}  // namespace velko::test
