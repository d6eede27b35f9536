#include "win/folder_security.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "common/folder_trust.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::win {
namespace {

using unique_security_descriptor = unique_hlocal<PSECURITY_DESCRIPTOR>;

// Entries deeper than this are left alone; the program's own tree is two levels deep.
constexpr int kMaxDepth = 8;

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

// Opens the entry itself, never what a link points to.
unique_file open_for_security(const std::wstring& path) {
  return unique_file(::CreateFileW(path.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

std::uint32_t last_error() { return static_cast<std::uint32_t>(::GetLastError()); }

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

// What an entry must show: nobody else can change it, or (for a take-over) it was made by a
// trusted principal.
enum class Judge { Changeable, Owner };

std::expected<bool, std::uint32_t> is_trusted_handle(HANDLE object, const std::string& ownSid, Judge judge) {
  auto text = descriptor_text(object);
  if (!text) return std::unexpected(text.error());
  return judge == Judge::Owner ? has_trusted_owner_sddl(*text, ownSid) : is_trusted_sddl(*text, ownSid);
}

unique_file open_for_reading_security(const std::wstring& path) {
  return unique_file(::CreateFileW(path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                   nullptr));
}

std::expected<bool, std::uint32_t> is_trusted_below(const std::wstring& folder, const std::string& ownSid, Judge judge,
                                                    int depth) {
  WIN32_FIND_DATAW entry{};
  unique_find find(::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                      nullptr, 0));
  if (!find) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return true;
    return std::unexpected(static_cast<std::uint32_t>(error));
  }
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    if (depth > kMaxDepth) return false;
    const std::wstring path = folder + L"\\" + name;
    unique_file object = open_for_reading_security(path);
    if (!object) {
      // Gone since the listing (a download renamed into place): nothing left to judge.
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) continue;
      return std::unexpected(static_cast<std::uint32_t>(error));
    }
    auto trusted = is_trusted_handle(object.get(), ownSid, judge);
    if (!trusted || !*trusted) return trusted;
    object.reset();
    const bool isLink = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !isLink) {
      auto below = is_trusted_below(path, ownSid, judge, depth + 1);
      if (!below || !*below) return below;
    }
  } while (::FindNextFileW(find.get(), &entry));
  const DWORD error = ::GetLastError();
  if (error != ERROR_NO_MORE_FILES) return std::unexpected(static_cast<std::uint32_t>(error));
  return true;
}

std::expected<void, std::uint32_t> reset_children(const std::wstring& folder, int depth) {
  if (depth > kMaxDepth) return {};
  WIN32_FIND_DATAW entry{};
  unique_find find(::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                      nullptr, 0));
  if (!find) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return {};
    return std::unexpected(static_cast<std::uint32_t>(error));
  }
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    const bool isLink = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    unique_file object = open_for_security(path);
    if (!object) return std::unexpected(static_cast<std::uint32_t>(::GetLastError()));
    if (auto applied = apply(object.get(), isFolder ? kAdminChildFolderDescriptor : kAdminChildFileDescriptor, false);
        !applied) {
      return applied;
    }
    object.reset();
    if (isFolder && !isLink) {
      if (auto below = reset_children(path, depth + 1); !below) return below;
    }
  } while (::FindNextFileW(find.get(), &entry));
  const DWORD error = ::GetLastError();
  if (error != ERROR_NO_MORE_FILES) return std::unexpected(static_cast<std::uint32_t>(error));
  return {};
}

}  // namespace

std::expected<void, std::uint32_t> secure_admin_folder(const std::string& folder) {
  const std::wstring path = wide(folder);
  unique_file object = open_for_security(path);
  if (!object) return std::unexpected(static_cast<std::uint32_t>(::GetLastError()));
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(object.get(), &information)) {
    return std::unexpected(static_cast<std::uint32_t>(::GetLastError()));
  }
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return std::unexpected(static_cast<std::uint32_t>(ERROR_DIRECTORY));
  }
  if (auto applied = apply(object.get(), kAdminFolderDescriptor, true); !applied) return applied;
  object.reset();
  return reset_children(path, 1);
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
  return narrow(text.get());
}

std::expected<bool, std::uint32_t> is_trusted_entry(const std::string& path) {
  unique_file object = open_for_reading_security(wide(path));
  if (!object) return std::unexpected(last_error());
  return is_trusted_handle(object.get(), own_user_sid(), Judge::Changeable);
}

namespace {

std::expected<bool, std::uint32_t> judge_tree(const std::string& folder, Judge rootJudge, Judge belowJudge) {
  const std::wstring path = wide(folder);
  unique_file object = open_for_reading_security(path);
  if (!object) return std::unexpected(last_error());
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(object.get(), &information)) return std::unexpected(last_error());
  // A link in the folder's place is never trusted: what it points to can change at any time.
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return false;
  }
  const std::string ownSid = own_user_sid();
  auto trusted = is_trusted_handle(object.get(), ownSid, rootJudge);
  if (!trusted || !*trusted) return trusted;
  object.reset();
  return is_trusted_below(path, ownSid, belowJudge, 1);
}

}  // namespace

std::expected<bool, std::uint32_t> is_trusted_tree(const std::string& folder) {
  return judge_tree(folder, Judge::Changeable, Judge::Changeable);
}

std::expected<bool, std::uint32_t> is_tree_made_by_trusted(const std::string& folder) {
  return judge_tree(folder, Judge::Owner, Judge::Owner);
}

}  // namespace velko::win
