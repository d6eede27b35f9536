#pragma once

#include <chrono>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <vector>

#include "model/component_kind.h"

namespace velko {

inline constexpr char kWorkbenchStillRunningText[] = "VelkoTarn工作台仍在退出，请稍候重新检测后继续更新。";
inline constexpr char kCarriedBootstrapperCorruptText[] = "内置的微软 WebView2 Evergreen 引导器校验失败，已停止安装。";
inline constexpr char kWrittenBootstrapperMismatchText[] = "WebView2 Evergreen 引导器 SHA256 校验失败，文件不会执行。";
inline constexpr char kBootstrapperReadyText[] = "微软 WebView2 Evergreen 引导器已准备完成。";
inline constexpr char kWebView2StepText[] = "正在联网安装微软 WebView2 Evergreen 运行环境，请勿关闭。";
inline constexpr char kWebView2NotDetectedText[] =
    "微软 WebView2 安装服务已经结束，但未检测到完整运行环境，已停止打开 IDE 安装程序。";
inline constexpr char kInstallerLabel[] = "安装程序";
// An existing install folder that others could have changed, holding files that are not the
// product's own installation: they are the user's business and stay as they are.
inline constexpr char kSharedInstallFolderText[] = "所选目录可被其他用户修改且已有其他文件，请选择其他目录。";
// A folder above the install directory lets others rename or replace what is in it: they could
// put their own tree where the installation's path leads.
inline constexpr char kMovableInstallFolderText[] = "所选目录的上级目录可被其他用户改名，请选择其他目录。";
// A share, a device or a network drive: looking at it would hand the administrator's
// credentials to its host.
inline constexpr char kNonLocalInstallFolderText[] = "安装目录必须位于本机磁盘，请选择其他目录。";
// A junction or symbolic link where the folder should be: it leads wherever its owner wants.
inline constexpr char kLinkInstallFolderText[] = "所选安装目录是一个链接，请选择其他目录。";
inline constexpr char kSetAsideFailedPrefix[] = "移开不安全的安装目录失败：";
inline constexpr char kBootstrapperPartExtension[] = "exe.part";

// How long the runtime may take to appear after its bootstrapper exited, and the pause
// between two looks.
inline constexpr std::chrono::seconds kWebView2DetectionLimit{600};
inline constexpr std::chrono::seconds kWebView2DetectionPeriod{2};

// The components a run installs, in the order it installs them: every installable one that
// is not present, in table order (the WebView2 runtime before the workbench). May be empty.
std::vector<ComponentKind> plan_installation(const ComponentStatuses& statuses);

// 0, 1641 (restart started), 3010 (restart required) and 0x00240006 (already installed).
bool is_accepted_installer_exit(std::int32_t exitCode);
// Success for an accepted code, else "{label}执行失败，错误码 {code}。" with the code signed.
std::expected<void, std::string> check_installer_exit(std::int32_t exitCode, std::string_view label);

// "正在{安装|更新}VelkoTarn工作台到 {directory}。"
std::string workbench_step_text(bool update, std::string_view installDirectory);
// "{short name} 下载结果丢失，已停止安装。"
std::string missing_staged_files_text(std::string_view componentName);

// Has the WebView2 wait run out? Checked after every look that did not find the runtime.
inline bool webview2_wait_expired(std::chrono::steady_clock::duration sinceInstallerExit) {
  return sinceInstallerExit >= kWebView2DetectionLimit;
}

}  // namespace velko
