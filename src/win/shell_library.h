#pragma once

#include <windows.h>
#include <objidl.h>
#include <oleauto.h>
#include <shlobj.h>

#include <expected>
#include <string>
#include <string_view>

namespace velko::win {

// The few functions of shell32, shlwapi and oleaut32 the program uses, each DLL loaded from
// System32 when first needed: the first window needs none of them, and every DLL loaded before
// it delays it. A DLL or function that cannot be loaded fails as the call would, and is tried
// again on the next call.

// The folder the system records for `id`; the shell's HRESULT on failure.
std::expected<std::string, HRESULT> known_folder_path(REFKNOWNFOLDERID id, DWORD flags);
// The system's Windows folder (GetSystemWindowsDirectoryW, no DLL to load); empty on failure.
std::string system_windows_folder();
// An empty stream in memory (SHCreateMemStream); null when none can be made.
IStream* new_memory_stream();
// SHBrowseForFolderW and SHGetPathFromIDListW.
PIDLIST_ABSOLUTE browse_for_folder(BROWSEINFOW* info);
bool path_from_id_list(PCIDLIST_ABSOLUTE list, wchar_t* path);
// SysAllocStringLen: a string its receiver frees with SysFreeString; null when out of memory.
BSTR allocate_bstr(std::wstring_view text);
// What VariantInit does, without loading oleaut32 for it.
void empty_variant(VARIANT* variant);

}  // namespace velko::win
