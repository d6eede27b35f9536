#include "win/data_folder.h"

#include <windows.h>
#include <shlobj.h>

#include "build_config.h"
#include "common/win_path.h"
#include "win/directories.h"
#include "win/environment.h"
#include "win/file_identity.h"
#include "win/folder_security.h"
#include "win/os_error.h"
#include "win/shell_library.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::win {
namespace {

// Anyone may create folders in ProgramData, so a data folder that we find may have been made (or
// changed) by a user who wants an administrator to run his files; one that is not wholly ours is
// moved out of the way, with everything in it, and never read. A name that someone re-creates at
// once after each move ends the settling with a failure after these rounds.
constexpr unsigned kSettleRounds = 3;

// A link or junction where a folder of ours belongs would send our files wherever it points: it
// is removed (the link only, never its target) so that a real folder can take its place.
std::expected<void, std::uint32_t> remove_link(const std::string& path) {
  const std::wstring widePath = win::wide(path);
  const DWORD attributes = ::GetFileAttributesW(widePath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return {};
  const BOOL removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? ::RemoveDirectoryW(widePath.c_str())
                                                                     : ::DeleteFileW(widePath.c_str());
  if (!removed) return std::unexpected(last_error());
  return {};
}

std::expected<void, std::uint32_t> real_folder(const std::string& path) {
  if (auto removed = remove_link(path); !removed) return removed;
  return win::create_directories(path);
}

// The data folder when it exists and is wholly ours; a folder that is not is set aside first.
// With `create`, a missing folder is made with the secure descriptor in the creating call.
std::expected<std::optional<std::string>, std::uint32_t> settle_data_folder(bool create) {
  const std::string folder = installer_data_folder();
  // Someone may put a folder in the name between our look and our creation: judge it again.
  for (unsigned round = 0; round < kSettleRounds; ++round) {
    if (win::path_exists(folder)) {
      const auto plain = win::is_plain_directory(folder);
      if (!plain) return std::unexpected(plain.error());
      if (*plain) {
        // A folder that is in use is reported, not moved: it may be another copy's. One that cannot
        // be judged (its descriptor denied to us) is someone else's and moves.
        const auto trusted = win::is_trusted_tree(folder);
        if (!trusted) return std::unexpected(trusted.error());
        if (*trusted) {
          // Readers only look; whoever is about to write there puts the descriptors right again.
          if (!create) return folder;
          if (auto secured = win::secure_admin_folder(folder); !secured) return std::unexpected(secured.error());
          return folder;
        }
      } else if (auto removed = remove_link(folder); !removed) {
        // A link holds nothing of anyone's: only the link goes, never what it points to.
        return std::unexpected(removed.error());
      }
      if (win::path_exists(folder)) {
        if (auto moved = win::set_aside_folder(folder, win::local_date_text()); !moved) {
          return std::unexpected(moved.error());
        }
      }
    }
    if (!create) return std::nullopt;
    if (const auto parent = path_parent(folder)) {
      if (auto made = win::create_directories(*parent); !made) return std::unexpected(made.error());
    }
    auto made = win::create_secure_folder(folder);
    if (made) return folder;
    if (made.error() != ERROR_ALREADY_EXISTS) return std::unexpected(made.error());
  }
  return std::unexpected(static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS));
}

}  // namespace

std::string program_data_folder() {
  // From the system, never from %ProgramData%: an elevated process gets the user's own variables,
  // and he could name a folder of his there.
  if constexpr (build::kTestBuild) {
    if (auto redirected = win::environment_value(L"VELKO_TEST_PROGRAM_DATA")) return *redirected;
  }
  if (auto folder = known_folder_path(FOLDERID_ProgramData, KF_FLAG_DONT_VERIFY)) {
    if (is_local_drive_path(*folder)) return std::move(*folder);
  }
  // On the system's own drive: on any other drive an ordinary user may have made the folder.
  const std::string windows = system_windows_folder();
  const std::string drive = windows.size() >= 3 && is_local_drive_path(windows) ? windows.substr(0, 3) : "C:\\";
  return drive + "ProgramData";
}

std::string installer_data_folder() { return path_join(program_data_folder(), kInstallerDataFolderName); }

std::expected<std::string, std::string> prepare_installer_data_folder() {
  auto folder = settle_data_folder(true);
  if (!folder) return std::unexpected(win::os_error_text(folder.error()));
  return std::move(**folder);
}

std::optional<std::string> trusted_installer_data_folder() {
  auto folder = settle_data_folder(false);
  if (!folder) return std::nullopt;
  return std::move(*folder);
}

std::expected<std::string, std::string> downloads_folder() {
  const auto data = prepare_installer_data_folder();
  if (!data) return std::unexpected("创建下载目录失败：" + data.error());
  const std::string folder = path_join(*data, kDownloadsFolderName);
  if (auto made = real_folder(folder); !made) return os_failure("创建下载目录失败：", made.error());
  return folder;
}

}  // namespace velko::win
