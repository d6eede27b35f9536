#include "support/paths.h"

#include <windows.h>

#include <cstdlib>

#include "win/wide.h"

namespace velko::test {

std::wstring build_dir() {
  const wchar_t* unixPath = _wgetenv(L"VELKO_BUILD_DIR");
  if (unixPath == nullptr) return L".";
  // Wine maps the Unix root to Z:.
  std::wstring path = L"Z:";
  for (const wchar_t* p = unixPath; *p; ++p) path.push_back(*p == L'/' ? L'\\' : *p);
  return path;
}

std::wstring built_program(const std::wstring& fileName) { return build_dir() + L"\\" + fileName; }

}  // namespace velko::test
