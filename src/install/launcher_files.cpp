#include "install/launcher_files.h"

#include <cstdint>

#include "common/path_extension.h"
#include "common/win_path.h"

namespace velko {

LauncherPaths launcher_paths(std::string_view installDirectory) {
  LauncherPaths paths;
  paths.folder = path_join(installDirectory, kRuntimeComponentFolderName);
  paths.launcher = path_join(paths.folder, kLauncherFileName);
  paths.temporary = replace_extension(paths.launcher, "exe.part");
  paths.backup = replace_extension(paths.launcher, "exe.velko-launcher-backup");
  paths.olderLauncher = path_join(installDirectory, kLauncherFileName);
  return paths;
}

std::string attrib_exit_text(std::uint32_t exitCode) {
  return "隐藏工作台运行组件失败，attrib 退出码：" + std::to_string(static_cast<std::int32_t>(exitCode));
}

std::string launcher_replace_failure_text(std::string_view renameError, const std::string* restoreError) {
  std::string text = "更新工作台启动器失败：" + std::string(renameError);
  if (restoreError != nullptr) text += "；恢复旧启动器也失败：" + *restoreError;
  return text;
}

std::expected<void, std::string> mark_run_as_user(std::string& linkBytes) {
  if (linkBytes.size() <= kRunAsUserByte) return std::unexpected(std::string("桌面启动入口文件不完整。"));
  linkBytes[kRunAsUserByte] = static_cast<char>(static_cast<unsigned char>(linkBytes[kRunAsUserByte]) | kRunAsUserBit);
  return {};
}

}  // namespace velko
