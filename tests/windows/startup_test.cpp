// Runs the real program under Wine and looks at the window it opens.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "support/product_process.h"
#include "win/wide.h"

namespace velko::test {
namespace {

using namespace std::chrono_literals;

constexpr wchar_t kClass[] = L"VelkoOnlineBootstrapperPreview";

// Closes the window with Esc, as a user would, and expects the process to end with 0.
void close_with_escape(HWND window, const win::ChildProcess& product) {
  ::PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(wait_for_exit(product, 20s), 0u);
}

// A live process that does nothing until the test ends it.
win::ChildProcess start_blocker() {
  wchar_t system[MAX_PATH];
  ::GetSystemDirectoryW(system, MAX_PATH);
  return start_program(win::narrow(system) + "\\cmd.exe", {}, CREATE_SUSPENDED | CREATE_NO_WINDOW);
}

TEST(Startup, InstallerWindowWithoutOptions) {
  auto product = start_product({});
  auto window = wait_for_window(product.id, kClass, 30s);
  ASSERT_TRUE(window);
  EXPECT_EQ(window_title(*window), "Velko Tarn 工作台智能安装引导器");
  const SIZE size = client_size(*window);
  EXPECT_EQ(size.cx, 720);
  EXPECT_EQ(size.cy, 620);
  EXPECT_EQ(::GetWindowLongW(*window, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME | WS_POPUP), WS_POPUP);
  EXPECT_TRUE(::GetWindowLongW(*window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  close_with_escape(*window, product);
}

TEST(Startup, LaunchWindow) {
  auto product = start_product({"--launch-main"});
  auto window = wait_for_window(product.id, kClass, 30s);
  ASSERT_TRUE(window);
  EXPECT_EQ(window_title(*window), "Velko Tarn 工作台");
  const SIZE size = client_size(*window);
  EXPECT_EQ(size.cx, 620);
  EXPECT_EQ(size.cy, 250);
  close_with_escape(*window, product);
}

TEST(Startup, OptionsAreCaseSensitive) {
  auto product = start_product({"--Launch-Main"});
  auto window = wait_for_window(product.id, kClass, 30s);
  ASSERT_TRUE(window);
  EXPECT_EQ(window_title(*window), "Velko Tarn 工作台智能安装引导器");
  close_with_escape(*window, product);
}

TEST(Startup, WindowIsCentred) {
  auto product = start_product({"--launch-main"});
  auto window = wait_for_window(product.id, kClass, 30s);
  ASSERT_TRUE(window);
  RECT frame{};
  ::GetWindowRect(*window, &frame);
  EXPECT_EQ(frame.left, (::GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2);
  EXPECT_EQ(frame.top, (::GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2);
  close_with_escape(*window, product);
}

void expect_waits_for_blocker() {
  auto blocker = start_blocker();
  auto product = start_product({"--wait-for-process", std::to_string(blocker.id), "--launch-main"});
  std::this_thread::sleep_for(3s);
  EXPECT_FALSE(visible_window_of(product.id, kClass)) << "a window appeared while the process still ran";
  ::TerminateProcess(blocker.process.get(), 0);
  auto window = wait_for_window(product.id, kClass, 30s);
  ASSERT_TRUE(window) << "no window after the awaited process ended";
  close_with_escape(*window, product);
}

TEST(Startup, WaitsForALiveProcess) { expect_waits_for_blocker(); }

TEST(Startup, WaitsForALiveProcessWrittenWithPlus) {
  auto blocker = start_blocker();
  auto product = start_product({"--wait-for-process", "+" + std::to_string(blocker.id)});
  std::this_thread::sleep_for(3s);
  EXPECT_FALSE(visible_window_of(product.id, kClass));
  ::TerminateProcess(blocker.process.get(), 0);
  auto window = wait_for_window(product.id, kClass, 30s);
  ASSERT_TRUE(window);
  close_with_escape(*window, product);
}

// Values that must not be read as the live process's id start the window at once.
TEST(Startup, MalformedWaitValuesStartAtOnce) {
  auto blocker = start_blocker();
  const std::string id = std::to_string(blocker.id);
  const std::vector<std::vector<std::string>> cases{
      {"--wait-for-process", "-1"},
      {"--wait-for-process", id + "x"},
      {"--wait-for-process", "4294967296"},
      {"--wait-for-process", std::to_string(4294967296ull + blocker.id)},
      {"--wait-for-process", "0"},
      {"--wait-for-process"},
  };
  for (const auto& arguments : cases) {
    auto withRole = arguments;
    withRole.push_back("--launch-main");
    if (arguments.size() == 1) withRole = {"--launch-main", "--wait-for-process"};
    auto product = start_product(withRole);
    auto window = wait_for_window(product.id, kClass, 30s);
    ASSERT_TRUE(window) << arguments.back();
    close_with_escape(*window, product);
  }
  ::TerminateProcess(blocker.process.get(), 0);
}

}  // namespace
}  // namespace velko::test
