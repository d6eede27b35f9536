#include "support/product_process.h"

#include <gtest/gtest.h>

#include <thread>

#include "detect/running_workbench.h"
#include "support/paths.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::test {
namespace {

struct WindowSearch {
  std::uint32_t processId;
  const wchar_t* className;
  HWND found = nullptr;
};

BOOL CALLBACK match_window(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !::IsWindowVisible(window)) return TRUE;
  wchar_t name[256] = {};
  ::GetClassNameW(window, name, 256);
  if (search->className != nullptr && std::wstring(name) != search->className) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

win::ChildProcess start_program(const std::string& program, const std::vector<std::string>& arguments,
                                DWORD creationFlags) {
  // The product as a user starts it, with the tests' environment (hooks, a private ProgramData).
  win::ProcessLaunch launch{program, arguments, std::nullopt, creationFlags};
  launch.inheritEnvironment = true;
  auto child = win::start_process(launch);
  if (!child) {
    ADD_FAILURE() << "cannot start " << program << ": error " << child.error();
    return {};
  }
  return std::move(*child);
}

win::ChildProcess start_product(const std::vector<std::string>& arguments) {
  return start_program(win::narrow(built_program(L"VelkoTarnOnlineInstaller.exe")), arguments);
}

std::optional<HWND> visible_window_of(std::uint32_t processId, const wchar_t* className) {
  WindowSearch search{processId, className};
  ::EnumWindows(match_window, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) return std::nullopt;
  return search.found;
}

std::optional<HWND> wait_for_window(std::uint32_t processId, const wchar_t* className,
                                    std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  do {
    if (auto window = visible_window_of(processId, className)) return window;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

std::string window_title(HWND window) {
  wchar_t title[512] = {};
  ::GetWindowTextW(window, title, 512);
  return win::narrow(title);
}

SIZE client_size(HWND window) {
  RECT client{};
  ::GetClientRect(window, &client);
  return {client.right - client.left, client.bottom - client.top};
}

std::optional<std::uint32_t> wait_for_exit(const win::ChildProcess& child, std::chrono::milliseconds limit) {
  if (::WaitForSingleObject(child.process.get(), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(child.process.get(), &code);
  return code;
}

void end_processes_started_from(const std::string& image) {
  for (int i = 0; i < 10; ++i) {
    const auto found = find_running_process(image);
    if (!found || !*found) return;
    win::unique_handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, **found));
    if (!process) return;
    ::TerminateProcess(process.get(), 0);
    ::WaitForSingleObject(process.get(), 5000);
  }
}

}  // namespace velko::test
