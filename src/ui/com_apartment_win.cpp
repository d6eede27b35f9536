#include "ui/com_apartment_win.h"

#include <windows.h>
#include <objbase.h>

namespace velko {
namespace {

thread_local bool entered = false;

}  // namespace

bool enter_window_thread_apartment() {
  if (entered) return true;
  // Single-threaded: calls from readers in other processes then arrive as messages on this
  // thread, where the window's state lives. The folder dialog's own initialisation on this
  // thread nests inside this one.
  const HRESULT result = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  entered = SUCCEEDED(result);
  return entered;
}

bool window_thread_apartment_entered() { return entered; }

}  // namespace velko
