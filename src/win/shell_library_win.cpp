#include "win/shell_library.h"

#include <atomic>

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

constexpr HRESULT kNotLoaded = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);

// The function once it has loaded; a failed load is tried again on the next call, so that one
// failure (memory short at the time) does not last for the life of the process.
template <typename Function>
class LoadedFunction {
 public:
  LoadedFunction(const wchar_t* dll, const char* name) : dll_(dll), name_(name) {}
  Function* get() {
    Function* function = function_.load();
    if (function == nullptr) {
      function = system_function<Function>(dll_, name_);
      function_.store(function);
    }
    return function;
  }

 private:
  const wchar_t* dll_;
  const char* name_;
  std::atomic<Function*> function_{nullptr};
};

}  // namespace

std::expected<std::string, HRESULT> known_folder_path(REFKNOWNFOLDERID id, DWORD flags) {
  static LoadedFunction<KnownFolderPath> loaded(L"shell32.dll", "SHGetKnownFolderPath");
  auto* const function = loaded.get();
  if (function == nullptr) return std::unexpected(kNotLoaded);
  unique_cotaskmem<PWSTR> path;
  const HRESULT hr = function(id, flags, nullptr, path.put());
  if (FAILED(hr)) return std::unexpected(hr);
  if (!path) return std::unexpected(E_FAIL);
  return narrow(path.get());
}

IStream* new_memory_stream() {
  static LoadedFunction<CreateMemStream> loaded(L"shlwapi.dll", "SHCreateMemStream");
  auto* const function = loaded.get();
  return function != nullptr ? function(nullptr, 0) : nullptr;
}

PIDLIST_ABSOLUTE browse_for_folder(BROWSEINFOW* info) {
  static LoadedFunction<BrowseForFolder> loaded(L"shell32.dll", "SHBrowseForFolderW");
  auto* const function = loaded.get();
  return function != nullptr ? function(info) : nullptr;
}

bool path_from_id_list(PCIDLIST_ABSOLUTE list, wchar_t* path) {
  static LoadedFunction<PathFromIdList> loaded(L"shell32.dll", "SHGetPathFromIDListW");
  auto* const function = loaded.get();
  return function != nullptr && function(list, path) != FALSE;
}

BSTR allocate_bstr(std::wstring_view text) {
  static LoadedFunction<AllocStringLen> loaded(L"oleaut32.dll", "SysAllocStringLen");
  auto* const function = loaded.get();
  return function != nullptr ? function(text.data(), static_cast<UINT>(text.size())) : nullptr;
}

void empty_variant(VARIANT* variant) { variant->vt = VT_EMPTY; }

std::string system_windows_folder() {
  wchar_t folder[MAX_PATH];
  const UINT length = ::GetSystemWindowsDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return narrow(std::wstring_view(folder, length));
}

}  // namespace velko::win
