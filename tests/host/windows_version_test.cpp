#include "detect/windows_version.h"

#include <gtest/gtest.h>

#include "state/bootstrap_state.h"
#include "state/environment_assembly.h"

namespace velko {
namespace {

SystemClassification classify(std::uint32_t major, std::uint32_t minor, std::uint32_t build, std::uint8_t type) {
  return classify_version(WindowsVersion{major, minor, build, type});
}

TEST(ClassifyVersion, UnreadableVersion) {
  EXPECT_EQ(classify_version(std::nullopt), (SystemClassification{"Windows（版本读取失败）", "等待检测", false}));
}

TEST(ClassifyVersion, Version60IsServer2008OnAnyProductType) {
  const SystemClassification expected{"Windows Server 2008（非 R2）", "不支持当前系统", false};
  EXPECT_EQ(classify(6, 0, 6002, 1), expected);  // Vista
  EXPECT_EQ(classify(6, 0, 6003, 3), expected);
  EXPECT_EQ(classify(6, 0, 6003, 2), expected);
}

TEST(ClassifyVersion, Windows7AndServer2008R2) {
  EXPECT_EQ(classify(6, 1, 7601, 1),
            (SystemClassification{"Windows 7 x64 · Build 7601", "仅支持 Windows 10/11 x64", false}));
  EXPECT_EQ(classify(6, 1, 7601, 3),
            (SystemClassification{"Windows Server 2008 R2 x64 · Build 7601", "不支持服务器旧系统", false}));
  EXPECT_EQ(classify(6, 1, 7600, 2).verdict, "不支持服务器旧系统");
}

TEST(ClassifyVersion, Windows11FromBuild22000) {
  EXPECT_EQ(classify(10, 0, 22000, 1), (SystemClassification{"Windows 11 x64 · Build 22000", "正常版", true}));
  EXPECT_EQ(classify(10, 0, 26100, 1), (SystemClassification{"Windows 11 x64 · Build 26100", "正常版", true}));
}

TEST(ClassifyVersion, Windows10UpToBuild21999) {
  EXPECT_EQ(classify(10, 0, 21999, 1), (SystemClassification{"Windows 10 x64 · Build 21999", "正常版", true}));
  EXPECT_EQ(classify(10, 0, 19045, 1).systemLabel, "Windows 10 x64 · Build 19045");
  EXPECT_EQ(classify(10, 0, 0, 1).systemLabel, "Windows 10 x64 · Build 0");
}

TEST(ClassifyVersion, MajorAboveTenCountsAsTen) {
  EXPECT_EQ(classify(11, 3, 30000, 1), (SystemClassification{"Windows 11 x64 · Build 30000", "正常版", true}));
  EXPECT_EQ(classify(12, 0, 100, 1).systemLabel, "Windows 10 x64 · Build 100");
}

TEST(ClassifyVersion, ServersOfVersionTen) {
  const SystemClassification server2019{"Windows Server x64 · Build 17763", "仅支持 Windows 10/11 x64", false};
  EXPECT_EQ(classify(10, 0, 17763, 3), server2019);
  EXPECT_EQ(classify(10, 0, 17763, 2), server2019);  // domain controller
  EXPECT_EQ(classify(10, 0, 26100, 0).systemLabel, "Windows Server x64 · Build 26100");
}

TEST(ClassifyVersion, AnythingElseNeedsConfirmation) {
  EXPECT_EQ(classify(6, 3, 9600, 1), (SystemClassification{"Windows 6.3 x64 · Build 9600", "需要进一步确认", false}));
  EXPECT_EQ(classify(6, 2, 9200, 3), (SystemClassification{"Windows 6.2 x64 · Build 9200", "需要进一步确认", false}));
  EXPECT_EQ(classify(5, 1, 2600, 1).systemLabel, "Windows 5.1 x64 · Build 2600");
  // Numbers are printed in plain decimal, without grouping.
  EXPECT_EQ(classify(9, 12345, 4294967295u, 1).systemLabel, "Windows 9.12345 x64 · Build 4294967295");
}

TEST(ClassifyVersion, LabelsUseAMiddleDotBetweenSpaces) {
  EXPECT_NE(classify(10, 0, 19045, 1).systemLabel.find(" \xC2\xB7 "), std::string::npos);
}

EnvironmentReport all_present() {
  EnvironmentReport presence;
  for (ComponentKind kind : {ComponentKind::ServicePack1, ComponentKind::Kb4490628, ComponentKind::Kb4474419}) {
    presence.components[kind].present = true;
  }
  presence.components[ComponentKind::WebView2Runtime].present = true;
  presence.components[ComponentKind::Workbench].present = true;
  return presence;
}

TEST(ApplyClassification, SupportedCopiesComponentFlags) {
  BootstrapState state;
  EnvironmentReport presence = all_present();
  presence.components[ComponentKind::WebView2Runtime].present = false;
  presence.components[ComponentKind::Workbench].present = false;
  presence.components[ComponentKind::WebView2Runtime].staged = true;
  presence.components[ComponentKind::Workbench].staged = true;
  apply_classification(state, classify(10, 0, 19045, 1), presence, std::nullopt);
  ASSERT_TRUE(state.environment);
  const EnvironmentReport& report = *state.environment;
  EXPECT_TRUE(report.supported);
  EXPECT_EQ(report.systemLabel, "Windows 10 x64 · Build 19045");
  for (ComponentKind kind : {ComponentKind::ServicePack1, ComponentKind::Kb4490628, ComponentKind::Kb4474419}) {
    EXPECT_TRUE(report.components[kind].present);
  }
  EXPECT_FALSE(report.components[ComponentKind::WebView2Runtime].present);
  EXPECT_TRUE(report.components[ComponentKind::WebView2Runtime].staged);
  EXPECT_TRUE(report.components[ComponentKind::Workbench].staged);
  EXPECT_EQ(state.currentComponent, ComponentKind::WebView2Runtime);
}

TEST(ApplyClassification, WebView2PresentStartsWithTheWorkbench) {
  BootstrapState state;
  apply_classification(state, classify(10, 0, 22631, 1), all_present(), std::nullopt);
  EXPECT_EQ(state.currentComponent, ComponentKind::Workbench);
}

TEST(ApplyClassification, UnsupportedWithCurrentWorkbenchInInstallDirectory) {
  BootstrapState state;
  apply_classification(state, classify(6, 1, 7601, 1), std::nullopt, WorkbenchInstallState::Current);
  const EnvironmentReport& report = *state.environment;
  EXPECT_FALSE(report.supported);
  EXPECT_TRUE(report.components[ComponentKind::Workbench].present);
  EXPECT_FALSE(report.components[ComponentKind::WebView2Runtime].present);
  EXPECT_FALSE(report.components[ComponentKind::ServicePack1].present);
  EXPECT_EQ(state.currentComponent, ComponentKind::WebView2Runtime);
  EXPECT_EQ(state.workbenchState, WorkbenchInstallState::Current);
  EXPECT_FALSE(state.updateMode);
}

TEST(ApplyClassification, InstallDirectoryCheckOverridesDetection) {
  BootstrapState state;
  apply_classification(state, classify(10, 0, 19045, 1), all_present(), WorkbenchInstallState::Older);
  EXPECT_FALSE(state.environment->components[ComponentKind::Workbench].present);
  EXPECT_TRUE(state.updateMode);
  EXPECT_EQ(state.workbenchState, WorkbenchInstallState::Older);

  apply_classification(state, classify(10, 0, 19045, 1), all_present(), WorkbenchInstallState::None);
  EXPECT_FALSE(state.updateMode);
  EXPECT_EQ(state.workbenchState, WorkbenchInstallState::None);
}

TEST(ApplyClassification, WithoutInstallDirectoryStateFieldsStay) {
  BootstrapState state;
  state.updateMode = true;
  state.workbenchState = WorkbenchInstallState::Older;
  apply_classification(state, classify(10, 0, 19045, 1), all_present(), std::nullopt);
  EXPECT_TRUE(state.updateMode);
  EXPECT_EQ(state.workbenchState, WorkbenchInstallState::Older);
  EXPECT_TRUE(state.environment->components[ComponentKind::Workbench].present);  // from detection
}

TEST(ApplyClassification, SecondClassificationReplacesTheReport) {
  BootstrapState state;
  EnvironmentReport presence = all_present();
  presence.components[ComponentKind::Workbench].staged = true;
  apply_classification(state, classify(10, 0, 19045, 1), presence, std::nullopt);
  state.environment->components[ComponentKind::WebView2Runtime].staged = true;  // as a ComponentReady event would
  apply_classification(state, classify(10, 0, 19045, 1), all_present(), std::nullopt);
  for (const ComponentStatus& status : state.environment->components.byKind) EXPECT_FALSE(status.staged);
  apply_classification(state, classify(10, 0, 17763, 3), std::nullopt, std::nullopt);
  EXPECT_FALSE(state.environment->components[ComponentKind::WebView2Runtime].present);
  EXPECT_FALSE(state.environment->components[ComponentKind::Workbench].present);
  EXPECT_EQ(state.environment->verdict, "仅支持 Windows 10/11 x64");
}

}  // namespace
}  // namespace velko
