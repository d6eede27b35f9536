#pragma once

#include <expected>
#include <string>

namespace velko {

// The folder of an installation that holds the deployed launcher, and the launcher's name.
inline constexpr char kRuntimeComponentFolderName[] = "运行组件";
inline constexpr char kLauncherFileName[] = "VelkoTarn工作台启动器.exe";

// Whether only administrators can change what an elevated start from `directory` trusts: the
// folder itself, and those of its "运行组件" folder, the launcher, the workbench program and its
// manifest that exist, and `program` (which must exist) when one is given; and nobody else can
// rename or replace any folder on the way to it. Nothing is looked at for a path that is not on a
// local drive (false). "检查安装目录权限失败：{error}" when a permission cannot be read. Any thread.
std::expected<bool, std::string> is_private_installation(const std::string& directory, const std::string& program);

}  // namespace velko
