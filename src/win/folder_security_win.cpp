#include "win/folder_security.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <functional>
#include <vector>

#include "build_config.h"
#include "common/folder_trust.h"
#include "common/win_path.h"
#include "win/directories.h"
#include "win/environment.h"
#include "win/os_error.h"
#include "win/security_descriptor.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::win {
namespace {

// Names tried when moving a folder aside before giving up: each attempt that finds its name taken
// tries the next number.
constexpr unsigned kSetAsideAttempts = 64;

using unique_security_descriptor = unique_hlocal<PSECURITY_DESCRIPTOR>;

constexpr DWORD kReadSecurity = READ_CONTROL;
constexpr DWORD kWriteSecurity = READ_CONTROL | WRITE_DAC | WRITE_OWNER;

std::expected<void, std::uint32_t> apply(HANDLE object, const wchar_t* sddl, bool isProtected) {
  unique_security_descriptor descriptor;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor.put(), nullptr)) {
    return std::unexpected(static_cast<std::uint32_t>(::GetLastError()));
  }
  PSID owner = nullptr;
  BOOL ownerDefaulted = FALSE;
  PACL dacl = nullptr;
  BOOL daclPresent = FALSE;
  BOOL daclDefaulted = FALSE;
  if (!::GetSecurityDescriptorOwner(descriptor.get(), &owner, &ownerDefaulted) ||
      !::GetSecurityDescriptorDacl(descriptor.get(), &daclPresent, &dacl, &daclDefaulted)) {
    return std::unexpected(static_cast<std::uint32_t>(::GetLastError()));
  }
  const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                    (isProtected ? PROTECTED_DACL_SECURITY_INFORMATION
                                                 : UNPROTECTED_DACL_SECURITY_INFORMATION);
  const DWORD result = ::SetSecurityInfo(object, SE_FILE_OBJECT, what, owner, nullptr, dacl, nullptr);
  if (result != ERROR_SUCCESS) return std::unexpected(static_cast<std::uint32_t>(result));
  return {};
}

// An entry opened as itself, never what a link points to, for its attributes and descriptor
// alone and with every sharing: such an open takes no share access and breaks no oplock, so
// nobody who merely reads a file or lists a folder (anyone may) can make the look fail or wait.
// Holding is not needed: what lies below a folder that only administrators can change cannot be
// renamed by anyone else, and a folder that others can change is not trusted anyway.
struct OpenEntry {
  unique_file handle;
  bool isFolder = false;  // a real folder, not a link
};

std::expected<OpenEntry, std::uint32_t> open_entry(const std::wstring& path, DWORD access) {
  constexpr DWORD kFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
  OpenEntry entry;
  entry.handle.reset(::CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   kFlags, nullptr));
  if (!entry.handle) return std::unexpected(last_error());
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(entry.handle.get(), &information)) return std::unexpected(last_error());
  entry.isFolder = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                   (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
  return entry;
}

// Failures that say something is in use or gone rather than anything about who may change it.
bool says_nothing_about_trust(std::uint32_t error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Looks at one entry through its handle; false ends the walk.
using Visit = std::function<std::expected<bool, std::uint32_t>(HANDLE entry, bool isFolder)>;

// Visits everything below `folder`, depth first, each entry through open_entry. However deep the tree goes, the walk keeps its own list of folders, not the stack's.
// False as soon as a visit says false. Entries that vanish between the listing and their opening
// are skipped.
std::expected<bool, std::uint32_t> walk_below(const std::wstring& folder, DWORD access, const Visit& visit) {
  struct Level {
    std::wstring path;
    std::vector<std::string> names;
    std::size_t next = 0;
  };
  std::vector<Level> levels;
  auto names = folder_entry_names(narrow(folder));
  if (!names) return std::unexpected(names.error());
  levels.push_back({folder, std::move(*names), 0});
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.next == level.names.size()) {
      levels.pop_back();
      continue;
    }
    std::wstring path = level.path + L"\\" + wide(level.names[level.next++]);
    auto entry = open_entry(path, access);
    if (!entry) {
      if (entry.error() == ERROR_FILE_NOT_FOUND || entry.error() == ERROR_PATH_NOT_FOUND) continue;
      return std::unexpected(entry.error());
    }
    auto visited = visit(entry->handle.get(), entry->isFolder);
    if (!visited || !*visited) return visited;
    if (entry->isFolder) {
      auto below = folder_entry_names(narrow(path));
      if (!below) return std::unexpected(below.error());
      levels.push_back({std::move(path), std::move(*below), 0});
    }
  }
  return true;
}

std::expected<bool, std::uint32_t> is_trusted_handle(HANDLE object, const std::string& ownSid) {
  auto descriptor = entry_security_descriptor(object);
  if (!descriptor) return std::unexpected(descriptor.error());
  return is_trusted_descriptor(*descriptor, ownSid);
}

// A failure that says nothing about trust is passed on; any other (a descriptor that cannot be
// read, a folder that cannot be listed) means the entry cannot be judged, and what cannot be
// judged is not trusted.
std::expected<bool, std::uint32_t> distrust_unjudged(std::expected<bool, std::uint32_t> judged) {
  if (!judged && !says_nothing_about_trust(judged.error())) return false;
  return judged;
}

}  // namespace

std::expected<void, std::uint32_t> secure_admin_folder(const std::string& folder) {
  const std::wstring path = wide(folder);
  auto root = open_entry(path, kWriteSecurity);
  if (!root) return std::unexpected(root.error());
  if (!root->isFolder) return std::unexpected(static_cast<std::uint32_t>(ERROR_DIRECTORY));
  if (auto applied = apply(root->handle.get(), kAdminFolderDescriptor, true); !applied) return applied;
  const Visit reset = [](HANDLE entry, bool isFolder) -> std::expected<bool, std::uint32_t> {
    auto applied = apply(entry, isFolder ? kAdminChildFolderDescriptor : kAdminChildFileDescriptor, false);
    if (!applied) return std::unexpected(applied.error());
    return true;
  };
  auto walked = walk_below(path, kWriteSecurity, reset);
  if (!walked) return std::unexpected(walked.error());
  return {};
}

std::expected<void, std::uint32_t> create_secure_folder(const std::string& folder) {
  unique_security_descriptor descriptor;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdminFolderDescriptor, SDDL_REVISION_1,
                                                              descriptor.put(), nullptr)) {
    return std::unexpected(last_error());
  }
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = descriptor.get();
  if (!::CreateDirectoryW(wide(folder).c_str(), &attributes)) return std::unexpected(last_error());
  return {};
}

namespace {

// A token with a linked one is half of a split administrator (Admin Approval Mode): the same user
// also runs unelevated programs that can change whatever he owns. Wine gives every process such a
// token; a test build may say otherwise, since Wine reads every owner back as that user.
bool has_linked_token(HANDLE token) {
  if constexpr (build::kTestBuild) {
    if (environment_value(L"VELKO_TEST_UNLINKED_TOKEN")) return false;
  }
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  // Unknown counts as linked: the user's own rights are then simply not trusted.
  if (!::GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size)) return true;
  return type != TokenElevationTypeDefault;
}

}  // namespace

std::string own_user_sid() {
  unique_handle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
  if (has_linked_token(token.get())) return {};
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<std::uint8_t> buffer(size);
  if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
  return sid_text(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid).value_or(std::string());
}

std::expected<bool, std::uint32_t> is_trusted_entry(const std::string& path) {
  auto entry = open_entry(wide(path), kReadSecurity);
  if (!entry) return distrust_unjudged(std::unexpected(entry.error()));
  return distrust_unjudged(is_trusted_handle(entry->handle.get(), own_user_sid()));
}

std::expected<bool, std::uint32_t> folders_above_keep_in_place(const std::string& path) {
  const std::string ownSid = own_user_sid();
  // From the root down: each folder is opened only through folders already found to be real ones.
  std::vector<std::string> above;
  for (auto folder = path_parent(path); folder; folder = path_parent(*folder)) above.push_back(*folder);
  for (auto folder = above.rbegin(); folder != above.rend(); ++folder) {
    auto entry = open_entry(wide(*folder), kReadSecurity);
    if (!entry) return std::unexpected(entry.error());
    // A junction or mount point on the way leads wherever its owner points it next.
    if (!entry->isFolder) return false;
    auto descriptor = entry_security_descriptor(entry->handle.get());
    if (!descriptor) return std::unexpected(descriptor.error());
    const bool isVolumeRoot = !path_parent(*folder).has_value();
    if (!keeps_its_children_in_place(*descriptor, ownSid, isVolumeRoot)) return false;
  }
  return true;
}

std::expected<bool, std::uint32_t> is_trusted_tree(const std::string& folder) {
  const std::wstring path = wide(folder);
  auto root = open_entry(path, kReadSecurity);
  if (!root) return distrust_unjudged(std::unexpected(root.error()));
  // A link in the folder's place is never trusted: what it points to can change at any time.
  if (!root->isFolder) return false;
  const std::string ownSid = own_user_sid();
  auto trusted = distrust_unjudged(is_trusted_handle(root->handle.get(), ownSid));
  if (!trusted || !*trusted) return trusted;
  const Visit look = [&](HANDLE entry, bool) { return distrust_unjudged(is_trusted_handle(entry, ownSid)); };
  return distrust_unjudged(walk_below(path, kReadSecurity, look));
}

std::expected<std::string, std::uint32_t> set_aside_folder(const std::string& folder, std::string_view date) {
  const auto parent = path_parent(folder);
  if (!parent) return std::unexpected(static_cast<std::uint32_t>(ERROR_BAD_PATHNAME));
  // A number nobody can foresee (the high-resolution counter at this moment), so that nobody can
  // take beforehand every name this move could use.
  LARGE_INTEGER counter{};
  ::QueryPerformanceCounter(&counter);
  const std::uint32_t unforeseeable = static_cast<std::uint32_t>(counter.QuadPart) ^ (::GetCurrentProcessId() << 16);
  DWORD error = ERROR_ALREADY_EXISTS;
  for (unsigned attempt = 1; attempt <= kSetAsideAttempts; ++attempt) {
    std::string target = path_join(
        *parent, set_aside_folder_name(path_file_name(folder), date, std::uint64_t{unforeseeable} * 1000 + attempt));
    // Moved by name, whatever now stands there: a folder swapped in since it was judged goes too.
    if (::MoveFileExW(wide(folder).c_str(), wide(target).c_str(), 0)) return target;
    error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
  }
  return std::unexpected(static_cast<std::uint32_t>(error));
}

std::string local_date_text() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  char text[9] = {};
  std::snprintf(text, sizeof text, "%04u%02u%02u", static_cast<unsigned>(now.wYear) % 10000u,
                static_cast<unsigned>(now.wMonth) % 100u, static_cast<unsigned>(now.wDay) % 100u);
  return text;
}

}  // namespace velko::win
