#include "ui/painting_win.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

#include "ui/display_scale.h"
#include "ui/embedded_images.h"
#include "win/dib.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

COLORREF colour_ref(Rgb colour) { return RGB(colour.r, colour.g, colour.b); }
RECT to_rect(const Rect& rect) { return RECT{rect.left, rect.top, rect.right, rect.bottom}; }

void draw_pixels(HDC dc, const PixelImage& image, int x, int y, int width, int height) {
  const BITMAPINFO info = win::top_down_dib_info(image.width, image.height);
  ::StretchDIBits(dc, x, y, width, height, 0, 0, image.width, image.height, image.bgrx.data(), &info, DIB_RGB_COLORS,
                  SRCCOPY);
}

// An image drawn at another size than its own is resampled from its source pixels with
// halftone stretching; at its own size it is copied as it is.
void draw_resampled(HDC dc, const PixelImage& image, int x, int y, int width, int height) {
  if (width == image.width && height == image.height) {
    draw_pixels(dc, image, x, y, width, height);
    return;
  }
  const int previousMode = ::SetStretchBltMode(dc, HALFTONE);
  ::SetBrushOrgEx(dc, 0, 0, nullptr);  // HALFTONE needs the brush origin reset after the mode change
  draw_pixels(dc, image, x, y, width, height);
  if (previousMode != 0) ::SetStretchBltMode(dc, previousMode);
}

void draw_shine(HDC dc, const ShineOp& shine) {
  const std::vector<Rgb> pixels = shine_image(shine.revealStep);
  if (pixels.empty()) return;
  PixelImage image{kShineWidth, kShineHeight, {}};
  image.bgrx.reserve(pixels.size() * 4);
  for (const Rgb& pixel : pixels) image.bgrx.insert(image.bgrx.end(), {pixel.b, pixel.g, pixel.r, 0});
  const int saved = ::SaveDC(dc);
  win::unique_hrgn clip(::CreateRoundRectRgn(shine.clip.left, shine.clip.top, shine.clip.right, shine.clip.bottom,
                                             shine.clipRadius, shine.clipRadius));
  ::SelectClipRgn(dc, clip.get());
  draw_resampled(dc, image, shine.x, shine.y, shine.width, shine.height);
  ::RestoreDC(dc, saved);
}

// A row's state as a shape in one colour: a filled disc when done, a ring while in progress,
// a ring crossed through when missing.
void draw_status_shape(HDC dc, const StatusIconOp& icon, Rgb colour) {
  const int line = std::max(1, icon.size / 9);
  win::unique_hpen pen(::CreatePen(PS_SOLID, line, colour_ref(colour)));
  win::unique_hbrush brush(::CreateSolidBrush(colour_ref(colour)));
  win::SelectedObject selectedPen(dc, pen.get());
  win::SelectedObject selectedBrush(dc, icon.state >= 1 ? brush.get() : ::GetStockObject(NULL_BRUSH));
  const int inset = line;
  const int left = icon.x + inset, top = icon.y + inset;
  const int right = icon.x + icon.size - inset, bottom = icon.y + icon.size - inset;
  ::Ellipse(dc, left, top, right, bottom);
  if (icon.state < 0) {
    const int d = icon.size / 4;
    ::MoveToEx(dc, left + d, top + d, nullptr);
    ::LineTo(dc, right - d, bottom - d);
    ::MoveToEx(dc, right - d, top + d, nullptr);
    ::LineTo(dc, left + d, bottom - d);
  }
}

void draw_logo(HDC dc, const LogoOp& logo) {
  draw_resampled(dc, startup_logo_pixels(), logo.target.left, logo.target.top, logo.target.right - logo.target.left,
                 logo.target.bottom - logo.target.top);
}

// The text font of one (size, weight), created once and kept for the life of the process.
// It also stays selected into a small DC of its own: Wine keeps the rendered glyphs of a font
// only while some DC has it selected, plus the last few released. A frame uses eleven
// fonts, so with fonts created and deleted per text every glyph was rendered again by FreeType
// on every paint (about 3 of the 4 ms a frame took). The glyphs drawn are the same either way.
class KeptFont {
 public:
  KeptFont(int size, int weight)
      : font_(::CreateFontW(-size, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Microsoft YaHei UI")),
        holder_(::CreateCompatibleDC(nullptr)) {
    if (!font_ || !holder_) return;
    // Wine files glyphs under the DC's anti-aliasing too, which is off for DCs of 8 bits or less
    // (a new memory DC holds a 1 x 1 monochrome bitmap): the holder gets a 32-bit pixel, like
    // the frames the window paints into.
    const BITMAPINFO info = win::top_down_dib_info(1, 1);
    void* bits = nullptr;
    canvas_.reset(::CreateDIBSection(holder_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!canvas_) return;
    canvasSelected_.emplace(holder_.get(), canvas_.get());
    fontSelected_.emplace(holder_.get(), font_.get());
  }
  HFONT get() const { return font_.get(); }

 private:
  // Released from the last member up: the font and the pixel leave the holder before either
  // is deleted.
  win::unique_hfont font_;
  win::unique_hdc holder_;
  win::unique_hbitmap canvas_;
  std::optional<win::SelectedObject> canvasSelected_;
  std::optional<win::SelectedObject> fontSelected_;
};

// Any thread may paint (the window thread, the render tools and tests); fonts are only ever
// added, so a returned font stays valid until the process ends. Null when the font cannot be
// created: the text is then drawn in the DC's current font, and the next call tries again.
HFONT kept_font(int size, int weight) {
  static std::mutex lock;
  static std::map<std::pair<int, int>, std::unique_ptr<KeptFont>> fonts;
  const std::scoped_lock guard(lock);
  auto found = fonts.find({size, weight});
  if (found == fonts.end()) {
    auto font = std::make_unique<KeptFont>(size, weight);
    if (font->get() == nullptr) return nullptr;
    found = fonts.emplace(std::pair{size, weight}, std::move(font)).first;
  }
  return found->second->get();
}

}  // namespace

void draw_text(HDC dc, const std::string& text, const Rect& rect, Rgb colour, int size, int weight, bool centred) {
  win::SelectedObject selected(dc, kept_font(size, weight));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, colour_ref(colour));
  std::wstring wideText = win::wide(text);
  RECT area = to_rect(rect);
  UINT flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
  if (centred) flags |= DT_CENTER;
  ::DrawTextW(dc, wideText.c_str(), static_cast<int>(wideText.size()), &area, flags);
}

int text_width(HDC dc, const std::string& text, int size, int weight) {
  win::SelectedObject selected(dc, kept_font(size, weight));
  const std::wstring wideText = win::wide(text);
  RECT area{0, 0, 0, 0};
  ::DrawTextW(dc, wideText.c_str(), static_cast<int>(wideText.size()), &area, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
  return area.right - area.left;
}

void round_rect(HDC dc, const Rect& rect, int radius, Rgb fill, Rgb border, int lineWidth) {
  win::unique_hbrush brush(::CreateSolidBrush(colour_ref(fill)));
  win::unique_hpen pen(::CreatePen(PS_SOLID, lineWidth, colour_ref(border)));
  win::SelectedObject selectedBrush(dc, brush.get());
  win::SelectedObject selectedPen(dc, pen.get());
  ::RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, radius, radius);
}

void fill_rect(HDC dc, const Rect& rect, Rgb colour) {
  win::unique_hbrush brush(::CreateSolidBrush(colour_ref(colour)));
  RECT area = to_rect(rect);
  ::FillRect(dc, &area, brush.get());
}

void draw_scene(HDC dc, const Scene& scene) {
  for (const DrawOp& op : scene.ops) {
    std::visit(
        [dc](const auto& step) {
          using Step = std::decay_t<decltype(step)>;
          if constexpr (std::is_same_v<Step, TextOp>) {
            draw_text(dc, step.text, step.rect, step.colour, step.size, step.weight, step.centred);
          } else if constexpr (std::is_same_v<Step, RoundRectOp>) {
            round_rect(dc, step.rect, step.radius, step.fill, step.border, step.lineWidth);
          } else if constexpr (std::is_same_v<Step, FillOp>) {
            fill_rect(dc, step.rect, step.colour);
          } else if constexpr (std::is_same_v<Step, StatusIconOp>) {
            if (step.shape) {
              draw_status_shape(dc, step, *step.shape);
            } else {
              draw_resampled(dc, status_icon_pixels(step.state), step.x, step.y, step.size, step.size);
            }
          } else if constexpr (std::is_same_v<Step, LogoOp>) {
            draw_logo(dc, step);
          } else if constexpr (std::is_same_v<Step, ShineOp>) {
            draw_shine(dc, step);
          }
        },
        op);
  }
}

std::optional<SystemColours> high_contrast_colours() {
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof contrast;
  if (!::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) ||
      (contrast.dwFlags & HCF_HIGHCONTRASTON) == 0) {
    return std::nullopt;
  }
  const auto system = [](int index) {
    const COLORREF c = ::GetSysColor(index);
    return Rgb{GetRValue(c), GetGValue(c), GetBValue(c)};
  };
  return SystemColours{system(COLOR_WINDOW),     system(COLOR_WINDOWTEXT), system(COLOR_HIGHLIGHT),
                       system(COLOR_HIGHLIGHTTEXT), system(COLOR_BTNFACE), system(COLOR_BTNTEXT),
                       system(COLOR_GRAYTEXT),   system(COLOR_HOTLIGHT)};
}

void paint_content(HDC dc, BootstrapState& state, SIZE size, const HoverState& hover, const WindowView& view) {
  SceneInputs inputs = gather_scene_inputs(state);
  inputs.hoverLevels = hover.levels;
  inputs.focused = view.focused;
  inputs.focusCues = view.focusCues;
  inputs.highContrast = view.highContrast;
  // The scenes are laid out at 96 DPI; the launch layout hangs off the client width, taken
  // back to 96 DPI for it.
  if (state.launchMode) {
    draw_scene(dc, scaled_scene(launch_scene(state, inputs, unscaled(size.cx, view.dpi), unscaled(size.cy, view.dpi)),
                                view.dpi));
  } else {
    draw_scene(dc, scaled_scene(installer_scene(state, inputs), view.dpi));
  }
}

void paint(HWND window, BootstrapState& state, const HoverState& hover, const WindowView& view) {
  win::PaintScope scope(window);
  RECT client{};
  ::GetClientRect(window, &client);
  const SIZE size{client.right - client.left, client.bottom - client.top};
  // Nothing is on the screen yet that the frame could flicker over, and making the first memory
  // DC and bitmap of the process and copying from them cost more than the whole frame (under
  // Wine, the first frame came some 18 ms later that way).
  if (view.firstFrame) {
    paint_content(scope.dc(), state, size, hover, view);
    return;
  }
  win::unique_hdc memory(::CreateCompatibleDC(scope.dc()));
  win::unique_hbitmap bitmap(::CreateCompatibleBitmap(scope.dc(), size.cx, size.cy));
  if (!memory || !bitmap) {
    paint_content(scope.dc(), state, size, hover, view);  // no memory for a buffer: draw straight, flicker and all
    return;
  }
  {
    win::SelectedObject selected(memory.get(), bitmap.get());
    paint_content(memory.get(), state, size, hover, view);
    ::BitBlt(scope.dc(), 0, 0, size.cx, size.cy, memory.get(), 0, 0, SRCCOPY);
  }
}

}  // namespace velko
