#include "detect/component_detection.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "webview2_pin.h"

#include "detect/install_location.h"
#include "state/bootstrap_state.h"
#include "support/installation_fixture.h"
#include "support/links.h"
#include "support/paths.h"
#include "support/scoped_temp_dir.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

using test::ScopedEnvironment;
using test::ScopedTempDir;

// One WebView2 client key, removed before and after the test.
class ScopedClientKey {
 public:
  ScopedClientKey(HKEY root, const char* subkey) : root_(root), subkey_(win::wide(subkey)) { remove(); }
  ~ScopedClientKey() { remove(); }
  // Stores `value` with its terminating NUL, or only its first `bytes` bytes when given.
  void set_pv(const std::wstring& value, std::optional<DWORD> bytes = std::nullopt) {
    win::unique_hkey key;
    ASSERT_EQ(::RegCreateKeyExW(root_, subkey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                                key.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExW(key.get(), L"pv", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               bytes.value_or(static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)))),
              ERROR_SUCCESS);
  }

 private:
  void remove() {
    win::unique_hkey key;
    if (::RegOpenKeyExW(root_, subkey_.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, key.put()) == ERROR_SUCCESS) {
      ::RegDeleteTreeW(key.get(), nullptr);
      key.reset();
      ::RegDeleteKeyExW(root_, subkey_.c_str(), KEY_WOW64_64KEY, 0);
    }
  }
  HKEY root_;
  std::wstring subkey_;
};

// A private machine and user runtime location and both client keys, all empty at first.
struct WebView2Fixture : ::testing::Test {
  ScopedTempDir dir;
  ScopedEnvironment programFiles{"ProgramFiles(x86)", dir.join("ProgramFilesX86")};
  ScopedEnvironment localAppData{"LOCALAPPDATA", dir.join("LocalAppData")};
  ScopedClientKey machineKey{HKEY_LOCAL_MACHINE, kWebView2MachineClientKey};
  ScopedClientKey userKey{HKEY_CURRENT_USER, kWebView2UserClientKey};

  static void put_runtime(const std::string& base, const std::string& version, bool withDll = true) {
    const std::string folder = base + "\\Microsoft\\EdgeWebView\\Application\\" + version;
    test::make_directories(folder);
    test::write_file(folder + "\\msedgewebview2.exe", "exe");
    if (withDll) test::write_file(folder + "\\msedge.dll", "dll");
  }
  std::string machine_base() const { return dir.join("ProgramFilesX86"); }
  std::string user_base() const { return dir.join("LocalAppData"); }
};

TEST_F(WebView2Fixture, NothingInstalled) { EXPECT_FALSE(detect_webview2()); }

TEST_F(WebView2Fixture, RegistryValuesAreReadDirectly) {
  userKey.set_pv(L"120.0.2210.91");
  machineKey.set_pv(L" 119.0.1.2 ");
  EXPECT_EQ(query_registry_version("HKCU", kWebView2UserClientKey), "120.0.2210.91");
  EXPECT_EQ(query_registry_version("HKLM", kWebView2MachineClientKey), "119.0.1.2");
  EXPECT_EQ(query_registry_version("HKCR", kWebView2UserClientKey), std::nullopt);
  EXPECT_EQ(query_registry_version("HKCU", "SOFTWARE\\VelkoNoSuchKey"), std::nullopt);
}

// A REG_SZ need not hold whole UTF-16 units: nine characters and one byte of the NUL.
TEST_F(WebView2Fixture, ValueOfAnOddByteLengthIsRead) {
  userKey.set_pv(L"120.0.0.1", 19);
  EXPECT_EQ(query_registry_version("HKCU", kWebView2UserClientKey), "120.0.0.1");
  put_runtime(user_base(), "120.0.0.1");
  EXPECT_TRUE(detect_webview2());
}

TEST_F(WebView2Fixture, ZeroVersionCountsAsAbsentEvenWithFiles) {
  machineKey.set_pv(L"0.0.0.0");
  userKey.set_pv(L"0.0.0.0");
  put_runtime(machine_base(), "0.0.0.0");
  put_runtime(user_base(), "0.0.0.0");
  EXPECT_EQ(query_registry_version("HKLM", kWebView2MachineClientKey), std::nullopt);
  EXPECT_FALSE(detect_webview2());
  // The same files under a real version are found, so the refusal above is the version's.
  userKey.set_pv(L"120.0.0.1");
  put_runtime(user_base(), "120.0.0.1");
  EXPECT_TRUE(detect_webview2());
}

TEST_F(WebView2Fixture, OnlyThePerUserRuntimeIsEnough) {
  userKey.set_pv(L"121.0.2277.83");
  EXPECT_FALSE(detect_webview2());  // the value alone is not enough
  put_runtime(user_base(), "121.0.2277.83");
  EXPECT_TRUE(detect_webview2());
}

TEST_F(WebView2Fixture, MachineRuntimeWithoutDllFallsBackToTheUserOne) {
  machineKey.set_pv(L"120.0.0.1");
  put_runtime(machine_base(), "120.0.0.1", false);
  EXPECT_FALSE(detect_webview2());
  userKey.set_pv(L"121.0.0.1");
  put_runtime(user_base(), "121.0.0.1");
  EXPECT_TRUE(detect_webview2());
}

TEST_F(WebView2Fixture, MachineRuntimeAlone) {
  machineKey.set_pv(L"120.0.0.1");
  put_runtime(machine_base(), "120.0.0.1");
  EXPECT_TRUE(detect_webview2());
}

TEST_F(WebView2Fixture, RuntimeFilesMustBePlainFiles) {
  userKey.set_pv(L"120.0.0.1");
  const std::string folder = user_base() + "\\Microsoft\\EdgeWebView\\Application\\120.0.0.1";
  test::make_directories(folder + "\\msedge.dll");  // a directory, not a file
  test::write_file(folder + "\\msedgewebview2.exe", "exe");
  EXPECT_FALSE(detect_webview2());
}

TEST_F(WebView2Fixture, WithoutTheEnvironmentValuesNothingIsQueried) {
  userKey.set_pv(L"120.0.0.1");
  put_runtime(user_base(), "120.0.0.1");
  ::SetEnvironmentVariableW(L"LOCALAPPDATA", nullptr);
  EXPECT_FALSE(detect_webview2());
}

// Detection of staged files, in a private ProgramData.
struct StagedFixture : WebView2Fixture {
  ScopedEnvironment programData{"VELKO_TEST_PROGRAM_DATA", dir.join("ProgramData")};
  std::string downloads() const { return dir.join("ProgramData") + "\\VelkoInstaller\\downloads"; }
  void SetUp() override { test::make_directories(downloads()); }
};

TEST_F(StagedFixture, BootstrapperOfTheRightSizeButChangedIsNotStaged) {
  std::string bytes(build::kWebView2BootstrapperBytes, '\x5A');
  bytes[1000] = '\x5B';
  test::write_file(downloads() + "\\MicrosoftEdgeWebview2Setup.exe", bytes);
  EXPECT_FALSE(detect_components(std::nullopt).components[ComponentKind::WebView2Runtime].staged);
}

TEST_F(StagedFixture, IntactFileCheckHashesOnlyAfterTheSize) {
  const std::string path = dir.join("file.bin");
  test::write_file(path, "abc");
  const std::string abc = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
  EXPECT_TRUE(is_intact_file(path, 3, abc));
  test::write_file(path, "abd");  // same size, one byte changed
  EXPECT_FALSE(is_intact_file(path, 3, abc));
  test::write_file(path, "abc");
  EXPECT_FALSE(is_intact_file(path, 4, abc));
  EXPECT_FALSE(is_intact_file(path, 3, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
  EXPECT_FALSE(is_intact_file(dir.path(), 0, abc));
  EXPECT_FALSE(is_intact_file(dir.join("missing"), 3, abc));
}

TEST_F(StagedFixture, PresentRuntimeIsNeverStaged) {
  userKey.set_pv(L"120.0.0.1");
  put_runtime(user_base(), "120.0.0.1");
  const EnvironmentReport presence = detect_components(std::nullopt);
  EXPECT_TRUE(presence.components[ComponentKind::WebView2Runtime].present);
  EXPECT_FALSE(presence.components[ComponentKind::WebView2Runtime].staged);
  for (ComponentKind kind : {ComponentKind::ServicePack1, ComponentKind::Kb4490628, ComponentKind::Kb4474419}) {
    EXPECT_TRUE(presence.components[kind].present);
  }
  for (ComponentKind kind : {ComponentKind::Generic, ComponentKind::ServicePack1, ComponentKind::Kb4490628,
                             ComponentKind::Kb4474419}) {
    EXPECT_FALSE(presence.components[kind].staged);
  }
}

TEST_F(StagedFixture, WorkbenchInstallerNeedsAPolicyAndItsSize) {
  // A version newer than any workbench a demo may have left at the default location.
  test::write_file(downloads() + "\\VelkoTarnWorkbench-Setup-v9.8.0.exe", std::string(4096, 'x'));
  const auto staged = [](const std::string& version, std::uint64_t bytes) {
    return detect_components(ReleasePolicy{version, "https://h/x", std::string(64, 'A'), bytes})
        .components[ComponentKind::Workbench].staged;
  };
  EXPECT_FALSE(detect_components(std::nullopt).components[ComponentKind::Workbench].staged);  // no policy yet
  EXPECT_TRUE(staged("9.8.0", 4096));
  EXPECT_FALSE(staged("9.8.0", 4097));
  EXPECT_FALSE(staged("9.9.0", 4096));
}

// The remembered install location is used only while it holds a valid installation.
struct InstallLocationFixture : ::testing::Test {
  ScopedTempDir dir;
  ScopedEnvironment programData{"VELKO_TEST_PROGRAM_DATA", dir.join("ProgramData")};
  std::string record() const { return dir.join("ProgramData") + "\\VelkoInstaller\\install-location.txt"; }
  static std::string default_location() {
    return ::GetDriveTypeW(L"D:\\") == DRIVE_FIXED ? "D:\\VelkoTarn工作台" : "C:\\Program Files\\VelkoTarn工作台";
  }
  void install_into(const std::string& installDir) {
    test::write_valid_installation(installDir, "1.4.0", "MZ");
  }
  void SetUp() override { test::make_directories(dir.join("ProgramData") + "\\VelkoInstaller"); }
};

TEST_F(InstallLocationFixture, NoRecordGivesTheDefault) { EXPECT_EQ(resolve_install_location(), default_location()); }

TEST_F(InstallLocationFixture, TrimmedRecordWithAValidInstallation) {
  const std::string installDir = dir.join("安装 目录");
  install_into(installDir);
  test::write_file(record(), "  " + installDir + " \r\n  ");
  EXPECT_EQ(resolve_install_location(), installDir);
}

TEST_F(InstallLocationFixture, RecordWithoutInstallationGivesTheDefault) {
  const std::string installDir = dir.join("空目录");
  test::make_directories(installDir);
  test::write_file(record(), installDir);
  EXPECT_EQ(resolve_install_location(), default_location());
}

// A data folder that others could have changed is moved aside, and with it the record of an
// earlier version that never secured it. Its record is then only a hint: it is followed when it
// names an installation that only administrators can change, never to anyone else's folder.
TEST_F(InstallLocationFixture, RecordInADataFolderOthersCanChangeIsOnlyAHint) {
  const std::string privateInstallation = dir.join("管理员的目录");
  install_into(privateInstallation);
  const std::string loosenedInstallation = dir.join("别人的目录");
  install_into(loosenedInstallation);
  test::let_everyone_change(loosenedInstallation);
  // The newest folder moved aside is looked at first.
  for (const auto& [named, expected] : {std::pair{loosenedInstallation, default_location()},
                                        std::pair{privateInstallation, privateInstallation}}) {
    test::make_directories(dir.join("ProgramData") + "\\VelkoInstaller");
    test::write_file(record(), named);
    test::let_everyone_change(dir.join("ProgramData") + "\\VelkoInstaller");
    EXPECT_EQ(resolve_install_location(), expected) << named;
    EXPECT_FALSE(test::file_exists(record())) << named;
    // Later starts still find it among the folders moved aside.
    EXPECT_EQ(resolve_install_location(), expected) << named;
  }
}

TEST_F(InstallLocationFixture, OversizedRecordGivesTheDefault) {
  const std::string installDir = dir.join("安装目录");
  install_into(installDir);
  test::write_file(record(), installDir + std::string(2 * 1024 * 1024, ' '));
  EXPECT_EQ(resolve_install_location(), default_location());
}

TEST_F(InstallLocationFixture, BlankRecordGivesTheDefault) {
  test::write_file(record(), " \r\n\t ");
  EXPECT_EQ(resolve_install_location(), default_location());
  test::write_file(record(), "");
  EXPECT_EQ(resolve_install_location(), default_location());
}

}  // namespace
}  // namespace velko
