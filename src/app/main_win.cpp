#include <windows.h>

#include "app/startup_win.h"
#include "win/system_library.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything can load a DLL: the program usually starts from Downloads, where
  // anyone may have dropped a DLL beside it.
  velko::win::restrict_dll_search_to_system32();
  velko::run_program();
  return 0;
}
