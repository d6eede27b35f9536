#include "win/shell_library.h"

#include "win/system_library.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko::win {
namespace {

using KnownFolderPath = HRESULT WINAPI(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
using CreateMemStream = IStream* WINAPI(const BYTE*, UINT);
using BrowseForFolder = PIDLIST_ABSOLUTE WINAPI(BROWSEINFOW*);
using PathFromIdList = BOOL WINAPI(PCIDLIST_ABSOLUTE, LPWSTR);
using AllocStringLen = BSTR WINAPI(const OLECHAR*, UINT);
using InitVariant = void WINAPI(VARIANTARG*);

constexpr HRESULT kNotLoaded = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);

}  // namespace

std::expected<std::string, HRESULT> known_folder_path(REFKNOWNFOLDERID id, DWORD flags) {
  static auto* const function = system_function<KnownFolderPath>(L"shell32.dll", "SHGetKnownFolderPath");
  if (function == nullptr) return std::unexpected(kNotLoaded);
  unique_cotaskmem<PWSTR> path;
  const HRESULT hr = function(id, flags, nullptr, path.put());
  if (FAILED(hr)) return std::unexpected(hr);
  if (!path) return std::unexpected(E_FAIL);
  return narrow(path.get());
}

IStream* new_memory_stream() {
  static auto* const function = system_function<CreateMemStream>(L"shlwapi.dll", "SHCreateMemStream");
  return function != nullptr ? function(nullptr, 0) : nullptr;
}

PIDLIST_ABSOLUTE browse_for_folder(BROWSEINFOW* info) {
  static auto* const function = system_function<BrowseForFolder>(L"shell32.dll", "SHBrowseForFolderW");
  return function != nullptr ? function(info) : nullptr;
}

bool path_from_id_list(PCIDLIST_ABSOLUTE list, wchar_t* path) {
  static auto* const function = system_function<PathFromIdList>(L"shell32.dll", "SHGetPathFromIDListW");
  return function != nullptr && function(list, path) != FALSE;
}

BSTR allocate_bstr(std::wstring_view text) {
  static auto* const function = system_function<AllocStringLen>(L"oleaut32.dll", "SysAllocStringLen");
  return function != nullptr ? function(text.data(), static_cast<UINT>(text.size())) : nullptr;
}

void empty_variant(VARIANT* variant) {
  static auto* const function = system_function<InitVariant>(L"oleaut32.dll", "VariantInit");
  if (function != nullptr) {
    function(variant);
  } else {
    variant->vt = VT_EMPTY;
  }
}

}  // namespace velko::win
