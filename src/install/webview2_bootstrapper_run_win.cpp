#include "install/webview2_bootstrapper.h"

#include <windows.h>

#include "common/failure.h"
#include "common/utf.h"
#include "install/installation_plan.h"
#include "win/child_process.h"
#include "win/file_digest.h"
#include "win/os_error.h"

namespace velko {

std::expected<void, std::string> run_webview2_bootstrapper(const std::string& program,
                                                           const std::vector<std::string>& arguments,
                                                           const std::optional<std::string>& expectedSha256) {
  constexpr char kStartFailure[] = "启动安装程序失败：";
  win::ProcessLaunch launch;
  launch.program = program;
  launch.arguments = arguments;
  std::expected<win::ChildProcess, std::string> child;
  if (expectedSha256) {
    const auto check = [&](HANDLE file) -> std::expected<void, std::string> {
      auto digest = win::sha256_of_open_file(file);
      if (!digest) return fail(digest.error());
      if (digest->size() != expectedSha256->size() || !equal_ignoring_ascii_case(*digest, *expectedSha256)) {
        return fail(kWrittenBootstrapperMismatchText);
      }
      return {};
    };
    child = win::start_checked_program(launch, check, kStartFailure, kStartFailure);
  } else if (auto started = win::start_process(launch)) {
    child = std::move(*started);
  } else {
    child = fail(kStartFailure + started.error());
  }
  if (!child) return fail(child.error());
  auto exitCode = win::wait_for_exit(*child);
  if (!exitCode) return fail("等待安装程序结束失败：" + win::os_error_text(exitCode.error()));
  return check_installer_exit(static_cast<std::int32_t>(*exitCode), kInstallerLabel);
}

}  // namespace velko
