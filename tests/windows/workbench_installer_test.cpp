#include "install/workbench_installer.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "common/utf.h"
#include "stand_in_versions.h"
#include "support/links.h"
#include "support/paths.h"
#include "support/scoped_temp_dir.h"
#include "win/file_digest.h"
#include "win/file_identity.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

using test::ScopedEnvironment;
using test::ScopedTempDir;

constexpr char kStandInVersion[] = VELKO_STANDIN_WORKBENCH_VERSION;

std::string json_escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

std::string manifest_json(const std::string& installPath, const std::string& executablePath,
                          const std::string& version = "1.4.0", const std::string& product = "VelkoTarn工作台",
                          const std::string& extra = "") {
  return R"({"product":")" + product + R"(","version":")" + version + R"(","installPath":")" +
         json_escaped(installPath) + R"(","executablePath":")" + json_escaped(executablePath) +
         R"(","commandLibraryPath":"embedded://frontend-bundle")" + extra + "}";
}

// The error text, or a marker for success, so that a wrong success shows as a plain mismatch.
std::string error_of(const std::expected<void, std::string>& result) {
  return result ? std::string("<success>") : result.error();
}

ReleasePolicy policy_for(const std::string& version, const std::string& sha256, std::uint64_t bytes) {
  return ReleasePolicy{version, "https://h/x", sha256, bytes};
}

void set_file_age(const std::string& path, int secondsAgo) {
  win::unique_file file(::CreateFileW(win::wide(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file);
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER value{{now.dwLowDateTime, now.dwHighDateTime}};
  value.QuadPart -= static_cast<ULONGLONG>(secondsAgo) * 10'000'000ULL;
  const FILETIME then{value.LowPart, value.HighPart};
  ASSERT_TRUE(::SetFileTime(file.get(), nullptr, nullptr, &then));
}

std::vector<std::string> entries_of(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW data{};
  win::unique_find search(::FindFirstFileW(win::wide(folder + "\\*").c_str(), &data));
  if (!search) return names;
  do {
    const std::string name = win::narrow(data.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (::FindNextFileW(search.get(), &data));
  return names;
}

struct ManifestFixture : ::testing::Test {
  ScopedTempDir dir;
  std::string install = dir.join("工作台");
  std::string exe = install + "\\VelkoTarn工作台.exe";
  void SetUp() override {
    test::make_directories(install);
    test::write_file(exe, "MZ");
  }
  void write_manifest(const std::string& text) { test::write_file(install + "\\install-manifest.json", text); }
};

TEST_F(ManifestFixture, ValidInstallation) {
  write_manifest(manifest_json(install, exe, "1.4.0", "VelkoTarn工作台", R"(,"buildDate":"2026-12-01")"));
  const auto manifest = read_install_manifest(install);
  ASSERT_TRUE(manifest);
  EXPECT_EQ(manifest->version, "1.4.0");
  EXPECT_TRUE(has_valid_installation(install));
  EXPECT_EQ(workbench_executable(install), exe);
}

TEST_F(ManifestFixture, ProductSpelledDifferently) {
  write_manifest(manifest_json(install, exe, "1.4.0", "Velko Tarn 工作台"));
  EXPECT_FALSE(has_valid_installation(install));
  EXPECT_EQ(workbench_executable(install).error(), "工作台安装清单或主程序不完整，无法安全启动。");
}

TEST_F(ManifestFixture, InvalidVersionsMakeStateNone) {
  for (const char* version : {"1.2", "1.02.3"}) {
    write_manifest(manifest_json(install, exe, version));
    EXPECT_FALSE(has_valid_installation(install)) << version;
    EXPECT_EQ(check_installed_workbench(install, "1.0.0"), WorkbenchInstallState::None) << version;
  }
}

TEST_F(ManifestFixture, PathsDifferingInCaseOrThroughALink) {
  std::string upper = install;
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  write_manifest(manifest_json(upper, upper + "\\velkotarn工作台.EXE"));
  EXPECT_TRUE(has_valid_installation(install));

  const std::string link = dir.join("链接");
  test::make_directory_link(link, install);
  write_manifest(manifest_json(link, link + "\\VelkoTarn工作台.exe"));
  EXPECT_TRUE(has_valid_installation(install));
  // A folder reached through a link is not looked at: the link could lead the look anywhere.
  EXPECT_FALSE(has_valid_installation(link));

  const std::string other = dir.join("其他");
  test::make_directories(other);
  write_manifest(manifest_json(other, exe));
  EXPECT_FALSE(has_valid_installation(install));
  write_manifest(manifest_json(install, other + "\\VelkoTarn工作台.exe"));
  EXPECT_FALSE(has_valid_installation(install));
}

TEST_F(ManifestFixture, ProgramMissingOrDirectories) {
  write_manifest(manifest_json(install, exe));
  ASSERT_TRUE(has_valid_installation(install));
  ASSERT_TRUE(::DeleteFileW(win::wide(exe).c_str()));
  EXPECT_FALSE(has_valid_installation(install));
  test::make_directories(exe);  // the program is a directory
  EXPECT_FALSE(has_valid_installation(install));

  ScopedTempDir second;
  const std::string secondExe = second.join("VelkoTarn工作台.exe");
  test::write_file(secondExe, "MZ");
  test::make_directories(second.join("install-manifest.json"));
  EXPECT_FALSE(has_valid_installation(second.path()));
}

TEST_F(ManifestFixture, DuplicateMemberOnDisk) {
  write_manifest(manifest_json(install, exe, "1.4.0", "VelkoTarn工作台", R"(,"version":"1.4.0")"));
  EXPECT_FALSE(has_valid_installation(install));
}

TEST_F(ManifestFixture, StatesAgainstThePolicy) {
  write_manifest(manifest_json(install, exe, "1.4.0"));
  EXPECT_EQ(check_installed_workbench(install, std::nullopt), WorkbenchInstallState::Older);  // no policy known
  EXPECT_EQ(check_installed_workbench(install, "1.4.0"), WorkbenchInstallState::Current);
  EXPECT_EQ(check_installed_workbench(install, "1.3.9"), WorkbenchInstallState::Current);
  EXPECT_EQ(check_installed_workbench(install, "1.10.0"), WorkbenchInstallState::Older);
  EXPECT_EQ(check_installed_workbench(dir.join("nothing"), "1.4.0"), WorkbenchInstallState::None);
}

TEST(PlainFile, FilesDirectoriesAndLinks) {
  ScopedTempDir dir;
  test::write_file(dir.join("a.txt"), "x");
  test::make_directories(dir.join("sub"));
  EXPECT_TRUE(win::is_plain_file(dir.join("a.txt")));
  EXPECT_FALSE(win::is_plain_file(dir.join("sub")));
  EXPECT_FALSE(win::is_plain_file(dir.join("missing.txt")));
  test::make_directory_link(dir.join("link"), dir.join("sub"));
  EXPECT_FALSE(win::is_plain_file(dir.join("link")));
  EXPECT_TRUE(win::same_path(dir.join("link"), dir.join("SUB")));
  EXPECT_FALSE(win::same_path(dir.join("a.txt"), dir.join("sub")));
  EXPECT_FALSE(win::same_path(dir.join("missing"), dir.join("missing")));
}

// Runs of the stand-in installer in a private ProgramData.
struct InstallerRunFixture : ::testing::Test {
  ScopedTempDir dir;
  ScopedEnvironment programData{"VELKO_TEST_PROGRAM_DATA", dir.join("ProgramData")};
  std::string installerData = dir.join("ProgramData") + "\\VelkoInstaller";
  std::string runs = installerData + "\\installer-runs";
  std::string report = installerData + "\\last-ide-install-error.txt";
  std::string record = installerData + "\\install-location.txt";
  std::string staged = dir.join("VelkoTarnWorkbench-Setup-v" + std::string(kStandInVersion) + ".exe");
  std::string install = dir.join("Velko 工作台");
  std::string installerBytes;

  void SetUp() override {
    installerBytes = test::read_file(win::narrow(test::built_program(L"VelkoTarnWorkbenchSetupStandIn.exe")));
    ASSERT_FALSE(installerBytes.empty());
    test::write_file(staged, installerBytes);
    const auto digest = win::sha256_of_file(staged);
    ASSERT_TRUE(digest);
    policy = policy_for(kStandInVersion, *digest, installerBytes.size());
  }
  ReleasePolicy policy;
};

TEST_F(InstallerRunFixture, GoodInstallerLeavesACurrentInstallationAndTheRecord) {
  ASSERT_EQ(run_workbench_installer(staged, install, policy), (std::expected<void, std::string>{}));
  EXPECT_EQ(check_installed_workbench(install, policy.latestVersion), WorkbenchInstallState::Current);
  EXPECT_EQ(test::read_file(record), install);
  EXPECT_FALSE(test::file_exists(record + ".part"));
  EXPECT_TRUE(entries_of(runs).empty());
  EXPECT_TRUE(win::is_plain_file(install + "\\VelkoTarn工作台.exe"));
}

TEST_F(InstallerRunFixture, FailureWithAFreshReportGivesItsBytes) {
  const std::string text = "安装失败：磁盘空间不足。\r\n第二行 \"quoted\"";
  ScopedEnvironment exitCode("VELKO_STANDIN_INSTALLER_EXIT", "5");
  ScopedEnvironment reportText("VELKO_STANDIN_INSTALLER_REPORT", text);
  EXPECT_EQ(error_of(run_workbench_installer(staged, install, policy)), text);
  EXPECT_TRUE(entries_of(runs).empty());
  EXPECT_FALSE(test::file_exists(record));
  EXPECT_TRUE(test::file_exists(report));  // never removed
}

TEST_F(InstallerRunFixture, FailureWithOnlyAStaleReportGivesTheExitCode) {
  test::make_directories(installerData);
  test::write_file(report, "上一次安装的旧错误。");
  set_file_age(report, 3600);
  ScopedEnvironment exitCode("VELKO_STANDIN_INSTALLER_EXIT", "5");
  EXPECT_EQ(error_of(run_workbench_installer(staged, install, policy)), "IDE 安装任务返回错误码 5。");
  EXPECT_EQ(test::read_file(report), "上一次安装的旧错误。");  // left as it was
}

TEST_F(InstallerRunFixture, FailureWithoutReportOrWithABlankOne) {
  {
    ScopedEnvironment exitCode("VELKO_STANDIN_INSTALLER_EXIT", "5");
    EXPECT_EQ(error_of(run_workbench_installer(staged, install, policy)), "IDE 安装任务返回错误码 5。");
  }
  {
    ScopedEnvironment exitCode("VELKO_STANDIN_INSTALLER_EXIT", "-1073741819");
    ScopedEnvironment reportText("VELKO_STANDIN_INSTALLER_REPORT", " \r\n ");
    EXPECT_EQ(error_of(run_workbench_installer(staged, install, policy)), "IDE 安装任务返回错误码 -1073741819。");
  }
}

TEST_F(InstallerRunFixture, SuccessWithAnOlderManifestIsRefused) {
  ScopedEnvironment version("VELKO_STANDIN_INSTALLER_VERSION", "1.0.0");
  policy = policy_for("1.0.1", *win::sha256_of_file(staged), installerBytes.size());
  // The run's own copy carries the policy's version in its name.
  EXPECT_EQ(error_of(run_workbench_installer(staged, install, policy)),
            "工作台安装任务已结束，但安装结果与本次发布文件不一致。");
  EXPECT_FALSE(test::file_exists(record));
  EXPECT_TRUE(has_valid_installation(install));  // installed, just not this release
  EXPECT_TRUE(entries_of(runs).empty());
}

TEST_F(InstallerRunFixture, ExistingRunDirectoriesSendTheCopyToTheNextAttempt) {
  const auto moment = std::chrono::system_clock::now();
  const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(moment.time_since_epoch()).count();
  const std::string prefix = runs + "\\v" + kStandInVersion + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
                             std::to_string(nanos) + "-";
  test::make_directories(prefix + "0");
  test::make_directories(prefix + "1");
  const std::string self = dir.join("self.txt");
  ScopedEnvironment selfRecord("VELKO_STANDIN_INSTALLER_SELF", self);
  ASSERT_EQ(run_workbench_installer_at(staged, install, policy, moment, built_in_publisher_keys()),
            (std::expected<void, std::string>{}));
  EXPECT_TRUE(equal_ignoring_ascii_case(test::read_file(self),
                                        prefix + "2\\VelkoTarnWorkbench-Setup-v" + kStandInVersion + ".exe"))
      << test::read_file(self);
  auto left = entries_of(runs);
  std::sort(left.begin(), left.end());
  const std::string base = "v" + std::string(kStandInVersion) + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
                           std::to_string(nanos) + "-";
  EXPECT_EQ(left, (std::vector<std::string>{base + "0", base + "1"}));
}

TEST_F(InstallerRunFixture, SixteenExistingRunDirectoriesGiveUp) {
  const auto moment = std::chrono::system_clock::now();
  const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(moment.time_since_epoch()).count();
  for (int attempt = 0; attempt < 16; ++attempt) {
    test::make_directories(runs + "\\v" + kStandInVersion + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
                           std::to_string(nanos) + "-" + std::to_string(attempt));
  }
  EXPECT_EQ(error_of(run_workbench_installer_at(staged, install, policy, moment, built_in_publisher_keys())),
            "无法创建唯一的安装程序独立运行副本，请稍后重试。");
  EXPECT_FALSE(has_valid_installation(install));
}

TEST_F(InstallerRunFixture, StagedInstallerOneByteShortIsRefusedWithoutHashing) {
  test::write_file(staged, installerBytes.substr(0, installerBytes.size() - 1));
  // Nobody else may read the file now, so a hash attempt would fail with a different text.
  win::unique_file exclusive(
      ::CreateFileW(win::wide(staged).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(exclusive);
  EXPECT_EQ(error_of(run_workbench_installer(staged, install, policy)), "待运行的工作台安装包校验失败，已停止安装。");
  EXPECT_FALSE(test::file_exists(runs));
}

TEST_F(InstallerRunFixture, LockedStagedInstallerOfTheRightSizeIsHashed) {
  // The counterpart of the test above: with the right size the hash is attempted and fails.
  win::unique_file exclusive(
      ::CreateFileW(win::wide(staged).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(exclusive);
  const auto result = run_workbench_installer(staged, install, policy);
  ASSERT_FALSE(result);
  EXPECT_NE(result.error(), "待运行的工作台安装包校验失败，已停止安装。");
}

TEST_F(InstallerRunFixture, StagedInstallerWithOneByteChangedIsRefused) {
  std::string changed = installerBytes;
  changed[changed.size() / 2] ^= 0x01;
  test::write_file(staged, changed);
  const std::string self = dir.join("self.txt");
  ScopedEnvironment selfRecord("VELKO_STANDIN_INSTALLER_SELF", self);
  EXPECT_EQ(error_of(run_workbench_installer(staged, install, policy)), "待运行的工作台安装包校验失败，已停止安装。");
  EXPECT_FALSE(has_valid_installation(install));
  // The mismatch shows while the copy is made: the copy is gone again and was never started.
  EXPECT_TRUE(entries_of(runs).empty());
  EXPECT_FALSE(test::file_exists(self));
}

TEST_F(InstallerRunFixture, DigestIsComparedIgnoringCase) {
  std::string lower = *win::sha256_of_file(staged);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'F' ? c + 32 : c);
  policy = policy_for(kStandInVersion, lower, installerBytes.size());
  EXPECT_EQ(run_workbench_installer(staged, install, policy), (std::expected<void, std::string>{}));
}

TEST_F(InstallerRunFixture, RunDirectoriesFolderThatIsALinkIsRefused) {
  test::make_directories(installerData);
  test::make_directories(dir.join("elsewhere"));
  test::make_directory_link(runs, dir.join("elsewhere"));
  EXPECT_EQ(error_of(run_workbench_installer(staged, install, policy)), "安装程序独立运行目录不是受支持的普通目录，已停止安装。");
}

// A clock set before 1970 cannot name a run directory: nothing is created or run.
TEST_F(InstallerRunFixture, AClockBeforeTheEpochRunsNothing) {
  const auto beforeEpoch = std::chrono::system_clock::time_point{} - std::chrono::seconds(1);
  EXPECT_EQ(error_of(run_workbench_installer_at(staged, install, policy, beforeEpoch, built_in_publisher_keys())),
            "系统时间异常，无法创建安装程序独立运行副本。");
  EXPECT_TRUE(entries_of(runs).empty());
  EXPECT_FALSE(test::file_exists(install));
  EXPECT_FALSE(test::file_exists(report));
}

}  // namespace
}  // namespace velko
