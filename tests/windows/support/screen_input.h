#pragma once

// Real input through Wine's input queue (SendInput) and what the screen shows, at client
// positions of a window. Header-only so that only the programs that drive a window pull it in.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <ostream>
#include <thread>
#include <vector>

#include "win/unique_any.h"

namespace velko::test {

struct Colour {
  int r, g, b;
  bool operator==(const Colour&) const = default;
};
inline void PrintTo(const Colour& c, std::ostream* os) {
  *os << "RGB(" << c.r << ", " << c.g << ", " << c.b << ")";
}

inline POINT client_to_screen(HWND window, int x, int y) {
  POINT point{x, y};
  ::ClientToScreen(window, &point);
  return point;
}

inline void send_mouse(DWORD flags, POINT screen) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = static_cast<LONG>(screen.x * 65535 / (::GetSystemMetrics(SM_CXSCREEN) - 1));
  input.mi.dy = static_cast<LONG>(screen.y * 65535 / (::GetSystemMetrics(SM_CYSCREEN) - 1));
  input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
  ASSERT_EQ(::SendInput(1, &input, sizeof input), 1u);
}

inline void move_to(HWND window, int x, int y) { send_mouse(MOUSEEVENTF_MOVE, client_to_screen(window, x, y)); }

inline void click_at(HWND window, int x, int y) {
  using namespace std::chrono_literals;
  const POINT point = client_to_screen(window, x, y);
  send_mouse(MOUSEEVENTF_MOVE, point);
  std::this_thread::sleep_for(100ms);
  send_mouse(MOUSEEVENTF_LEFTDOWN, point);
  send_mouse(MOUSEEVENTF_LEFTUP, point);
}

// Brings the window to the foreground, where keys go. Wine may still be handing the focus over
// (its desktop process can be starting at the same moment).
inline void make_foreground(HWND window) {
  using namespace std::chrono_literals;
  for (int i = 0; i < 30; ++i) {
    ::SetForegroundWindow(window);
    if (::GetForegroundWindow() == window) break;
    std::this_thread::sleep_for(100ms);
  }
}

// One press of the last key with the keys before it held: all down in order, then up in reverse.
inline void send_keys(std::initializer_list<WORD> keys) {
  std::vector<INPUT> inputs;
  for (WORD key : keys) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    inputs.push_back(input);
  }
  for (auto it = keys.end(); it != keys.begin();) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = *--it;
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(input);
  }
  ASSERT_EQ(::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
}

inline void press_escape(HWND window) {
  using namespace std::chrono_literals;
  make_foreground(window);
  std::this_thread::sleep_for(200ms);
  send_keys({VK_ESCAPE});
}

// One pixel of what the screen shows at a screen position.
inline Colour screen_pixel_at(POINT screen) {
  const win::WindowDc dc(nullptr);
  const COLORREF colour = ::GetPixel(dc.get(), screen.x, screen.y);
  return {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

// One pixel of what the screen shows at a client position of the window.
inline Colour screen_pixel(HWND window, int x, int y) { return screen_pixel_at(client_to_screen(window, x, y)); }

// Polls until the pixel has the colour or the time is up; returns the last colour seen.
inline Colour wait_for_pixel(HWND window, int x, int y, Colour wanted, std::chrono::milliseconds limit) {
  using namespace std::chrono_literals;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  Colour seen = screen_pixel(window, x, y);
  while (seen != wanted && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(50ms);
    seen = screen_pixel(window, x, y);
  }
  return seen;
}

}  // namespace velko::test
