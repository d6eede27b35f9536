#include "support/links.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "win/child_process.h"
#include "win/file_identity.h"
#include "win/wide.h"

namespace velko::test {
namespace {

bool resolves_to(const std::string& link, const std::string& target) {
  const auto resolved = win::final_path(link);
  const auto expected = win::final_path(target);
  return resolved && expected && *resolved == *expected;
}

std::string unix_path(const std::string& path) {
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

// Wine starts Unix programs by their mapped path.
void run_unix_tool(const std::string& program, const std::vector<std::string>& arguments) {
  win::ProcessLaunch launch{program, arguments, std::nullopt, CREATE_NO_WINDOW};
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
  const std::string unixLink = unix_path(link);
  const std::string unixTarget = unix_path(target);
  ASSERT_FALSE(unixLink.empty()) << "no way to make a link here";
  ASSERT_FALSE(unixTarget.empty());
  run_unix_tool("Z:\\bin\\ln", {"-s", unixTarget, unixLink});
  for (int i = 0; i < 100 && !resolves_to(link, target); ++i) ::Sleep(50);
  ASSERT_TRUE(resolves_to(link, target)) << "link " << link << " does not lead to " << target;
}

}  // namespace

void make_directory_link(const std::string& link, const std::string& target) {
  make_link(link, target, SYMBOLIC_LINK_FLAG_DIRECTORY);
}

void make_file_link(const std::string& link, const std::string& target) { make_link(link, target, 0); }

void remove_file_link(const std::string& link) {
  const std::string unixLink = unix_path(link);
  if (unixLink.empty()) {
    ::DeleteFileW(win::wide(link).c_str());
    return;
  }
  run_unix_tool("Z:\\bin\\rm", {"-f", unixLink});
}

}  // namespace velko::test
