#include "detect/install_manifest.h"

#include <gtest/gtest.h>

#include <map>

#include "common/unicode_space.h"
#include "ascii_lower.h"
#include "common/utf.h"
#include "install/workbench_installer_rules.h"
#include "policy/download_address.h"

namespace velko {
namespace {

const std::string kDir = "D:\\VelkoTarn工作台";
const std::string kExe = "D:\\VelkoTarn工作台\\VelkoTarn工作台.exe";

std::string manifest_text(const std::string& extra = "", const std::string& product = "VelkoTarn工作台",
                          const std::string& version = "1.4.0") {
  return R"({"commandLibraryPath":"embedded://frontend-bundle",)"
         R"("executablePath":"D:\\VelkoTarn工作台\\VelkoTarn工作台.exe",)"
         R"("installPath":"D:\\VelkoTarn工作台",)"
         R"("product":")" + product + R"(","version":")" + version + "\"" + extra + "}";
}

// Stands in for the file system: ASCII case is folded, and "E:\link" leads to the install folder.
bool fake_same_path(const std::string& a, const std::string& b) {
  static const std::map<std::string, std::string> links = {{"e:\\link", "d:\\velkotarn工作台"}};
  auto resolve = [](const std::string& path) {
    std::string lower = test::ascii_lower(path);
    for (const auto& [from, to] : links) {
      if (lower.starts_with(from)) lower = to + lower.substr(from.size());
    }
    return lower;
  };
  return resolve(a) == resolve(b);
}

bool valid(const std::string& text) {
  const auto manifest = parse_install_manifest(text);
  return manifest && manifest_describes_installation(*manifest, kDir, kExe, fake_same_path);
}

TEST(InstallManifest, ParsesTheFiveMembers) {
  const auto manifest = parse_install_manifest(manifest_text());
  ASSERT_TRUE(manifest);
  EXPECT_EQ(manifest->commandLibraryPath, "embedded://frontend-bundle");
  EXPECT_EQ(manifest->executablePath, kExe);
  EXPECT_EQ(manifest->installPath, kDir);
  EXPECT_EQ(manifest->product, "VelkoTarn工作台");
  EXPECT_EQ(manifest->version, "1.4.0");
  EXPECT_TRUE(valid(manifest_text()));
}

TEST(InstallManifest, ExtraMembersOfAnyKindAreIgnored) {
  EXPECT_TRUE(valid(manifest_text(R"(,"buildDate":"2026-12-01")")));
  EXPECT_TRUE(valid(manifest_text(R"(,"extra":{"a":[1,2,{"b":null}],"c":true},"n":-1.5e3)")));
  EXPECT_TRUE(valid(" \n" + manifest_text() + "\n "));
}

TEST(InstallManifest, RepeatedMembersAreRejected) {
  EXPECT_FALSE(parse_install_manifest(manifest_text(R"(,"version":"1.4.0")")));
  EXPECT_FALSE(parse_install_manifest(manifest_text(R"(,"x":1,"x":2)")));
  EXPECT_FALSE(parse_install_manifest(manifest_text(R"(,"x":{"y":1,"y":1})")));
  // The same name in different nested objects is no repetition.
  EXPECT_TRUE(parse_install_manifest(manifest_text(R"(,"x":{"version":1},"y":{"version":2})")));
}

TEST(InstallManifest, WrongTypesMissingMembersAndSyntax) {
  EXPECT_FALSE(parse_install_manifest(
      R"({"commandLibraryPath":"embedded://frontend-bundle","executablePath":"a","installPath":"b","product":"VelkoTarn工作台"})"));
  EXPECT_FALSE(parse_install_manifest(
      R"({"commandLibraryPath":"embedded://frontend-bundle","executablePath":"a","installPath":"b","product":"p","version":140})"));
  EXPECT_FALSE(parse_install_manifest(
      R"({"commandLibraryPath":"embedded://frontend-bundle","executablePath":"a","installPath":"b","product":"p","version":null})"));
  EXPECT_FALSE(parse_install_manifest(
      R"({"commandLibraryPath":["x"],"executablePath":"a","installPath":"b","product":"p","version":"1.0.0"})"));
  EXPECT_FALSE(parse_install_manifest(
      R"({"commandLibraryPath":{},"executablePath":"a","installPath":"b","product":"p","version":"1.0.0"})"));
  EXPECT_FALSE(parse_install_manifest(manifest_text() + "x"));
  EXPECT_FALSE(parse_install_manifest(manifest_text() + "{}"));
  EXPECT_FALSE(parse_install_manifest(manifest_text().substr(0, 40)));
  EXPECT_FALSE(parse_install_manifest("[" + manifest_text() + "]"));
  EXPECT_FALSE(parse_install_manifest("\"text\""));
  EXPECT_FALSE(parse_install_manifest(""));
  EXPECT_FALSE(parse_install_manifest(manifest_text(R"(,"bad":"\xFF")")));  // invalid UTF-8
  EXPECT_FALSE(parse_install_manifest(manifest_text(",")));                 // trailing comma
}

TEST(InstallManifest, NothingButWhiteSpaceAroundTheObject) {
  const std::string nul(1, '\0');
  EXPECT_FALSE(parse_install_manifest(manifest_text() + nul));
  EXPECT_FALSE(parse_install_manifest(manifest_text() + nul + "x"));
  EXPECT_FALSE(parse_install_manifest(manifest_text() + nul + R"(,"version":"9.9.9"})"));
  EXPECT_FALSE(parse_install_manifest(nul + manifest_text()));
  EXPECT_FALSE(parse_install_manifest("\xEF\xBB\xBF" + manifest_text()));  // a byte-order mark
  EXPECT_FALSE(parse_install_manifest("\f" + manifest_text()));
  EXPECT_TRUE(parse_install_manifest("\t\r\n " + manifest_text() + " \n\r\t"));
}

TEST(InstallManifest, ExtraMembersMayHoldNumbersBeyondDoubleRange) {
  EXPECT_TRUE(valid(manifest_text(R"(,"size":1e400,"list":[-1e400,{"n":)" + std::string(400, '9') + "}]")));
  EXPECT_FALSE(parse_install_manifest(manifest_text(R"(,"size":1e400,"version":"1.4.0")")));
  EXPECT_FALSE(parse_install_manifest(
      R"({"commandLibraryPath":"embedded://frontend-bundle","executablePath":"a","installPath":"b","product":"p","version":1e400})"));
}

TEST(InstallManifest, ProductMustBeExact) {
  EXPECT_FALSE(valid(manifest_text("", "Velko Tarn 工作台")));
  EXPECT_FALSE(valid(manifest_text("", "velkotarn工作台")));
}

TEST(InstallManifest, VersionMustBeValid) {
  EXPECT_FALSE(valid(manifest_text("", "VelkoTarn工作台", "1.2")));
  EXPECT_FALSE(valid(manifest_text("", "VelkoTarn工作台", "1.02.3")));
  EXPECT_FALSE(valid(manifest_text("", "VelkoTarn工作台", "65536.0.0")));
  EXPECT_TRUE(valid(manifest_text("", "VelkoTarn工作台", "65535.0.10")));
}

TEST(InstallManifest, CommandLibraryMustBeEmbedded) {
  std::string text = manifest_text();
  text.replace(text.find("embedded://frontend-bundle"), 26, "file://frontend-bundle");
  EXPECT_FALSE(valid(text));
}

TEST(InstallManifest, InstallPathNamesTheSameDirectory) {
  const auto base = *parse_install_manifest(manifest_text());
  InstallManifest manifest = base;
  manifest.installPath = "d:\\VELKOTARN工作台";
  EXPECT_TRUE(manifest_describes_installation(manifest, kDir, kExe, fake_same_path));
  manifest.installPath = "E:\\link";
  EXPECT_TRUE(manifest_describes_installation(manifest, kDir, kExe, fake_same_path));
  manifest.installPath = "D:\\Other";
  EXPECT_FALSE(manifest_describes_installation(manifest, kDir, kExe, fake_same_path));
  manifest = base;
  manifest.executablePath = "E:\\link\\velkotarn工作台.EXE";
  EXPECT_TRUE(manifest_describes_installation(manifest, kDir, kExe, fake_same_path));
  manifest.executablePath = "D:\\VelkoTarn工作台\\other.exe";
  EXPECT_FALSE(manifest_describes_installation(manifest, kDir, kExe, fake_same_path));
}

TEST(InstallManifest, ChecksRunInOrderAndStopEarly) {
  std::vector<std::string> calls;
  const SamePathFunction recording = [&](const std::string& a, const std::string& b) {
    calls.push_back(a + "|" + b);
    return true;
  };
  auto manifest = *parse_install_manifest(manifest_text());
  EXPECT_TRUE(manifest_describes_installation(manifest, kDir, kExe, recording));
  EXPECT_EQ(calls, (std::vector<std::string>{kDir + "|" + kDir, kExe + "|" + kExe}));

  calls.clear();
  manifest.product = "x";
  EXPECT_FALSE(manifest_describes_installation(manifest, kDir, kExe, recording));
  EXPECT_TRUE(calls.empty());

  calls.clear();
  manifest = *parse_install_manifest(manifest_text());
  const SamePathFunction firstFails = [&](const std::string& a, const std::string& b) {
    calls.push_back(a + "|" + b);
    return false;
  };
  EXPECT_FALSE(manifest_describes_installation(manifest, kDir, kExe, firstFails));
  EXPECT_EQ(calls.size(), 1u);
}

TEST(InstallManifest, SharesAndDevicesAreNeverLookedAt) {
  std::vector<std::string> calls;
  const SamePathFunction recording = [&](const std::string& a, const std::string& b) {
    calls.push_back(a + "|" + b);
    return true;
  };
  const auto base = *parse_install_manifest(manifest_text());
  for (const char* path : {"\\\\attacker\\share\\VelkoTarn工作台", "\\\\?\\UNC\\attacker\\share", "\\\\.\\pipe\\x",
                           "//attacker/share", "D:VelkoTarn工作台", "VelkoTarn工作台", ""}) {
    InstallManifest manifest = base;
    manifest.installPath = path;
    EXPECT_FALSE(manifest_describes_installation(manifest, kDir, kExe, recording)) << path;
    manifest = base;
    manifest.executablePath = path;
    EXPECT_FALSE(manifest_describes_installation(manifest, kDir, kExe, recording)) << path;
  }
  EXPECT_TRUE(calls.empty());
  InstallManifest manifest = base;
  manifest.installPath = "\\\\?\\D:\\VelkoTarn工作台";
  EXPECT_TRUE(manifest_describes_installation(manifest, kDir, kExe, recording));
}

TEST(InstalledWorkbenchState, AgainstThePolicy) {
  const auto manifest = parse_install_manifest(manifest_text());
  EXPECT_EQ(installed_workbench_state(std::nullopt, "1.4.0"), WorkbenchInstallState::None);
  EXPECT_EQ(installed_workbench_state(std::nullopt, std::nullopt), WorkbenchInstallState::None);
  EXPECT_EQ(installed_workbench_state(manifest, std::nullopt), WorkbenchInstallState::Older);
  EXPECT_EQ(installed_workbench_state(manifest, "1.4.0"), WorkbenchInstallState::Current);
  EXPECT_EQ(installed_workbench_state(manifest, "1.3.9"), WorkbenchInstallState::Current);
  EXPECT_EQ(installed_workbench_state(manifest, "1.10.0"), WorkbenchInstallState::Older);
  EXPECT_EQ(installed_workbench_state(manifest, "bad"), WorkbenchInstallState::None);
}

TEST(InstallerRun, Names) {
  EXPECT_EQ(installer_run_directory_name("1.4.0", 4242, 1765170000123456789ull, 0), "v1.4.0-4242-1765170000123456789-0");
  EXPECT_EQ(installer_run_directory_name("1.4.0", 7, 1, 15), "v1.4.0-7-1-15");
  EXPECT_EQ(workbench_installer_file_name("2.0.1"), "VelkoTarnWorkbench-Setup-v2.0.1.exe");
}

TEST(InstallerRun, FailureText) {
  EXPECT_EQ(installer_failure_text(std::string("磁盘空间不足。\r\n"), "5"), "磁盘空间不足。\r\n");
  EXPECT_EQ(installer_failure_text(std::nullopt, "5"), "IDE 安装任务返回错误码 5。");
  EXPECT_EQ(installer_failure_text(std::string(""), "5"), "IDE 安装任务返回错误码 5。");
  EXPECT_EQ(installer_failure_text(std::string(" \r\n\t\xE3\x80\x80"), "-1"), "IDE 安装任务返回错误码 -1。");
  EXPECT_EQ(installer_failure_text(std::string("\xFF\xFE"), "5"), "IDE 安装任务返回错误码 5。");
}

TEST(UnicodeSpace, Trim) {
  EXPECT_EQ(trim_unicode_space("  D:\\工作台 \r\n"), "D:\\工作台");
  EXPECT_EQ(trim_unicode_space("\xE3\x80\x80" "x\xC2\xA0"), "x");
  EXPECT_EQ(trim_unicode_space(" \t\n"), "");
  EXPECT_EQ(trim_unicode_space("a b"), "a b");
}

}  // namespace
}  // namespace velko
