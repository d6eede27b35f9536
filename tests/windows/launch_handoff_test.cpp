// The launch hand-off with real processes: the workbench is a copy of this test program that
// plays the part the environment gives it (see play_workbench below).
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <thread>

#include "common/command_line.h"
#include "install/install_directory.h"
#include "launch/launch_handoff.h"
#include "model/event_channel.h"
#include "support/child_role.h"
#include "support/installation_fixture.h"
#include "support/links.h"
#include "support/paths.h"
#include "support/product_process.h"
#include "support/scoped_temp_dir.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::test {
namespace {

using namespace std::chrono_literals;

constexpr char kRoleVariable[] = "VELKO_TEST_WORKBENCH_ROLE";
constexpr char kRecordVariable[] = "VELKO_TEST_WORKBENCH_RECORD";

// Appends one line: the command line's arguments after the program, and the working directory.
void record_start() {
  const std::string record = environment_text(kRecordVariable);
  if (record.empty()) return;
  auto arguments = split_command_line(win::narrow(::GetCommandLineW()));
  std::string line;
  for (std::size_t i = 1; i < arguments.size(); ++i) line += arguments[i] + "|";
  wchar_t directory[MAX_PATH * 4] = {};
  ::GetCurrentDirectoryW(MAX_PATH * 4, directory);
  line += "cwd=" + win::narrow(directory) + "\n";
  win::unique_file file(::CreateFileW(win::wide(record).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void run_window(bool visible) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ::DefWindowProcW;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"VelkoWorkbenchStandInTest";
  ::RegisterClassW(&windowClass);
  HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"工作台", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
  if (visible) ::ShowWindow(window, SW_SHOW);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
}

// The workbench part, in a copy of this program: what it does is named by kRoleVariable.
int play_workbench() {
  const std::string role = environment_text(kRoleVariable);
  record_start();
  if (role == "window") run_window(true);
  if (role == "hidden") run_window(false);
  if (role == "exit3") {
    std::this_thread::sleep_for(300ms);
    return 3;
  }
  return 0;
}
[[maybe_unused]] const bool kWorkbenchRegistered = register_child_role("workbench", play_workbench);

std::vector<std::uint32_t> processes_of(const std::string& fileName) {
  std::vector<std::uint32_t> ids;
  win::unique_snapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
    if (win::narrow(entry.szExeFile) == fileName) ids.push_back(entry.th32ProcessID);
  }
  return ids;
}

void end_processes_of(const std::string& fileName) {
  for (std::uint32_t id : processes_of(fileName)) {
    win::unique_handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    if (!process) continue;
    ::TerminateProcess(process.get(), 0);
    ::WaitForSingleObject(process.get(), 5000);
  }
}

class LaunchHandoff : public ::testing::Test {
 protected:
  void SetUp() override {
    write_valid_installation(directory, "1.0.0", read_file(own_program_path()));
  }
  void TearDown() override {
    end_processes_of("VelkoTarn工作台.exe");
    end_processes_of("VelkoTarn工作台启动器.exe");
    ::DeleteFileW(win::wide(desktop_shortcut_path()).c_str());
  }

  WorkerEvent launch() {
    auto [sender, receiver] = make_event_channel();
    run_launch_handoff(directory, sender);
    auto events = drain_events(receiver);
    EXPECT_EQ(events.size(), 1u);
    return events.empty() ? WorkerEvent{} : events.front();
  }
  std::vector<std::string> records() {
    std::vector<std::string> lines;
    if (!file_exists(record)) return lines;
    const std::string text = read_file(record);
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      lines.push_back(text.substr(start, end - start));
    }
    return lines;
  }

  ScopedTempDir temp;
  ScopedEnvironment programData{"VELKO_TEST_PROGRAM_DATA", temp.join("ProgramData")};
  ScopedChildRole workbenchRole{"workbench"};
  std::string record = temp.join("starts.txt");
  ScopedEnvironment recordVariable{kRecordVariable, record};
  std::string directory = temp.join("VelkoTarn工作台");
};

TEST_F(LaunchHandoff, StartsTheWorkbenchAndSucceedsOnItsWindow) {
  ScopedEnvironment role{kRoleVariable, "window"};
  EXPECT_EQ(launch(), WorkerEvent::launch_succeeded());
  EXPECT_EQ(records(), std::vector<std::string>{"--main|cwd=" + directory});
  EXPECT_EQ(processes_of("VelkoTarn工作台.exe").size(), 1u);
}

TEST_F(LaunchHandoff, AlreadyRunningIsBroughtToTheFrontWithoutASecondProcess) {
  ScopedEnvironment role{kRoleVariable, "window"};
  auto running = start_program(directory + "\\VelkoTarn工作台.exe", {"--main"});
  ASSERT_TRUE(wait_for_window(running.id, nullptr, 30s));
  EXPECT_EQ(launch(), WorkerEvent::launch_succeeded());
  EXPECT_EQ(records().size(), 1u);
  EXPECT_EQ(processes_of("VelkoTarn工作台.exe"), std::vector<std::uint32_t>{running.id});
}

TEST_F(LaunchHandoff, AlreadyRunningWithoutAWindowStillSucceeds) {
  ScopedEnvironment role{kRoleVariable, "hidden"};
  auto running = start_program(directory + "\\VelkoTarn工作台.exe", {"--main"});
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(launch(), WorkerEvent::launch_succeeded());
  EXPECT_EQ(processes_of("VelkoTarn工作台.exe"), std::vector<std::uint32_t>{running.id});
}

TEST_F(LaunchHandoff, ExitBeforeAnyWindowIsReportedWithItsCode) {
  ScopedEnvironment role{kRoleVariable, "exit3"};
  EXPECT_EQ(launch(), WorkerEvent::launch_failed("VelkoTarn工作台尚未显示主窗口便已退出，错误码 3。"));
}

TEST_F(LaunchHandoff, HiddenWindowRunsIntoTheTimeLimitAndIsLeftRunning) {
  ScopedEnvironment role{kRoleVariable, "hidden"};
  ScopedEnvironment limit{"VELKO_TEST_LAUNCH_LIMIT_MS", "2000"};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(launch(), WorkerEvent::launch_failed("VelkoTarn工作台启动等待超时，请关闭此提示后重新尝试。"));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_EQ(processes_of("VelkoTarn工作台.exe").size(), 1u);
}

TEST_F(LaunchHandoff, MissingManifestStartsNothing) {
  ScopedEnvironment role{kRoleVariable, "window"};
  ::DeleteFileW(win::wide(directory + "\\install-manifest.json").c_str());
  EXPECT_EQ(launch(), WorkerEvent::launch_failed("工作台安装清单或主程序不完整，无法安全启动。"));
  EXPECT_TRUE(records().empty());
  EXPECT_TRUE(processes_of("VelkoTarn工作台.exe").empty());
}

TEST_F(LaunchHandoff, NothingIsStartedFromAnInstallationOthersCanChange) {
  ScopedEnvironment role{kRoleVariable, "window"};
  constexpr char kText[] = "安装目录权限不安全，请重新运行安装程序修复。";
  // Each on an installation of its own, so that one loosened entry is the only reason.
  int number = 0;
  for (const std::string entry : {"VelkoTarn工作台.exe", "运行组件", ""}) {
    directory = temp.join("安装" + std::to_string(++number));
    write_valid_installation(directory, "1.0.0", read_file(own_program_path()));
    make_directories(directory + "\\运行组件");
    let_everyone_change(entry.empty() ? directory : directory + "\\" + entry);
    EXPECT_EQ(launch(), WorkerEvent::launch_failed(kText)) << entry;
  }
  EXPECT_TRUE(records().empty());
  EXPECT_TRUE(processes_of("VelkoTarn工作台.exe").empty());
  // Opening the program from the installer refuses alike: only an installation (which moves the
  // folder aside and installs afresh) mends it.
  ScopedEnvironment recordRole{kRoleVariable, "record"};
  EXPECT_EQ(relaunch_after_update(directory).error(), kText);
  EXPECT_FALSE(file_exists(directory + "\\运行组件\\VelkoTarn工作台启动器.exe"));
  EXPECT_TRUE(records().empty());
}

TEST_F(LaunchHandoff, RelaunchPassesAnErrorOn) {
  EXPECT_EQ(relaunch_after_update(std::unexpected(std::string("没有找到工作台安装目录。"))).error(),
            "没有找到工作台安装目录。");
}

TEST_F(LaunchHandoff, RelaunchNeedsAnInstallation) {
  ::DeleteFileW(win::wide(directory + "\\install-manifest.json").c_str());
  EXPECT_EQ(relaunch_after_update(directory).error(), "没有检测到完整的 IDE 安装结果，无法打开程序。");
  EXPECT_FALSE(file_exists(directory + "\\运行组件"));
}

TEST_F(LaunchHandoff, RelaunchStartsTheDeployedLauncherWithThreeArguments) {
  ScopedEnvironment role{kRoleVariable, "record"};
  auto relaunched = relaunch_after_update(directory);
  ASSERT_TRUE(relaunched) << relaunched.error();
  const std::string launcher = directory + "\\运行组件\\VelkoTarn工作台启动器.exe";
  EXPECT_TRUE(read_file(launcher) == read_file(own_program_path()));
  for (int i = 0; i < 300 && records().empty(); ++i) std::this_thread::sleep_for(100ms);
  EXPECT_EQ(records(), std::vector<std::string>{"--wait-for-process|" + std::to_string(::GetCurrentProcessId()) +
                                                "|--launch-main|cwd=" + directory});
}

// The same with the workbench stand-in of tools/workbench.
TEST_F(LaunchHandoff, WorkbenchStandInShowingItsWindow) {
  write_valid_installation(directory, "1.0.0", read_file(win::narrow(built_program(L"VelkoTarn工作台.exe"))));
  ScopedEnvironment behaviour{"VELKO_STANDIN_WORKBENCH", "visible"};
  EXPECT_EQ(launch(), WorkerEvent::launch_succeeded());
  ASSERT_EQ(processes_of("VelkoTarn工作台.exe").size(), 1u);
  EXPECT_EQ(launch(), WorkerEvent::launch_succeeded());
  EXPECT_EQ(processes_of("VelkoTarn工作台.exe").size(), 1u);
}

TEST_F(LaunchHandoff, WorkbenchStandInExitingWithThree) {
  write_valid_installation(directory, "1.0.0", read_file(win::narrow(built_program(L"VelkoTarn工作台.exe"))));
  ScopedEnvironment behaviour{"VELKO_STANDIN_WORKBENCH", "exit:3"};
  EXPECT_EQ(launch(), WorkerEvent::launch_failed("VelkoTarn工作台尚未显示主窗口便已退出，错误码 3。"));
}

// The product itself in the launch role, started from the deployed launcher's place: start-up
// derives the install directory from there and its launch worker starts the workbench.
TEST_F(LaunchHandoff, ProductInTheLaunchRoleStartsTheWorkbench) {
  ScopedEnvironment role{kRoleVariable, "window"};
  const std::string launcher = directory + "\\运行组件\\VelkoTarn工作台启动器.exe";
  make_directories(directory + "\\运行组件");
  write_file(launcher, read_file(win::narrow(built_program(L"VelkoTarnOnlineInstaller.exe"))));
  auto product = start_program(launcher, {"--launch-main"});
  for (int i = 0; i < 300 && records().empty(); ++i) std::this_thread::sleep_for(100ms);
  EXPECT_EQ(records(), std::vector<std::string>{"--main|cwd=" + directory});
  const auto workbench = processes_of("VelkoTarn工作台.exe");
  ASSERT_EQ(workbench.size(), 1u);
  EXPECT_TRUE(wait_for_window(workbench.front(), nullptr, 30s));
  ::TerminateProcess(product.process.get(), 0);
}

}  // namespace
}  // namespace velko::test
