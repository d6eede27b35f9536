#include "state/classify_windows.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "state/bootstrap_state.h"
#include "support/installation_fixture.h"
#include "support/scoped_temp_dir.h"

namespace velko {
namespace {

using test::ScopedEnvironment;
using test::ScopedTempDir;

// The version the system itself reports, to compare with what the classification shows.
OSVERSIONINFOEXW true_version() {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  auto* const rtl_get_version = reinterpret_cast<LONG(WINAPI*)(OSVERSIONINFOEXW*)>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  EXPECT_NE(rtl_get_version, nullptr);
  if (rtl_get_version) rtl_get_version(&info);
  return info;
}

struct ClassifyFixture : ::testing::Test {
  ScopedTempDir dir;
  ScopedEnvironment programData{"VELKO_TEST_PROGRAM_DATA", dir.join("ProgramData")};
  ScopedEnvironment localAppData{"LOCALAPPDATA", dir.join("LocalAppData")};
  ScopedEnvironment programFiles{"ProgramFiles(x86)", dir.join("ProgramFilesX86")};
  BootstrapState state;
};

TEST_F(ClassifyFixture, ReportsTheTrueVersionOfThisSystem) {
  const OSVERSIONINFOEXW version = true_version();
  ASSERT_GE(version.dwMajorVersion, 10u) << "these tests expect a Windows 10 or 11 prefix";
  classify_windows(state);
  ASSERT_TRUE(state.environment);
  const std::string name = version.dwBuildNumber >= 22000 ? "Windows 11" : "Windows 10";
  EXPECT_EQ(state.environment->systemLabel, name + " x64 · Build " + std::to_string(version.dwBuildNumber));
  EXPECT_EQ(state.environment->verdict, "正常版");
  EXPECT_TRUE(state.environment->supported);
  EXPECT_TRUE(state.environment->components[ComponentKind::ServicePack1].present);
  EXPECT_FALSE(state.environment->components[ComponentKind::WebView2Runtime].present);  // nothing under the private folders
  EXPECT_EQ(state.currentComponent, ComponentKind::WebView2Runtime);
}

TEST_F(ClassifyFixture, InstallDirectoryDecidesTheWorkbenchState) {
  const std::string install = dir.join("工作台");
  test::write_valid_installation(install, "1.4.0", "MZ");
  state.installDirectory = install;
  classify_windows(state);  // no policy known yet
  EXPECT_EQ(state.workbenchState, WorkbenchInstallState::Older);
  EXPECT_TRUE(state.updateMode);
  EXPECT_FALSE(state.environment->components[ComponentKind::Workbench].present);

  // The release is the one the given state holds, not the process-wide one.
  ASSERT_TRUE(store_policy(state, ReleasePolicy{"1.4.0", "https://h/x", std::string(64, 'A'), 1}));
  classify_windows(state);
  EXPECT_EQ(state.workbenchState, WorkbenchInstallState::Current);
  EXPECT_FALSE(state.updateMode);
  EXPECT_TRUE(state.environment->components[ComponentKind::Workbench].present);
}

}  // namespace
}  // namespace velko
