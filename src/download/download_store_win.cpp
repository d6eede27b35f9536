#include "download/download_store.h"

#include <windows.h>

#include "win/directories.h"
#include "win/os_error.h"
#include "win/temporary_file.h"
#include "win/wide.h"

namespace velko {

std::expected<void, std::string> move_open_file_into_place(void* file, const std::string& to) {
  if (win::path_exists(to) && !::DeleteFileW(win::wide(to).c_str())) {
    return win::os_failure("替换旧下载文件失败：", win::last_error());
  }
  if (auto renamed = win::rename_open_file(file, to, false); !renamed) {
    return win::os_failure("保存下载文件失败：", renamed.error());
  }
  return {};
}

std::expected<void, std::string> move_into_place(const std::string& from, const std::string& to) {
  const std::wstring target = win::wide(to);
  if (win::path_exists(to)) {
    if (!::DeleteFileW(target.c_str())) return win::os_failure("替换旧下载文件失败：", win::last_error());
  }
  if (!::MoveFileExW(win::wide(from).c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return win::os_failure("保存下载文件失败：", win::last_error());
  }
  return {};
}

}  // namespace velko
