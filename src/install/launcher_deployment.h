#pragma once

#include <expected>
#include <string>

namespace velko {

// Runs "attrib.exe" "+H" {path} hidden and waits for it.
std::expected<void, std::string> hide_path(const std::string& path);

// Deploys the launcher of a valid installation in `installDirectory`: the hidden "运行组件"
// folder holding a verified copy of the running program (unless this program is that
// launcher), an older launcher in the directory itself hidden, and the desktop shortcut
// "Velko Tarn 工作台.lnk" rewritten and marked to run elevated. The launcher's path.
// Any thread; initialises COM (single-threaded apartment) on it for the shortcut work only.
std::expected<std::string, std::string> deploy_launcher(const std::string& installDirectory);

}  // namespace velko
