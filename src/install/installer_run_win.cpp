#include "install/installer_run.h"

#include <windows.h>

#include "common/utf.h"
#include "download/open_file_digest.h"
#include "install/installation_plan.h"
#include "win/child_process.h"
#include "win/os_error.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {

std::expected<void, std::string> run_installer(const std::string& program, const std::vector<std::string>& arguments,
                                               const std::optional<std::string>& expectedSha256) {
  win::unique_file sealed;
  if (expectedSha256) {
    // Read sharing only: the process can still map the image, nobody can change it meanwhile.
    sealed.reset(::CreateFileW(win::wide(program).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!sealed) return std::unexpected("启动安装程序失败：" + win::last_error_text());
    auto digest = sha256_of_open_file(sealed.get());
    if (!digest) return std::unexpected(digest.error());
    if (digest->size() != expectedSha256->size() || !equal_ignoring_ascii_case(*digest, *expectedSha256)) {
      return std::unexpected(std::string(kWrittenBootstrapperMismatchText));
    }
  }
  win::ProcessLaunch launch;
  launch.program = program;
  launch.arguments = arguments;
  auto child = win::start_process(launch);
  sealed.reset();
  if (!child) return std::unexpected("启动安装程序失败：" + win::os_error_text(child.error()));
  auto exitCode = win::wait_for_exit(*child);
  if (!exitCode) return std::unexpected("等待安装程序结束失败：" + win::os_error_text(exitCode.error()));
  return check_installer_exit(static_cast<std::int32_t>(*exitCode), kInstallerLabel);
}

}  // namespace velko
