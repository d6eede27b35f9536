#include "support/screen_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <span>
#include <thread>
#include <vector>

#include "ui/painting_win.h"
#include "win/dib.h"
#include "win/unique_any.h"

namespace velko::test {
namespace {

std::optional<TextOp> find_text(const Scene& scene, const std::string& text) {
  for (const DrawOp& op : scene.ops) {
    if (const auto* step = std::get_if<TextOp>(&op); step && step->text == text) return *step;
  }
  return std::nullopt;
}

struct Pixels {
  int width = 0, height = 0;
  std::vector<COLORREF> colours;
  COLORREF at(int x, int y) const { return colours[static_cast<std::size_t>(y * width + x)]; }
};

// Reads a top-down 32-bit copy of what `dc` holds in the rectangle; nothing when the copy
// cannot be read back.
std::optional<Pixels> read_pixels(HDC source, int x, int y, int width, int height) {
  Pixels pixels{width, height, {}};
  win::unique_hdc memory(::CreateCompatibleDC(source));
  win::unique_hbitmap bitmap(::CreateCompatibleBitmap(source, width, height));
  {
    win::SelectedObject selected(memory.get(), bitmap.get());
    ::BitBlt(memory.get(), 0, 0, width, height, source, x, y, SRCCOPY);
  }
  BITMAPINFO info = win::top_down_dib_info(width, height);
  std::vector<RGBQUAD> raw(static_cast<std::size_t>(width * height));
  if (::GetDIBits(memory.get(), bitmap.get(), 0, static_cast<UINT>(height), raw.data(), &info, DIB_RGB_COLORS) !=
      height) {
    return std::nullopt;
  }
  pixels.colours.reserve(raw.size());
  for (const RGBQUAD& q : raw) pixels.colours.push_back(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue));
  return pixels;
}

COLORREF most_common(const Pixels& pixels) {
  std::map<COLORREF, int> counts;
  for (COLORREF c : pixels.colours) ++counts[c];
  COLORREF best = 0;
  int bestCount = -1;
  for (const auto& [colour, count] : counts) {
    if (count > bestCount) best = colour, bestCount = count;
  }
  return best;
}

}  // namespace

std::optional<TextOp> installer_text(const BootstrapState& state, const std::string& text) {
  return find_text(installer_scene(state, SceneInputs{}), text);
}

std::optional<TextOp> launch_text(const BootstrapState& state, const std::string& text) {
  return find_text(launch_scene(state, SceneInputs{}, kLaunchWidth, kLaunchHeight), text);
}

int text_mismatch(HWND window, const TextOp& text) {
  const int width = text.rect.right - text.rect.left;
  const int height = text.rect.bottom - text.rect.top;
  POINT origin{text.rect.left, text.rect.top};
  ::ClientToScreen(window, &origin);
  // Every compared pixel counts as different when either picture cannot be had, so a failed
  // read never passes for the text being shown.
  const int compared = std::max(1, std::max(width - 4, 0) * std::max(height - 4, 0));
  std::optional<Pixels> read;
  {
    const win::WindowDc screen(nullptr);
    if (screen) read = read_pixels(screen.get(), origin.x, origin.y, width, height);
  }
  if (!read) {
    ADD_FAILURE() << "cannot read back the screen under \"" << text.text << "\"";
    return compared;
  }
  const Pixels& shown = *read;

  win::unique_hdc memory(::CreateCompatibleDC(nullptr));
  BITMAPINFO info = win::top_down_dib_info(width, height);
  void* bits = nullptr;
  win::unique_hbitmap bitmap(::CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !bitmap || bits == nullptr) {
    ADD_FAILURE() << "cannot make a bitmap for \"" << text.text << "\": os error " << ::GetLastError();
    return compared;
  }
  Pixels expected{width, height, {}};
  {
    win::SelectedObject selected(memory.get(), bitmap.get());
    const COLORREF background = most_common(shown);
    fill_rect(memory.get(), Rect{0, 0, width, height},
              Rgb{GetRValue(background), GetGValue(background), GetBValue(background)});
    draw_text(memory.get(), text.text, Rect{0, 0, width, height}, text.colour, text.size, text.weight, text.centred);
    ::GdiFlush();
  }
  const std::span<const RGBQUAD> drawn(static_cast<const RGBQUAD*>(bits), static_cast<std::size_t>(width) * height);
  expected.colours.reserve(drawn.size());
  for (const RGBQUAD& q : drawn) expected.colours.push_back(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue));
  int mismatches = 0;
  for (int y = 2; y < height - 2; ++y) {
    for (int x = 2; x < width - 2; ++x) mismatches += shown.at(x, y) == expected.at(x, y) ? 0 : 1;
  }
  return mismatches;
}

bool shows_text(HWND window, const TextOp& text) { return text_mismatch(window, text) == 0; }

bool wait_for_text(HWND window, const TextOp& text, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!shows_text(window, text)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

}  // namespace velko::test
