#include "detect/running_windows.h"

#include <windows.h>

namespace velko {
namespace {

constexpr DWORD kVersionRecordSize = 284;  // sizeof(OSVERSIONINFOEXW)
static_assert(sizeof(OSVERSIONINFOEXW) == kVersionRecordSize);

// GetVersionEx is shimmed to the version the manifest declares; ntdll's RtlGetVersion is not.
std::optional<WindowsVersion> read_windows_version() {
  using RtlGetVersionFunction = LONG WINAPI(OSVERSIONINFOEXW*);
  // ntdll is in every process; taking its handle does not load anything.
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return std::nullopt;
  auto* const rtl_get_version = reinterpret_cast<RtlGetVersionFunction*>(
      reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
  if (rtl_get_version == nullptr) return std::nullopt;
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = kVersionRecordSize;
  if (rtl_get_version(&info) != 0) return std::nullopt;
  return WindowsVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber, info.wProductType};
}

}  // namespace

SystemClassification classify_running_windows() { return classify_version(read_windows_version()); }

}  // namespace velko
