#include "win/system_library.h"

namespace velko::win {

FARPROC system_export(const wchar_t* dll, const char* name) {
  HMODULE module = ::LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr) return nullptr;
  return ::GetProcAddress(module, name);
}

void restrict_dll_search_to_system32() {
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  ::SetDllDirectoryW(L"");
}

}  // namespace velko::win
