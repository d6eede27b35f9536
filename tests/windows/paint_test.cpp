// Render tests: the painting code that serves WM_PAINT draws a chosen state into an
// off-screen 32-bit bitmap; the assertions look at pixels where no text lies.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "state/bootstrap_state.h"
#include "ui/painting_win.h"
#include "ui/window_constants.h"
#include "ui/window_procedure_win.h"
#include "ui/window_timing.h"
#include "win/dib.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

struct Colour {
  int r, g, b;
  bool operator==(const Colour&) const = default;
};

void PrintTo(const Colour& c, std::ostream* os) { *os << "RGB(" << c.r << ", " << c.g << ", " << c.b << ")"; }

// A top-down 32-bit DIB section with a memory DC.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info = win::top_down_dib_info(width, height);
    dc_.reset(::CreateCompatibleDC(nullptr));
    bitmap_.reset(::CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0));
    previous_ = ::SelectObject(dc_.get(), bitmap_.get());
  }
  ~Canvas() { ::SelectObject(dc_.get(), previous_); }

  bool ready() const { return dc_ && bitmap_ && bits_ != nullptr; }
  HDC dc() const { return dc_.get(); }
  void paint(BootstrapState& state, const HoverState& hover = {}) {
    paint_content(dc_.get(), state, SIZE{width_, height_}, hover);
    ::GdiFlush();
  }
  Colour at(int x, int y) const {
    const std::uint8_t* p = bits_ + (static_cast<std::size_t>(y) * width_ + x) * 4;
    return {p[2], p[1], p[0]};
  }

 private:
  int width_, height_;
  win::unique_hdc dc_;
  win::unique_hbitmap bitmap_;
  HGDIOBJ previous_ = nullptr;
  std::uint8_t* bits_ = nullptr;
};

std::unique_ptr<BootstrapState> installer_state(UiPhase phase, bool supported = true) {
  auto state = std::make_unique<BootstrapState>();
  state->phase = phase;
  EnvironmentReport report;
  report.systemLabel = "Windows 11 专业版 · 64 位";
  report.supported = supported;
  for (ComponentKind kind : {ComponentKind::ServicePack1, ComponentKind::Kb4490628, ComponentKind::Kb4474419}) {
    report.components[kind].present = supported;
  }
  state->environment = report;
  state->installDirectory = "D:\\VelkoTarn工作台";
  return state;
}

Colour painted(BootstrapState& state, int x, int y, const HoverState& hover = {}) {
  Canvas canvas(kInstallerWidth, kInstallerHeight);
  EXPECT_TRUE(canvas.ready());
  canvas.paint(state, hover);
  return canvas.at(x, y);
}

HoverState hovered(ButtonId button, float level) {
  HoverState hover;
  hover.hovered = button;
  hover.levels[static_cast<int>(button)] = level;
  return hover;
}

constexpr Colour kBar{0, 122, 204};
constexpr Colour kTrack{51, 51, 51};
constexpr Colour kPanel{37, 37, 38};

TEST(Paint, FullProgressFillsTo665) {
  auto state = installer_state(UiPhase::Downloading);
  state->progressPercent = 100;
  Canvas canvas(720, 620);
  ASSERT_TRUE(canvas.ready());
  canvas.paint(*state);
  EXPECT_EQ(canvas.at(54, 473), kBar);
  EXPECT_EQ(canvas.at(300, 470), kBar);
  EXPECT_EQ(canvas.at(665, 473), kBar);
  EXPECT_EQ(canvas.at(666, 473), kTrack);
  EXPECT_EQ(canvas.at(53, 473), kTrack);
  EXPECT_EQ(canvas.at(300, 469), kTrack);
  EXPECT_EQ(canvas.at(300, 476), kTrack);
  EXPECT_EQ(canvas.at(300, 480), kPanel);
}

TEST(Paint, OnePercentIsASixPixelFill) {
  auto state = installer_state(UiPhase::Downloading);
  state->progressPercent = 1;
  Canvas canvas(720, 620);
  ASSERT_TRUE(canvas.ready());
  canvas.paint(*state);
  EXPECT_EQ(canvas.at(55, 473), kBar);
  EXPECT_EQ(canvas.at(59, 473), kBar);
  EXPECT_EQ(canvas.at(60, 473), kTrack);
  EXPECT_EQ(canvas.at(53, 473), kTrack);
}

TEST(Paint, NoProgressNoFill) {
  auto state = installer_state(UiPhase::Ready);
  EXPECT_EQ(painted(*state, 56, 473), kTrack);
}

TEST(Paint, InstallingBlockAt300TicksSpans236To354) {
  auto state = installer_state(UiPhase::Installing);
  state->busyTicks = 300;
  Canvas canvas(720, 620);
  ASSERT_TRUE(canvas.ready());
  canvas.paint(*state);
  EXPECT_EQ(canvas.at(235, 473), kTrack);
  EXPECT_EQ(canvas.at(236, 473), kBar);
  EXPECT_EQ(canvas.at(300, 473), kBar);
  EXPECT_EQ(canvas.at(353, 473), kBar);
  EXPECT_EQ(canvas.at(354, 473), kTrack);
  EXPECT_EQ(canvas.at(100, 473), kTrack);
}

TEST(Paint, PrimaryButtonDisabledEnabledAndHovered) {
  auto unsupported = installer_state(UiPhase::Ready, false);
  EXPECT_EQ(painted(*unsupported, 582, 540), (Colour{36, 67, 89}));
  EXPECT_EQ(painted(*unsupported, 578, 554), (Colour{47, 84, 108}));  // border, left edge

  auto ready = installer_state(UiPhase::Ready);
  EXPECT_EQ(painted(*ready, 582, 540), (Colour{14, 99, 156}));
  EXPECT_EQ(painted(*ready, 578, 554), (Colour{17, 119, 187}));
  EXPECT_EQ(painted(*ready, 582, 540, hovered(ButtonId::Primary, 1.0f)), (Colour{18, 117, 178}));
  EXPECT_EQ(painted(*ready, 578, 554, hovered(ButtonId::Primary, 1.0f)), (Colour{57, 151, 207}));

  auto failed = installer_state(UiPhase::Failed);
  EXPECT_EQ(painted(*failed, 582, 540, hovered(ButtonId::Primary, 1.0f)), (Colour{36, 67, 89}));
  auto completed = installer_state(UiPhase::Completed, false);
  EXPECT_EQ(painted(*completed, 582, 540), (Colour{14, 99, 156}));
}

TEST(Paint, CloseBoxInBusyAndHoveredStates) {
  auto busy = installer_state(UiPhase::Downloading);
  EXPECT_EQ(painted(*busy, 684, 4, hovered(ButtonId::Close, 1.0f)), (Colour{60, 60, 60}));
  auto idle = installer_state(UiPhase::Failed);
  EXPECT_EQ(painted(*idle, 684, 4, hovered(ButtonId::Close, 1.0f)), (Colour{178, 45, 40}));
  EXPECT_EQ(painted(*idle, 684, 4, hovered(ButtonId::Close, 0.0f)), (Colour{60, 60, 60}));
  EXPECT_EQ(painted(*idle, 10, 10), (Colour{60, 60, 60}));  // the title strip
  EXPECT_EQ(painted(*idle, 10, 600), (Colour{30, 30, 30}));
}

TEST(Paint, StatusIconsSitOnThePanel) {
  auto state = installer_state(UiPhase::Ready);  // system row done, WebView2 row missing
  Canvas canvas(720, 620);
  ASSERT_TRUE(canvas.ready());
  canvas.paint(*state);
  EXPECT_EQ(canvas.at(57, 267), kPanel);
  EXPECT_EQ(canvas.at(58, 267), kPanel);              // the icon's baked-in background
  EXPECT_EQ(canvas.at(66, 268), (Colour{83, 213, 156}));  // ring of the done icon, system row
  EXPECT_EQ(canvas.at(66, 394 + 10), (Colour{255, 140, 112}));  // ring of the missing icon

  auto checking = installer_state(UiPhase::Checking);
  EXPECT_EQ(painted(*checking, 66, 268), (Colour{64, 169, 255}));
}

TEST(Paint, RevealGlowAndShine) {
  auto state = installer_state(UiPhase::Ready);
  state->revealStep = 10;
  Canvas canvas(720, 620);
  ASSERT_TRUE(canvas.ready());
  canvas.paint(*state);
  EXPECT_EQ(canvas.at(385, 7), (Colour{180, 191, 196}));
  EXPECT_EQ(canvas.at(384, 7), (Colour{177, 189, 194}));
  EXPECT_EQ(canvas.at(292, 7), (Colour{48, 55, 62}));   // badge fill, no gleam here
  EXPECT_EQ(canvas.at(350, 5), (Colour{111, 160, 184})); // glowing border above the clip
  EXPECT_EQ(canvas.at(350, 3), (Colour{60, 60, 60}));

  state->revealStep = -1;
  canvas.paint(*state);
  EXPECT_EQ(canvas.at(385, 7), (Colour{51, 54, 60}));
  EXPECT_EQ(canvas.at(350, 5), (Colour{79, 96, 110}));
}

TEST(Paint, LongInstallPathEndsInsideItsField) {
  auto state = installer_state(UiPhase::Ready);
  state->installDirectory = "D:\\" + std::string(40, 'A') + "\\很长的安装目录名称很长的安装目录名称\\" + std::string(60, 'B');
  Canvas canvas(720, 620);
  ASSERT_TRUE(canvas.ready());
  canvas.paint(*state);
  int textPixels = 0;
  for (int y = 166; y < 193; ++y) {
    for (int x = 154; x < 554; ++x) textPixels += canvas.at(x, y) == Colour{30, 30, 30} ? 0 : 1;
    for (int x = 554; x < 565; ++x) ASSERT_EQ(canvas.at(x, y), (Colour{30, 30, 30})) << x << "," << y;
  }
  EXPECT_GT(textPixels, 400);  // the path is drawn, up to its ellipsis
}

// The pixels of a rectangle, for comparing two renderings.
std::vector<Colour> region(const Canvas& canvas, int left, int top, int right, int bottom) {
  std::vector<Colour> pixels;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) pixels.push_back(canvas.at(x, y));
  }
  return pixels;
}

std::unique_ptr<BootstrapState> launch_state(UiPhase phase) {
  auto state = std::make_unique<BootstrapState>();
  state->launchMode = true;
  state->phase = phase;
  return state;
}

TEST(Paint, LaunchWindowEmblemAndBackground) {
  auto state = launch_state(UiPhase::Checking);
  Canvas canvas(620, 250);
  ASSERT_TRUE(canvas.ready());
  canvas.paint(*state);
  EXPECT_EQ(canvas.at(33, 76), (Colour{18, 24, 32}));  // transparent emblem corner
  EXPECT_EQ(canvas.at(5, 240), (Colour{18, 24, 32}));
  EXPECT_EQ(canvas.at(5, 20), (Colour{27, 37, 48}));
  EXPECT_EQ(canvas.at(5, 43), (Colour{42, 56, 70}));
  EXPECT_NE(canvas.at(78, 150), (Colour{18, 24, 32}));  // inside the emblem's tile
  EXPECT_EQ(canvas.at(153, 112), (Colour{41, 184, 242}));  // status dot
  EXPECT_EQ(canvas.at(160, 181), (Colour{45, 59, 73}));    // track, no segment at tick 0
}

TEST(Paint, LaunchWindowMovingSegmentAndFailure) {
  auto state = launch_state(UiPhase::Checking);
  state->launchTicks = 40;  // segment 352..472
  Canvas canvas(620, 250);
  ASSERT_TRUE(canvas.ready());
  canvas.paint(*state);
  EXPECT_EQ(canvas.at(400, 181), (Colour{25, 161, 228}));
  EXPECT_EQ(canvas.at(300, 181), (Colour{45, 59, 73}));

  state->phase = UiPhase::Failed;
  canvas.paint(*state);
  EXPECT_EQ(canvas.at(300, 181), (Colour{160, 66, 56}));
  EXPECT_EQ(canvas.at(153, 112), (Colour{218, 92, 75}));
}

TEST(Paint, LaunchStatusLineChangesWithThe42ndTick) {
  auto state = launch_state(UiPhase::Checking);
  Canvas canvas(620, 250);
  ASSERT_TRUE(canvas.ready());
  canvas.paint(*state);
  const auto first = region(canvas, 166, 96, 586, 129);
  state->launchTicks = kLaunchConnectingTicks;
  canvas.paint(*state);
  const auto at41 = region(canvas, 166, 96, 586, 129);
  state->launchTicks = kLaunchConnectingTicks + 1;
  canvas.paint(*state);
  const auto at42 = region(canvas, 166, 96, 586, 129);
  EXPECT_EQ(first, at41);
  EXPECT_NE(at41, at42);
  EXPECT_NE(std::count(at41.begin(), at41.end(), Colour{18, 24, 32}), static_cast<long>(at41.size()));
}


// A text drawn the plain way: a font made for this one call and deleted after it.
void draw_with_own_font(HDC dc, const std::wstring& text, const Rect& rect, Rgb colour, int size, int weight,
                        bool centred) {
  win::unique_hfont font(::CreateFontW(-size, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"Microsoft YaHei UI"));
  win::SelectedObject selected(dc, font.get());
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, RGB(colour.r, colour.g, colour.b));
  RECT area{rect.left, rect.top, rect.right, rect.bottom};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | (centred ? DT_CENTER : 0));
}

struct Sample {
  std::wstring text;
  int size, weight;
  bool centred;
};

// Every size and weight the two windows use, and texts longer than their line.
std::vector<Sample> samples() {
  const std::wstring longText = L"下载失败：连接被重置，请检查网络后重新检测；未通过 SHA256 校验的文件绝不会执行。" +
                                std::wstring(40, L'W');
  return {
      {L"VelkoTarn工作台", 12, 700, true}, {L"×", 17, 400, true},        {L"准备安装", 13, 600, false},
      {L"目标版本  v1.2.3", 11, 500, true}, {L"环境检测完成", 18, 650, false}, {L"尚未选择", 12, 400, false},
      {L"选择目录", 11, 600, true},        {L"组件检测", 12, 600, false},    {L"WebView2 运行环境", 14, 500, false},
      {L"已下载 · 待安装", 13, 400, false}, {L"打开程序", 12, 700, true},    {L"只下载当前电脑缺少的组件", 11, 400, false},
      {L"Velko Tarn 工作台", 13, 650, false}, {L"正在启动Velko Tarn 工作台", 22, 700, false},
      {L"正在连接Velko服务器", 14, 600, false}, {longText, 12, 400, false},  {longText, 13, 400, true},
      {longText, 18, 650, false},
  };
}

// Draws every sample on its own line of a 720 x 620 canvas on the panel colour.
void draw_samples(Canvas& canvas, bool ownFonts) {
  fill_rect(canvas.dc(), {0, 0, 720, 620}, {37, 37, 38});
  int top = 4;
  for (const Sample& sample : samples()) {
    const Rect line{20, top, 620, top + 30};
    if (ownFonts) {
      draw_with_own_font(canvas.dc(), sample.text, line, {220, 220, 220}, sample.size, sample.weight, sample.centred);
    } else {
      draw_text(canvas.dc(), win::narrow(sample.text), line, {220, 220, 220}, sample.size, sample.weight,
                sample.centred);
    }
    top += 33;
  }
  ::GdiFlush();
}

TEST(Paint, KeptFontsDrawExactlyWhatAFontPerTextDraws) {
  Canvas own(720, 620), first(720, 620), again(720, 620);
  ASSERT_TRUE(own.ready() && first.ready() && again.ready());
  draw_samples(first, false);  // the fonts may be made here
  draw_samples(again, false);  // and are kept from here on
  draw_samples(own, true);
  const auto expected = region(own, 0, 0, 720, 620);
  EXPECT_NE(std::count(expected.begin(), expected.end(), Colour{37, 37, 38}), static_cast<long>(expected.size()));
  EXPECT_EQ(region(first, 0, 0, 720, 620), expected);
  EXPECT_EQ(region(again, 0, 0, 720, 620), expected);
  // The over-long texts end inside their line.
  for (int y = 4 + 15 * 33; y < 4 + 18 * 33; ++y) {
    for (int x = 620; x < 720; ++x) ASSERT_EQ(first.at(x, y), (Colour{37, 37, 38})) << x << "," << y;
  }
}

TEST(Paint, TextLeavesTheFontOfTheDcAsItWas) {
  Canvas canvas(200, 40);
  ASSERT_TRUE(canvas.ready());
  const HGDIOBJ before = ::GetCurrentObject(canvas.dc(), OBJ_FONT);
  draw_text(canvas.dc(), "准备安装", {0, 0, 200, 40}, {255, 255, 255}, 13, 600, false);
  draw_text(canvas.dc(), "准备安装", {0, 0, 200, 40}, {255, 255, 255}, 13, 600, false);
  EXPECT_EQ(::GetCurrentObject(canvas.dc(), OBJ_FONT), before);
}

TEST(Paint, SeveralThreadsPaintTheSameFrames) {
  auto reference = installer_state(UiPhase::Ready);
  Canvas canvas(720, 620);
  ASSERT_TRUE(canvas.ready());
  canvas.paint(*reference);
  const auto expected = region(canvas, 0, 0, 720, 620);
  constexpr int kThreads = 4;
  std::vector<int> mismatches(kThreads, -1);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      auto state = installer_state(UiPhase::Ready);
      Canvas own(720, 620);
      if (!own.ready()) return;
      int wrong = 0;
      for (int frame = 0; frame < 10; ++frame) {
        own.paint(*state);
        if (region(own, 0, 0, 720, 620) != expected) ++wrong;
      }
      mismatches[t] = wrong;
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

// The window draws its first frame straight into itself and later ones through a bitmap: both
// must put on the screen exactly what paint_content draws.
TEST(Paint, TheWindowShowsWhatPaintContentDrawsFirstFrameAndLater) {
  const auto reference = installer_state(UiPhase::Ready);
  BootstrapState& state = bootstrap_state();
  struct Restore {
    BootstrapState& state;
    ~Restore() {
      state.phase = UiPhase::Checking;
      state.environment.reset();
      state.installDirectory.reset();
    }
  } restore{state};
  state.launchMode = false;
  state.phase = reference->phase;
  state.environment = reference->environment;
  state.installDirectory = reference->installDirectory;
  Canvas expected(kInstallerWidth, kInstallerHeight);
  ASSERT_TRUE(expected.ready());
  expected.paint(state);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = window_procedure;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kWindowClassName;
  ASSERT_NE(::RegisterClassExW(&windowClass), 0);
  // Away from the cursor, so that no hover changes a frame.
  ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1);
  const HWND window = ::CreateWindowExW(0, kWindowClassName, L"paint test", WS_POPUP, 0, 0, kInstallerWidth,
                                        kInstallerHeight, nullptr, nullptr, windowClass.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  const auto shown = [&] {
    Canvas copy(kInstallerWidth, kInstallerHeight);
    const win::WindowDc dc(window);
    ::BitBlt(copy.dc(), 0, 0, kInstallerWidth, kInstallerHeight, dc.get(), 0, 0, SRCCOPY);
    ::GdiFlush();
    return region(copy, 0, 0, kInstallerWidth, kInstallerHeight);
  };
  ::ShowWindow(window, SW_SHOW);
  ::UpdateWindow(window);
  const auto first = shown();
  ::InvalidateRect(window, nullptr, FALSE);
  ::UpdateWindow(window);
  const auto later = shown();
  ::DestroyWindow(window);
  ::UnregisterClassW(kWindowClassName, windowClass.hInstance);
  const auto drawn = region(expected, 0, 0, kInstallerWidth, kInstallerHeight);
  EXPECT_TRUE(first == drawn);
  EXPECT_TRUE(later == drawn);
}

}  // namespace
}  // namespace velko
