#include "support/links.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "win/child_process.h"
#include "win/file_identity.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::test {
namespace {

bool resolves_to(const std::string& link, const std::string& target) {
  const auto resolved = win::final_path(link);
  const auto expected = win::final_path(target);
  return resolved && expected && *resolved == *expected;
}

}  // namespace

std::string wine_unix_path(const std::string& path) {
  using UnixName = char* CDECL(const wchar_t*);
  auto* const to_unix = reinterpret_cast<UnixName*>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (to_unix == nullptr) return {};
  char* name = to_unix(win::wide(path).c_str());
  if (name == nullptr) return {};
  std::string result(name);
  ::HeapFree(::GetProcessHeap(), 0, name);
  return result;
}

namespace {

// Does the DACL read back give Everyone the right to write (add files, for a folder)?
bool everyone_may_write(const std::string& path) {
  win::unique_hlocal<PSECURITY_DESCRIPTOR> descriptor;
  PACL dacl = nullptr;
  if (::GetNamedSecurityInfoW(win::wide(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &dacl, nullptr, descriptor.put()) != ERROR_SUCCESS) {
    return false;
  }
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  bool found = false;
  for (DWORD i = 0; dacl != nullptr && everyone != nullptr && i < dacl->AceCount && !found; ++i) {
    void* raw = nullptr;
    if (!::GetAce(dacl, i, &raw)) continue;
    auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
    found = ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && (ace->Mask & FILE_WRITE_DATA) != 0 &&
            ::EqualSid(&ace->SidStart, everyone);
  }
  if (everyone != nullptr) ::FreeSid(everyone);
  return found;
}

// Wine starts Unix programs by their mapped path.
void run_unix_tool(const std::string& program, const std::vector<std::string>& arguments) {
  win::ProcessLaunch launch{program, arguments, std::nullopt, CREATE_NO_WINDOW};
  launch.inheritEnvironment = true;
  auto child = win::start_process(launch);
  ASSERT_TRUE(child) << "cannot start " << program;
  ::WaitForSingleObject(child->process.get(), 10000);
}

void make_link(const std::string& link, const std::string& target, DWORD kind) {
  if (::CreateSymbolicLinkW(win::wide(link).c_str(), win::wide(target).c_str(),
                            kind | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
      resolves_to(link, target)) {
    return;
  }
  ::RemoveDirectoryW(win::wide(link).c_str());
  ::DeleteFileW(win::wide(link).c_str());
  const std::string unixLink = wine_unix_path(link);
  const std::string unixTarget = wine_unix_path(target);
  ASSERT_FALSE(unixLink.empty()) << "no way to make a link here";
  ASSERT_FALSE(unixTarget.empty());
  run_unix_tool("Z:\\bin\\ln", {"-s", unixTarget, unixLink});
  for (int i = 0; i < 100 && !resolves_to(link, target); ++i) ::Sleep(50);
  ASSERT_TRUE(resolves_to(link, target)) << "link " << link << " does not lead to " << target;
}

}  // namespace

void let_everyone_change(const std::string& path) {
  const std::string unixPath = wine_unix_path(path);
  if (!unixPath.empty()) {
    // Wine gives no waitable handle for a Unix program: watch for the mode to show instead.
    win::ProcessLaunch launch{"Z:\\bin\\chmod", {"o+w", unixPath}, std::nullopt, CREATE_NO_WINDOW};
    launch.inheritEnvironment = true;
    ASSERT_TRUE(win::start_process(launch)) << "cannot start chmod";
    for (int i = 0; i < 200; ++i) {
      if (everyone_may_write(path)) return;
      ::Sleep(25);
    }
    FAIL() << "Everyone still cannot change " << path;
  }
  win::unique_hlocal<PSECURITY_DESCRIPTOR> descriptor;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;OICI;FA;;;WD)", SDDL_REVISION_1,
                                                                     descriptor.put(), nullptr));
  PACL dacl = nullptr;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted));
  std::wstring widePath = win::wide(path);
  const DWORD status = ::SetNamedSecurityInfoW(widePath.data(), SE_FILE_OBJECT,
                                               DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                                               nullptr, nullptr, dacl, nullptr);
  ASSERT_EQ(status, static_cast<DWORD>(ERROR_SUCCESS)) << path;
}

void make_directory_link(const std::string& link, const std::string& target) {
  make_link(link, target, SYMBOLIC_LINK_FLAG_DIRECTORY);
}

void make_file_link(const std::string& link, const std::string& target) { make_link(link, target, 0); }

void remove_file_link(const std::string& link) {
  const std::string unixLink = wine_unix_path(link);
  if (unixLink.empty()) {
    ::DeleteFileW(win::wide(link).c_str());
    return;
  }
  run_unix_tool("Z:\\bin\\rm", {"-f", unixLink});
}

}  // namespace velko::test
