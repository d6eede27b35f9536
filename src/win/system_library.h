#pragma once

#include <windows.h>

namespace velko::win {

// Loads a Windows DLL from System32 only (never from the program's folder, which an
// ordinary user may write) and looks up one export. Null when either is missing.
// The DLL stays loaded for the life of the process.
FARPROC system_export(const wchar_t* dll, const char* name);

template <typename Function>
Function* system_function(const wchar_t* dll, const char* name) {
  return reinterpret_cast<Function*>(reinterpret_cast<void*>(system_export(dll, name)));
}

// Restricts the DLL search of this process to System32. Called first thing at start.
void restrict_dll_search_to_system32();

}  // namespace velko::win
