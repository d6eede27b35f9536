// The baseline of the UI benchmark: the least a Win32 program does to show a window of the
// installer's size. It registers a class, creates a centred 720 x 620 popup, paints the client
// area with one solid colour in WM_PAINT and runs a message loop until it is ended from outside.
// With "--timer" it also runs a 45 ms timer that does nothing, like the installer's main timer
// when there is nothing to show.
#include <windows.h>

namespace {

constexpr wchar_t kClass[] = L"VelkoBenchMinimalWindow";
constexpr int kWidth = 720;
constexpr int kHeight = 620;
// The colour the product paints its primary button with while it checks, so that the benchmark
// looks for the same pixel colour in both programs.
constexpr COLORREF kColour = RGB(36, 67, 89);

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = ::BeginPaint(window, &paint);
      RECT client{};
      ::GetClientRect(window, &client);
      HBRUSH brush = ::CreateSolidBrush(kColour);
      ::FillRect(dc, &client, brush);
      ::DeleteObject(brush);
      ::EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_TIMER: return 0;
    case WM_DESTROY: ::PostQuitMessage(0); return 0;
    default: return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kClass;
  if (!::RegisterClassExW(&windowClass)) return 0;
  // Centred like the installer window, so both are measured at the same screen position.
  const int x = (::GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
  const int y = (::GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
  HWND window = ::CreateWindowExW(WS_EX_APPWINDOW, kClass, L"minimal window", WS_POPUP, x, y, kWidth, kHeight,
                                  nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 0;
  if (commandLine != nullptr && ::lstrcmpW(commandLine, L"--timer") == 0) ::SetTimer(window, 1, 45, nullptr);
  ::ShowWindow(window, SW_SHOW);
  ::UpdateWindow(window);
  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}
