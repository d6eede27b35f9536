#pragma once

#include <expected>
#include <string>

namespace velko {

// Makes the install directory a folder that only administrators can change before anything is
// put into it. A missing folder is created with the secure descriptor in the creating call
// (missing parents are created plainly). An existing folder that someone else may change is
// taken over with the secure descriptor when it is empty or holds a workbench installation,
// and refused with kSharedInstallFolderText otherwise. A directory below a folder that lets
// others rename or replace its children is refused with kMovableInstallFolderText. Installation
// worker.
std::expected<void, std::string> prepare_install_directory(const std::string& directory);

// Whether only administrators (and this process's own user) can change what an elevated start
// of `program` trusts: the install directory, its "运行组件" folder when it exists, and the
// program itself (none when `program` is empty); and nobody else can rename or replace any
// folder on the way to it. "检查安装目录权限失败：{error}" when a
// permission cannot be read. Any thread.
std::expected<bool, std::string> is_private_installation(const std::string& directory, const std::string& program);

}  // namespace velko
