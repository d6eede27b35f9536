// The close rules of the busy and failed phases, driven from the window with real input
// against the loopback download service (the whole roads are in end_to_end_test.cpp).
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "download/download_store.h"
#include "stand_in_versions.h"
#include "support/installation_fixture.h"
#include "support/installer_screen.h"
#include "support/paths.h"
#include "support/private_machine.h"
#include "support/product_process.h"
#include "support/scoped_temp_dir.h"
#include "support/screen_input.h"
#include "support/test_service.h"
#include "win/wide.h"

namespace velko::test {
namespace {

using namespace std::chrono_literals;

constexpr char kVersion[] = VELKO_STANDIN_WORKBENCH_VERSION;
// The service serves the release under its plain name; the address names it percent-encoded.
const std::string kInstallerName = std::string("VelkoTarn工作台-Setup-v") + kVersion + ".exe";
const std::string kInstallerPath = std::string("/v1/downloads/VelkoTarn%E5%B7%A5%E4%BD%9C%E5%8F%B0-Setup-v") + kVersion + ".exe";

constexpr const wchar_t* kClass = kProductWindowClass;

std::size_t installer_gets() {
  std::size_t count = 0;
  for (const auto& request : TestService::requests()) {
    if (request.method == "GET" && request.target == kInstallerPath) ++count;
  }
  return count;
}

class DrivenInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    remove_webview2_registration();
    ::DeleteFileW(win::wide(desktop_shortcut_path()).c_str());
    TestService::reset();
    const std::string standIn = win::narrow(built_program(L"VelkoTarnWorkbenchSetupStandIn.exe"));
    installer_ = read_file(standIn);
    TestService::put_file(kInstallerName, installer_);
    const auto digest = sha256_of_file(standIn);
    ASSERT_TRUE(digest);
    TestService::set_policy(R"({"currentVersion":"0.0.0","minSupportedVersion":"1.0.0","latestVersion":")" +
                            std::string(kVersion) + R"(","downloadUrl":"https://)" + TestService::host() +
                            kInstallerPath + R"(","updateSha256":")" + *digest + R"(","installerBytes":)" +
                            std::to_string(installer_.size()) + R"(,"target":"windows","arch":"x86_64"})");
  }
  void TearDown() override {
    if (product_.process && !wait_for_exit(product_, 0ms)) ::TerminateProcess(product_.process.get(), 0);
    remove_webview2_registration();
    ::DeleteFileW(win::wide(desktop_shortcut_path()).c_str());
  }

  // Starts the product and waits until the check has finished: the rows show their states.
  void start_and_wait_for_ready() {
    product_ = start_product({"--install-dir", directory_});
    auto window = wait_for_window(product_.id, kClass, 30s);
    ASSERT_TRUE(window);
    window_ = *window;
    ::SetForegroundWindow(window_);
    move_to(window_, kFooter.x, kFooter.y);
    ASSERT_EQ(wait_for(window_, kSystemRing, kRingDone, 30s), kRingDone);
    ASSERT_EQ(wait_for(window_, kPrimaryFill, kPrimaryEnabled, 5s), kPrimaryEnabled);
  }

  std::string installer_;
  PrivateMachine machine_;
  ScopedTempDir& temp_ = machine_.temp;
  const std::string& directory_ = machine_.installDirectory;
  win::ChildProcess product_;
  HWND window_ = nullptr;
};

TEST_F(DrivenInstall, EscapeIsIgnoredWhileDownloadingAndClosesAfterTheFailure) {
  // The installer request hangs a while and is then refused.
  TestService::set_fault(kInstallerPath, R"({"delayMs": 4000, "status": 404})");
  start_and_wait_for_ready();

  click_at(window_, kPrimaryCentre.x, kPrimaryCentre.y);
  move_to(window_, kCloseBox.x + 16, kCloseBox.y + 16);
  ASSERT_EQ(wait_for(window_, kPrimaryFill, kPrimaryDisabled, 10s), kPrimaryDisabled) << "no busy phase";
  const auto requestDeadline = std::chrono::steady_clock::now() + 3s;
  while (installer_gets() == 0 && std::chrono::steady_clock::now() < requestDeadline) std::this_thread::sleep_for(50ms);
  ASSERT_EQ(installer_gets(), 1u) << "the download has not started";

  press_escape(window_);
  std::this_thread::sleep_for(700ms);
  ASSERT_FALSE(wait_for_exit(product_, 0ms)) << "Esc closed the window while downloading";
  EXPECT_TRUE(visible_window_of(product_.id, kClass));
  EXPECT_EQ(pixel(window_, kPrimaryFill), kPrimaryDisabled);
  EXPECT_EQ(pixel(window_, kCloseBox), kCloseIdle) << "the close box lights up while busy";

  // The refusal ends the run in Failed: the close box, under the mouse, lights up again.
  Colour close = pixel(window_, kCloseBox);
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  for (int i = 0; close != kCloseHot && std::chrono::steady_clock::now() < deadline; ++i) {
    move_to(window_, kCloseBox.x + 16 + i % 2, kCloseBox.y + 16);
    std::this_thread::sleep_for(200ms);
    close = pixel(window_, kCloseBox);
  }
  ASSERT_EQ(close, kCloseHot);
  EXPECT_EQ(pixel(window_, kPrimaryFill), kPrimaryDisabled);
  EXPECT_NE(pixel(window_, kWorkbenchRing), kRingDone);
  EXPECT_NE(pixel(window_, kWorkbenchRing), kRingChecking);
  EXPECT_FALSE(file_exists(directory_ + "\\install-manifest.json"));
  EXPECT_FALSE(file_exists(temp_.join("standin.log"))) << "an installer ran after a failed download";
  EXPECT_FALSE(wait_for_exit(product_, 0ms));

  press_escape(window_);
  EXPECT_EQ(wait_for_exit(product_, 20s), 0u);
}

}  // namespace
}  // namespace velko::test
