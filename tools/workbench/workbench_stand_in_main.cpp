// A stand-in for the workbench: started with "--main" it shows a visible top-level window
// and runs until that window is closed. Tests choose other behaviours through
// VELKO_STANDIN_WORKBENCH (inherited from the process that starts it):
//   "visible" (or unset)  the normal window
//   "hidden"              only a window that is never shown
//   "exit:N"              ends at once with exit code N (signed decimal)
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "win/environment.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace {

// The product's own face: the test harness maps it to a font with Chinese glyphs, where the DC's
// default font would draw the title's Chinese as boxes.
constexpr wchar_t kFontFace[] = L"Microsoft YaHei UI";

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  if (message == WM_PAINT) {
    // Says what it is, so a demo's screenshot shows which program came up.
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    RECT client;
    ::GetClientRect(window, &client);
    ::SetBkMode(dc, TRANSPARENT);
    velko::win::unique_hfont font(::CreateFontW(-18, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                                DEFAULT_PITCH, kFontFace));
    {
      velko::win::SelectedObject selected(dc, font.get());
      ::DrawTextW(dc, L"VelkoTarn工作台 (stand-in) --main", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    ::EndPaint(window, &paint);
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (argv == nullptr || argc != 2 || std::wcscmp(argv[1], L"--main") != 0) return 2;

  const std::wstring mode = velko::win::wide(velko::win::environment_value(L"VELKO_STANDIN_WORKBENCH").value_or(""));
  if (mode.starts_with(L"exit:")) return static_cast<int>(std::wcstol(mode.c_str() + 5, nullptr, 10));

  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = window_procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = L"VelkoTarnWorkbenchStandIn";
  if (!::RegisterClassW(&windowClass)) return 3;
  HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"VelkoTarn工作台", WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 480, 320, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 4;
  if (mode != L"hidden") ::ShowWindow(window, SW_SHOWNORMAL);

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}
