#include "win/folder_security.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <functional>
#include <vector>

#include "common/folder_trust.h"
#include "common/win_path.h"
#include "win/directories.h"
#include "win/os_error.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::win {
namespace {

using unique_security_descriptor = unique_hlocal<PSECURITY_DESCRIPTOR>;

// The program's own trees are two levels deep; a deeper one is not ours.
constexpr int kMaxDepth = 8;

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

// The owner and DACL of an open entry, in SDDL.
std::expected<std::string, std::uint32_t> descriptor_text(HANDLE object) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  unique_security_descriptor descriptor;
  const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  const DWORD result = ::GetSecurityInfo(object, SE_FILE_OBJECT, what, &owner, nullptr, &dacl, nullptr, descriptor.put());
  if (result != ERROR_SUCCESS) return std::unexpected(static_cast<std::uint32_t>(result));
  unique_hlocal<LPWSTR> text;
  if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.get(), SDDL_REVISION_1, what, text.put(),
                                                              nullptr)) {
    return std::unexpected(last_error());
  }
  return narrow(text.get());
}

// An entry opened as itself, never what a link points to. A real folder is held without delete
// sharing, so that while what is below it is looked at nobody can rename or replace it and its
// path keeps naming what was judged. A file that someone holds with delete access (a download
// in progress) is opened with every sharing: there is nothing below it to protect.
struct OpenEntry {
  unique_file handle;
  bool isFolder = false;  // a real folder, not a link
};

std::expected<OpenEntry, std::uint32_t> open_entry(const std::wstring& path, DWORD access) {
  constexpr DWORD kFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
  const DWORD desired = access | FILE_READ_ATTRIBUTES;
  OpenEntry entry;
  entry.handle.reset(::CreateFileW(path.c_str(), desired, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   kFlags, nullptr));
  const bool shared = !entry.handle && ::GetLastError() == ERROR_SHARING_VIOLATION;
  if (shared) {
    entry.handle.reset(::CreateFileW(path.c_str(), desired, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, kFlags, nullptr));
  }
  if (!entry.handle) return std::unexpected(last_error());
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(entry.handle.get(), &information)) return std::unexpected(last_error());
  entry.isFolder = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                   (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
  // A folder that could only be opened shared could be renamed while we look below it.
  if (entry.isFolder && shared) return std::unexpected(static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
  return entry;
}

// Looks at one entry through its handle; false ends the walk.
using Visit = std::function<std::expected<bool, std::uint32_t>(HANDLE entry, bool isFolder)>;

// Visits everything below `folder` (which the caller holds), depth first, each entry through
// open_entry; what is below a real folder is visited while that folder is held. False as soon
// as a visit says false or the tree goes deeper than kMaxDepth. Entries that vanish between the
// listing and their opening are skipped.
std::expected<bool, std::uint32_t> walk_below(const std::wstring& folder, DWORD access, const Visit& visit,
                                              int depth) {
  auto names = folder_entry_names(narrow(folder));
  if (!names) return std::unexpected(names.error());
  for (const std::string& name : *names) {
    if (depth > kMaxDepth) return false;
    const std::wstring path = folder + L"\\" + wide(name);
    auto entry = open_entry(path, access);
    if (!entry) {
      if (entry.error() == ERROR_FILE_NOT_FOUND || entry.error() == ERROR_PATH_NOT_FOUND) continue;
      return std::unexpected(entry.error());
    }
    auto visited = visit(entry->handle.get(), entry->isFolder);
    if (!visited || !*visited) return visited;
    if (entry->isFolder) {
      auto below = walk_below(path, access, visit, depth + 1);
      if (!below || !*below) return below;
    }
  }
  return true;
}

// What an entry must show: nobody else can change it, or (for a take-over) it was made by a
// trusted principal.
enum class Judge { Changeable, Owner };

std::expected<bool, std::uint32_t> is_trusted_handle(HANDLE object, const std::string& ownSid, Judge judge) {
  auto text = descriptor_text(object);
  if (!text) return std::unexpected(text.error());
  return judge == Judge::Owner ? has_trusted_owner_sddl(*text, ownSid) : is_trusted_sddl(*text, ownSid);
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
  auto walked = walk_below(path, kWriteSecurity, reset, 1);
  if (!walked) return std::unexpected(walked.error());
  // Deeper than any tree of ours: what is down there keeps its own rights, so the folder is not ours.
  if (!*walked) return std::unexpected(static_cast<std::uint32_t>(ERROR_FILENAME_EXCED_RANGE));
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

std::string own_user_sid() {
  unique_handle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<std::uint8_t> buffer(size);
  if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
  unique_hlocal<LPWSTR> text;
  if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, text.put())) return {};
  // In the form descriptors are read back in: Windows writes some machine accounts (the
  // built-in Administrator, "LA") by their alias, which must still count as this user.
  const std::wstring ownerOnly = L"O:" + std::wstring(text.get());
  unique_security_descriptor descriptor;
  unique_hlocal<LPWSTR> written;
  if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(ownerOnly.c_str(), SDDL_REVISION_1, descriptor.put(),
                                                             nullptr) &&
      ::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.get(), SDDL_REVISION_1,
                                                             OWNER_SECURITY_INFORMATION, written.put(), nullptr)) {
    const std::wstring_view form = written.get();
    if (form.starts_with(L"O:") && form.size() > 2) return narrow(form.substr(2));
  }
  return narrow(text.get());
}

std::expected<bool, std::uint32_t> is_trusted_entry(const std::string& path) {
  auto entry = open_entry(wide(path), kReadSecurity);
  if (!entry) return std::unexpected(entry.error());
  return is_trusted_handle(entry->handle.get(), own_user_sid(), Judge::Changeable);
}

namespace {

std::expected<bool, std::uint32_t> judge_tree(const std::string& folder, Judge judge) {
  const std::wstring path = wide(folder);
  auto root = open_entry(path, kReadSecurity);
  if (!root) return std::unexpected(root.error());
  // A link in the folder's place is never trusted: what it points to can change at any time.
  if (!root->isFolder) return false;
  const std::string ownSid = own_user_sid();
  auto trusted = is_trusted_handle(root->handle.get(), ownSid, judge);
  if (!trusted || !*trusted) return trusted;
  const Visit look = [&](HANDLE entry, bool) { return is_trusted_handle(entry, ownSid, judge); };
  return walk_below(path, kReadSecurity, look, 1);
}

}  // namespace

std::expected<bool, std::uint32_t> folders_above_keep_in_place(const std::string& path) {
  const std::string ownSid = own_user_sid();
  for (auto folder = path_parent(path); folder; folder = path_parent(*folder)) {
    auto entry = open_entry(wide(*folder), kReadSecurity);
    if (!entry) return std::unexpected(entry.error());
    auto text = descriptor_text(entry->handle.get());
    if (!text) return std::unexpected(text.error());
    if (!keeps_its_children_in_place_sddl(*text, ownSid)) return false;
  }
  return true;
}

std::expected<bool, std::uint32_t> is_trusted_tree(const std::string& folder) {
  return judge_tree(folder, Judge::Changeable);
}

std::expected<bool, std::uint32_t> is_tree_made_by_trusted(const std::string& folder) {
  return judge_tree(folder, Judge::Owner);
}

}  // namespace velko::win
