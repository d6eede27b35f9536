#include "detect/running_workbench.h"

#include <windows.h>
#include <aclapi.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "detect/running_workbench_win.h"
#include "support/links.h"
#include "support/paths.h"
#include "support/scoped_temp_dir.h"
#include "win/child_process.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

using test::ScopedTempDir;

// A stand-in workbench process that is ended when the test is over.
class RunningStandIn {
 public:
  explicit RunningStandIn(const std::string& program) {
    test::ScopedEnvironment mode("VELKO_STANDIN_WORKBENCH", "hidden");
    auto child = win::start_process({program, {"--main"}, std::nullopt, CREATE_NO_WINDOW});
    EXPECT_TRUE(child) << "cannot start " << program;
    if (child) child_ = std::move(*child);
    wait_until_listed();
  }
  ~RunningStandIn() {
    if (child_.process) {
      ::TerminateProcess(child_.process.get(), 0);
      ::WaitForSingleObject(child_.process.get(), 10000);
    }
  }
  std::uint32_t id() const { return child_.id; }
  HANDLE process() const { return child_.process.get(); }
  // Ends the process; its id stays valid while this object holds the handle.
  void end() {
    ::TerminateProcess(child_.process.get(), 3);
    ASSERT_EQ(::WaitForSingleObject(child_.process.get(), 10000), WAIT_OBJECT_0);
  }

 private:
  // The process must be in the list before a "not found" means anything.
  void wait_until_listed() {
    for (int i = 0; i < 200; ++i) {
      win::unique_snapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
      PROCESSENTRY32W entry{};
      entry.dwSize = sizeof entry;
      for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == child_.id) return;
      }
      ::Sleep(50);
    }
    ADD_FAILURE() << "stand-in never showed up in the process list";
  }

  win::ChildProcess child_;
};

std::string outcome(const std::expected<std::optional<std::uint32_t>, std::string>& result) {
  if (!result) return "error: " + result.error();
  if (!*result) return "not running";
  return "pid " + std::to_string(**result);
}
std::string pid_text(std::uint32_t id) { return "pid " + std::to_string(id); }

std::string stand_in_program() { return win::narrow(test::built_program(L"VelkoTarn工作台.exe")); }

void copy_stand_in(const std::string& to) {
  ASSERT_TRUE(::CopyFileW(win::wide(stand_in_program()).c_str(), win::wide(to).c_str(), FALSE)) << to;
}

TEST(FindRunningProcess, FindsTheWorkbenchStartedFromTheInstallDirectory) {
  ScopedTempDir dir;
  const std::string executable = dir.join("VelkoTarn工作台.exe");
  copy_stand_in(executable);
  EXPECT_EQ(outcome(find_running_process(executable)), "not running");
  RunningStandIn running(executable);
  EXPECT_EQ(outcome(find_running_process(executable)), pid_text(running.id()));
  EXPECT_EQ(is_workbench_running(dir.path()), true);
}

TEST(FindRunningProcess, FileNameDifferingInAsciiCaseIsFound) {
  ScopedTempDir dir;
  const std::string actual = dir.join("velkotarn工作台.EXE");
  copy_stand_in(actual);
  RunningStandIn running(actual);
  EXPECT_EQ(outcome(find_running_process(dir.join("VelkoTarn工作台.exe"))), pid_text(running.id()));
  EXPECT_EQ(is_workbench_running(dir.path()), true);
}

TEST(FindRunningProcess, SameNameInAnotherFolderIsNotFound) {
  ScopedTempDir install;
  ScopedTempDir other;
  copy_stand_in(install.join("VelkoTarn工作台.exe"));
  copy_stand_in(other.join("VelkoTarn工作台.exe"));
  RunningStandIn running(other.join("VelkoTarn工作台.exe"));
  EXPECT_EQ(outcome(find_running_process(install.join("VelkoTarn工作台.exe"))), "not running");
  EXPECT_EQ(is_workbench_running(install.path()), false);
  // The one that runs is found under its own folder, so the negative answer above is not blind.
  EXPECT_EQ(is_workbench_running(other.path()), true);
}

TEST(FindRunningProcess, InstallDirectoryThroughALinkMatchesTheTarget) {
  ScopedTempDir dir;
  const std::string target = dir.join("真实目录");
  ASSERT_TRUE(::CreateDirectoryW(win::wide(target).c_str(), nullptr));
  copy_stand_in(target + "\\VelkoTarn工作台.exe");
  const std::string link = dir.join("链接");
  test::make_directory_link(link, target);
  RunningStandIn running(target + "\\VelkoTarn工作台.exe");
  EXPECT_EQ(outcome(find_running_process(link + "\\VelkoTarn工作台.exe")), pid_text(running.id()));
  EXPECT_EQ(is_workbench_running(link), true);
}

TEST(FindRunningProcess, PathWithoutFileName) {
  EXPECT_EQ(outcome(find_running_process("C:\\Program Files\\")), "error: 工作台程序路径无效。");
  EXPECT_EQ(outcome(find_running_process("")), "error: 工作台程序路径无效。");
  EXPECT_EQ(outcome(find_running_process("C:\\dir\\\xFF.exe")), "error: 工作台程序路径无效。");
}

constexpr char kCloseAdvice[] =
    "请先保存并关闭所有VelkoTarn工作台窗口，然后点击“重新检测”；如果仍然提示，请退出更新助手后重新打开。";

// The process list can name a process that ends before its image path is read; such a candidate is
// skipped. It is opened exactly as the search opens it.
TEST(FindRunningProcess, CandidateThatEndedBeforeItsPathWasReadIsSkipped) {
  ScopedTempDir dir;
  const std::string executable = dir.join("VelkoTarn工作台.exe");
  copy_stand_in(executable);
  RunningStandIn running(executable);
  running.end();
  const win::unique_handle process = open_listed_process(running.id());
  ASSERT_TRUE(process) << ::GetLastError();
  const auto outcome = judge_unreadable_candidate(process.get(), running.id(), ERROR_GEN_FAILURE);
  ASSERT_TRUE(outcome) << outcome.error();
  EXPECT_EQ(*outcome, CandidateOutcome::Ended);
}

// The same failure on a live process is not a skip: the text names its PID and the query's code.
TEST(FindRunningProcess, LiveCandidateWhosePathCannotBeReadIsAnError) {
  ScopedTempDir dir;
  const std::string executable = dir.join("VelkoTarn工作台.exe");
  copy_stand_in(executable);
  RunningStandIn running(executable);
  const win::unique_handle process = open_listed_process(running.id());
  ASSERT_TRUE(process) << ::GetLastError();
  const auto outcome = judge_unreadable_candidate(process.get(), running.id(), ERROR_GEN_FAILURE);
  ASSERT_FALSE(outcome);
  EXPECT_EQ(outcome.error(), "无法读取正在运行的工作台路径（PID " + std::to_string(running.id()) + "，错误码 31）。" +
                                 kCloseAdvice);
}

// A candidate this program may not open stops the search; the text names its PID and code 5.
TEST(FindRunningProcess, CandidateThatCannotBeOpenedIsAnError) {
  ScopedTempDir dir;
  const std::string executable = dir.join("VelkoTarn工作台.exe");
  copy_stand_in(executable);
  RunningStandIn running(executable);
  ACL empty{};
  ASSERT_TRUE(::InitializeAcl(&empty, sizeof empty, ACL_REVISION));
  ASSERT_EQ(::SetSecurityInfo(running.process(), SE_KERNEL_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, &empty,
                              nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(outcome(find_running_process(executable)),
            "error: 无法检查正在运行的工作台进程（PID " + std::to_string(running.id()) + "，错误码 5）。" + kCloseAdvice);
  const auto running_result = is_workbench_running(dir.path());
  ASSERT_FALSE(running_result);
  EXPECT_EQ(running_result.error(),
            "无法检查正在运行的工作台进程（PID " + std::to_string(running.id()) + "，错误码 5）。" + kCloseAdvice);
}

TEST(IsWorkbenchRunning, PassesTheCallersErrorOn) {
  const auto result = is_workbench_running(std::unexpected(std::string("安装目录不可用。")));
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), "安装目录不可用。");
}

TEST(IsWorkbenchRunning, NothingRunsInAFreshFolder) {
  ScopedTempDir dir;
  EXPECT_EQ(is_workbench_running(dir.path()), false);
}

}  // namespace
}  // namespace velko
