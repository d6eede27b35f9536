#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

#include "detect/private_installation.h"

namespace velko {

inline constexpr char kDesktopShortcutName[] = "Velko Tarn 工作台.lnk";
// The launcher's arguments: start the workbench (launch role), and the process to wait for
// before doing so (the installer that hands over).
inline constexpr char kLaunchMainArgument[] = "--launch-main";
inline constexpr char kWaitForProcessArgument[] = "--wait-for-process";
inline constexpr char kLeftoverBackupText[] = "检测到未处理的启动器更新备份，已拒绝继续覆盖。";
inline constexpr char kLauncherBusyText[] = "另一个安装程序正在更新工作台启动器，请稍后重试。";
inline constexpr char kLauncherCopyMismatchText[] = "工作台启动器复制校验失败，未改写桌面入口。";
inline constexpr char kTemporaryNotPlainText[] = "启动器临时文件不是普通文件，已拒绝处理。";
inline constexpr char kOlderLauncherNotPlainText[] = "旧工作台启动器不是普通文件，已拒绝处理。";
inline constexpr char kDesktopUnusableText[] = "当前用户桌面目录不可用。";

// Where the launcher of an install directory D lives and what sits next to it.
struct LauncherPaths {
  std::string folder;          // D \ "运行组件" (hidden)
  std::string launcher;        // folder \ "VelkoTarn工作台启动器.exe"
  std::string temporary;       // the launcher with extension "exe.part"
  std::string backup;          // the launcher with extension "exe.velko-launcher-backup"
  std::string olderLauncher;   // D \ "VelkoTarn工作台启动器.exe", where earlier versions put it
};

LauncherPaths launcher_paths(std::string_view installDirectory);

// "隐藏工作台运行组件失败，attrib 退出码：{code}", the code in signed decimal.
std::string attrib_exit_text(std::uint32_t exitCode);

// The error of a failed replacement: the rename error alone when the old launcher was put
// back, otherwise both errors.
std::string launcher_replace_failure_text(std::string_view renameError, const std::string* restoreError);

// Offset of the shell-link header byte that holds the RunAsUser flag (LinkFlags 0x00002000,
// little-endian at offset 20), and the bit within it.
inline constexpr std::size_t kRunAsUserByte = 21;
inline constexpr unsigned char kRunAsUserBit = 0x20;

// Sets the RunAsUser flag in the bytes of a saved shell link and leaves every other byte
// alone; "桌面启动入口文件不完整。" when the header is too short to hold it.
std::expected<void, std::string> mark_run_as_user(std::string& linkBytes);

}  // namespace velko
