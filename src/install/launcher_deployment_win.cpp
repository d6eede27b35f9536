#include "install/launcher_deployment.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <shlwapi.h>

#include <cstdint>
#include <span>
#include <vector>

#include "build_config.h"
#include "common/digest_text.h"
#include "common/failure.h"
#include "common/win_path.h"
#include "detect/installed_workbench.h"
#include "install/launcher_files.h"
#include "win/child_process.h"
#include "win/com_apartment.h"
#include "win/directories.h"
#include "win/environment.h"
#include "win/file_digest.h"
#include "win/file_identity.h"
#include "win/folder_security.h"
#include "win/held_folder.h"
#include "win/module_path.h"
#include "win/os_error.h"
#include "win/own_image.h"
#include "win/sha256.h"
#include "win/shell_library.h"
#include "win/temporary_file.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

using Result = std::expected<void, std::string>;

// The system's attrib.exe. Test builds let a test name another program, since Wine's attrib
// never reports a failure.
std::string attrib_program() {
  if constexpr (build::kTestBuild) {
    if (auto program = win::environment_value(L"VELKO_TEST_ATTRIB_PROGRAM")) return *program;
  }
  return path_join(win::system_directory(), "attrib.exe");
}

bool rename_path(const std::string& from, const std::string& to) {
  return ::MoveFileExW(win::wide(from).c_str(), win::wide(to).c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
}

std::string com_failure(const char* prefix, HRESULT hr) {
  return std::string(prefix) + "，错误码 " + win::hresult_text(hr) + "。";
}

using LinkSetter = HRESULT (STDMETHODCALLTYPE IShellLinkW::*)(LPCWSTR);

Result set_link_text(IShellLinkW* link, LinkSetter setter, const std::string& text, const char* label) {
  const std::wstring value = win::wide(text);
  const HRESULT hr = (link->*setter)(value.c_str());
  if (FAILED(hr)) return fail(std::string(label) + "失败，错误码 " + win::hresult_text(hr) + "。");
  return {};
}

// The user's desktop as the system records it (never from the environment, which the user
// sets), opened as itself from its drive's root: a link anywhere on the way is refused, and the
// handle stays this folder whatever its path names by the time the shortcut is written.
std::expected<win::unique_file, std::string> open_desktop_folder() {
  const auto desktop = win::known_folder_path(FOLDERID_Desktop, 0);
  if (!desktop) return fail(com_failure("没有找到当前用户桌面目录", desktop.error()));
  auto folder = win::open_folder_without_links(*desktop);
  if (!folder) return fail(kDesktopUnusableText);
  return std::move(*folder);
}

// The shortcut's whole content, made by the shell in memory with the run-as-administrator flag
// set there: nothing is saved to the user's desktop by path or read back from it.
std::expected<std::string, std::string> shortcut_bytes(const std::string& launcher, const std::string& installDirectory,
                                                       const std::string& workbench) {
  // For the shortcut work only.
  win::ComApartment apartment;
  if (FAILED(apartment.result())) return fail(com_failure("Windows 快捷方式服务初始化失败", apartment.result()));
  // Released before the apartment goes away.
  win::com_ptr<IShellLinkW> link;
  HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void());
  if (FAILED(hr) || !link) return fail(com_failure("Windows 快捷方式对象创建失败", hr));
  if (auto set = set_link_text(link.get(), &IShellLinkW::SetPath, launcher, "设置启动程序"); !set) {
    return fail(set.error());
  }
  if (auto set = set_link_text(link.get(), &IShellLinkW::SetArguments, kLaunchMainArgument, "设置启动参数"); !set) {
    return fail(set.error());
  }
  if (auto set = set_link_text(link.get(), &IShellLinkW::SetWorkingDirectory, installDirectory, "设置工作目录"); !set) {
    return fail(set.error());
  }
  hr = link->SetIconLocation(win::wide(workbench).c_str(), 0);
  if (FAILED(hr)) return fail(com_failure("设置快捷方式图标失败", hr));
  win::com_ptr<IShellLinkDataList> data;
  hr = link.query(data);
  if (FAILED(hr) || !data) return fail(com_failure("快捷方式保存接口获取失败", hr));
  DWORD flags = 0;
  hr = data->GetFlags(&flags);
  if (SUCCEEDED(hr)) hr = data->SetFlags(flags | SLDF_RUNAS_USER);
  if (FAILED(hr)) return fail(com_failure("设置桌面启动入口权限失败", hr));
  win::com_ptr<IPersistStream> persist;
  hr = link.query(persist);
  if (FAILED(hr) || !persist) return fail(com_failure("快捷方式保存接口获取失败", hr));
  win::com_ptr<IStream> stream;
  *stream.put() = win::new_memory_stream();
  if (!stream) return fail(com_failure("保存桌面快捷方式失败", E_OUTOFMEMORY));
  hr = persist->Save(stream.get(), TRUE);
  if (FAILED(hr)) return fail(com_failure("保存桌面快捷方式失败", hr));
  STATSTG stat{};
  hr = stream->Stat(&stat, STATFLAG_NONAME);
  if (SUCCEEDED(hr) && stat.cbSize.QuadPart > win::kWholeFileLimit) hr = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
  if (SUCCEEDED(hr)) hr = stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  std::string bytes(SUCCEEDED(hr) ? static_cast<std::size_t>(stat.cbSize.QuadPart) : 0, '\0');
  ULONG read = 0;
  if (SUCCEEDED(hr)) hr = stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
  if (FAILED(hr) || read != bytes.size()) return fail(com_failure("保存桌面快捷方式失败", FAILED(hr) ? hr : E_FAIL));
  // A shell that keeps the flag out of what it writes still gets it in the header.
  if (auto marked = mark_run_as_user(bytes); !marked) return fail(marked.error());
  return bytes;
}

// Written once, relative to the held desktop folder: a link that the user put at the
// shortcut's name is replaced as itself, never written through.
Result write_shortcut(HANDLE desktop, const std::string& bytes) {
  const auto written = win::replace_file_in_folder(
      desktop, kDesktopShortcutName, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  if (!written) return fail("保存桌面快捷方式失败：" + win::os_error_text(written.error()));
  return {};
}

// Copies the running program's held file from its first byte into `copy`; the SHA-256 of the
// bytes read. Reads give their offset: other threads may read the same handle.
std::expected<std::string, std::string> copy_own_image(HANDLE image, win::TemporaryFile& copy) {
  auto hash = win::Sha256::create();
  if (!hash) return fail("计算 SHA256 失败：" + win::os_error_text(hash.error()));
  std::vector<std::uint8_t> buffer(1 << 20);
  std::uint64_t offset = 0;
  for (;;) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    if (!::ReadFile(image, buffer.data(), static_cast<DWORD>(buffer.size()), &read, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      return fail("复制工作台启动器失败：" + win::last_error_text());
    }
    if (read == 0) break;
    const std::span<const std::uint8_t> bytes(buffer.data(), read);
    if (auto fed = hash->update(bytes); !fed) return fail("计算 SHA256 失败：" + win::os_error_text(fed.error()));
    if (auto written = copy.write(bytes); !written) {
      return fail("复制工作台启动器失败：" + win::os_error_text(written.error()));
    }
    offset += read;
  }
  auto digest = hash->finish();
  if (!digest) return fail("计算 SHA256 失败：" + win::os_error_text(digest.error()));
  return digest_text(*digest);
}

// Puts a verified copy of the running program at paths.launcher, read from the program's own
// held file (its path may name another file by now). The copy is written, checked and renamed
// through one handle that nobody shares, so a second deployment at the same time fails at once
// and nothing can change the copy between the check and the rename. An old launcher is kept as
// the backup until the new one has its name, and put back when that fails.
Result replace_launcher(const LauncherPaths& paths) {
  const auto parent = path_parent(paths.launcher);
  if (!parent) return fail("工作台启动器目标目录无效。");
  if (auto created = win::create_directories(*parent); !created) {
    return fail("创建工作台启动器目录失败：" + win::os_error_text(created.error()));
  }
  // A backup means an earlier replacement stopped half-way; the user has to look at it.
  if (win::path_exists(paths.backup)) return fail(kLeftoverBackupText);
  if (auto removed = win::TemporaryFile::remove_leftover(paths.temporary); !removed) {
    if (win::in_use_by_another(removed.error())) return fail(kLauncherBusyText);
    if (removed.error() == ERROR_CANT_RESOLVE_FILENAME) return fail(kTemporaryNotPlainText);
    return fail("清理启动器临时文件失败：" + win::os_error_text(removed.error()));
  }
  const auto image = win::own_image_file();
  if (!image) return fail("复制工作台启动器失败：" + image.error());
  auto copy = win::TemporaryFile::create(paths.temporary);
  if (!copy) {
    if (win::in_use_by_another(copy.error())) return fail(kLauncherBusyText);
    return fail("复制工作台启动器失败：" + win::os_error_text(copy.error()));
  }
  auto programDigest = copy_own_image(*image, *copy);
  if (!programDigest) return fail(programDigest.error());
  if (auto flushed = copy->flush(); !flushed) {
    return fail("保存工作台启动器失败：" + win::os_error_text(flushed.error()));
  }
  auto copyDigest = win::sha256_of_open_file(copy->handle());
  if (!copyDigest) return fail(copyDigest.error());
  // A copy that differs is deleted when `copy` goes away.
  if (*programDigest != *copyDigest) return fail(kLauncherCopyMismatchText);

  if (!win::path_exists(paths.launcher)) {
    if (auto renamed = copy->rename_to(paths.launcher, false); !renamed) {
      return fail("更新工作台启动器失败：" + win::os_error_text(renamed.error()));
    }
    return {};
  }
  if (!rename_path(paths.launcher, paths.backup)) return fail("备份旧工作台启动器失败：" + win::last_error_text());
  if (auto renamed = copy->rename_to(paths.launcher, false); !renamed) {
    const std::string error = win::os_error_text(renamed.error());
    if (rename_path(paths.backup, paths.launcher)) return fail(launcher_replace_failure_text(error, nullptr));
    const std::string restoreError = win::last_error_text();
    return fail(launcher_replace_failure_text(error, &restoreError));
  }
  if (!::DeleteFileW(win::wide(paths.backup).c_str())) return fail("清理旧启动器备份失败：" + win::last_error_text());
  return {};
}

}  // namespace

std::expected<void, std::string> hide_path(const std::string& path) {
  win::ProcessLaunch launch;
  launch.program = attrib_program();
  launch.arguments = {"+H", path};
  auto child = win::start_process(launch);
  if (!child) return fail("隐藏工作台运行组件失败：" + child.error());
  auto exitCode = win::wait_for_exit(*child);
  if (!exitCode) return fail("隐藏工作台运行组件失败：" + win::os_error_text(exitCode.error()));
  if (*exitCode != 0) return fail(attrib_exit_text(*exitCode));
  return {};
}

std::expected<std::string, std::string> deploy_launcher(const std::string& installDirectory) {
  auto workbench = workbench_executable(installDirectory);
  if (!workbench) return fail(workbench.error());
  const LauncherPaths paths = launcher_paths(installDirectory);

  // Made with the admin-only descriptor in the creating call, whatever the install directory
  // would hand down: the launcher that runs elevated from it must not be replaceable.
  if (!win::path_exists(paths.folder)) {
    if (auto created = win::create_secure_folder(paths.folder); !created && created.error() != ERROR_ALREADY_EXISTS) {
      return fail("创建工作台运行组件目录失败：" + win::os_error_text(created.error()));
    }
  }
  if (const auto plain = win::is_plain_directory(paths.folder); !plain || !*plain) {
    return fail("创建工作台运行组件目录失败：" + win::os_error_text(plain ? ERROR_DIRECTORY : plain.error()));
  }
  if (auto hidden = hide_path(paths.folder); !hidden) return fail(hidden.error());

  const auto program = win::own_executable_path();
  if (!program) return fail("读取启动器路径失败：" + win::last_error_text());
  // Started as the deployed launcher itself: it cannot replace its own file, and needs not.
  if (!win::same_path(*program, paths.launcher)) {
    if (auto replaced = replace_launcher(paths); !replaced) return fail(replaced.error());
  }

  if (win::path_exists(paths.olderLauncher)) {
    if (!win::is_plain_file(paths.olderLauncher)) return fail(kOlderLauncherNotPlainText);
    if (auto hidden = hide_path(paths.olderLauncher); !hidden) return fail(hidden.error());
  }

  auto desktop = open_desktop_folder();
  if (!desktop) return fail(desktop.error());
  auto bytes = shortcut_bytes(paths.launcher, installDirectory, *workbench);
  if (!bytes) return fail(bytes.error());
  if (auto written = write_shortcut(desktop->get(), *bytes); !written) return fail(written.error());
  return paths.launcher;
}

}  // namespace velko
