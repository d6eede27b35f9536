#pragma once

#include <windows.h>

namespace velko::win {

// A top-down 32-bit DIB of this size: row 0 is the top row, pixels are B, G, R, unused.
inline BITMAPINFO top_down_dib_info(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

}  // namespace velko::win
