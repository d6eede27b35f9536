// render_states OUTPUT_FOLDER: paints every phase of both windows, exactly as WM_PAINT draws
// them, into 24-bit BMP files named after the state.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "detect/windows_version.h"
#include "state/bootstrap_state.h"
#include "ui/display_scale.h"
#include "ui/painting_win.h"
#include "win/dib.h"
#include "win/unique_any.h"
#include "win/wide.h"

namespace velko {
namespace {

bool write_bmp(const std::wstring& path, HDC dc, HBITMAP bitmap, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const int stride = (width * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<std::size_t>(stride) * height);
  if (::GetDIBits(dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS) != height) return false;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
  return static_cast<bool>(out);
}

bool render(const std::wstring& folder, const char* name, BootstrapState& state, int width, int height,
            const HoverState& hover = {}, const WindowView& view = {}) {
  win::unique_hdc screen(::CreateCompatibleDC(nullptr));
  BITMAPINFO info = win::top_down_dib_info(width, height);
  void* bits = nullptr;
  win::unique_hbitmap bitmap(::CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) return false;
  {
    win::SelectedObject selected(screen.get(), bitmap.get());
    paint_content(screen.get(), state, SIZE{width, height}, hover, view);
    ::GdiFlush();
  }
  const std::wstring path = folder + L"\\" + win::wide(name) + L".bmp";
  const bool written = write_bmp(path, screen.get(), bitmap.get(), width, height);
  std::printf("%s %s\n", written ? "wrote" : "FAILED", name);
  return written;
}

std::unique_ptr<BootstrapState> installer(UiPhase phase, WorkbenchInstallState workbench) {
  auto state = std::make_unique<BootstrapState>();
  state->phase = phase;
  state->workbenchState = workbench;
  state->updateMode = workbench == WorkbenchInstallState::Older;
  // What the classification says of a Windows 11 23H2 workstation.
  const SystemClassification system = classify_version(WindowsVersion{10, 0, 22631, kWorkstationProductType});
  EnvironmentReport report;
  report.systemLabel = system.systemLabel;
  report.verdict = system.verdict;
  report.supported = system.supported;
  for (ComponentKind kind : {ComponentKind::ServicePack1, ComponentKind::Kb4490628, ComponentKind::Kb4474419}) {
    report.components[kind].present = true;
  }
  report.components[ComponentKind::Workbench].present = workbench == WorkbenchInstallState::Current;
  state->environment = report;
  state->installDirectory = "D:\\VelkoTarn工作台";
  state->progressPercent = 100;
  return state;
}

}  // namespace
}  // namespace velko

int wmain(int argc, wchar_t** argv) {
  using namespace velko;
  if (argc != 2) {
    std::fprintf(stderr, "usage: render_states OUTPUT_FOLDER\n");
    return 2;
  }
  const std::wstring folder = argv[1];
  store_policy(bootstrap_state(), ReleasePolicy{"2.4.1", "https://download.velkotarn.com/v1/downloads/setup.exe",
                                                std::string(64, 'A'), 187'654'321});
  using W = WorkbenchInstallState;
  bool ok = true;
  const auto shot = [&](const char* name, std::unique_ptr<BootstrapState> state, const HoverState& hover = {}) {
    ok = render(folder, name, *state, kInstallerWidth, kInstallerHeight, hover) && ok;
  };

  auto checking = installer(UiPhase::Checking, W::None);
  checking->progressPercent = 58;
  shot("installer-checking", std::move(checking));

  auto ready = installer(UiPhase::Ready, W::None);
  ready->revealStep = 9;
  HoverState primaryHovered;
  primaryHovered.hovered = ButtonId::Primary;
  primaryHovered.levels[static_cast<std::size_t>(ButtonId::Primary)] = 1.0f;
  shot("installer-ready", std::move(ready), primaryHovered);

  shot("installer-ready-update", installer(UiPhase::Ready, W::Older));

  auto unsupported = installer(UiPhase::Ready, W::None);
  const SystemClassification windows7 = classify_version(WindowsVersion{6, 1, 7601, kWorkstationProductType});
  unsupported->environment->supported = windows7.supported;
  unsupported->environment->systemLabel = windows7.systemLabel;
  unsupported->environment->verdict = windows7.verdict;
  shot("installer-ready-unsupported", std::move(unsupported));

  auto downloading = installer(UiPhase::Downloading, W::None);
  downloading->environment->components[ComponentKind::WebView2Runtime].present = true;
  downloading->currentComponent = ComponentKind::Workbench;
  downloading->progressPercent = 42;
  downloading->statusText = "正在下载 VelkoTarn工作台 v2.4.1 · 78.8 MB / 187.7 MB";
  shot("installer-downloading", std::move(downloading));

  auto installing = installer(UiPhase::Installing, W::None);
  installing->environment->components[ComponentKind::WebView2Runtime].present = true;
  installing->currentComponent = ComponentKind::Workbench;
  installing->busyTicks = 300;
  installing->stepClock.access_or_abort(
      [](StepClockValue& clock) { clock = std::chrono::steady_clock::now() - std::chrono::seconds(75); });
  shot("installer-installing", std::move(installing));

  auto completed = installer(UiPhase::Completed, W::Current);
  completed->environment->components[ComponentKind::WebView2Runtime].present = true;
  shot("installer-completed", std::move(completed));

  auto failed = installer(UiPhase::Failed, W::None);
  failed->statusText = "正式安装包 SHA256 校验失败，文件不会执行。";
  shot("installer-failed", std::move(failed));

  auto waiting = installer(UiPhase::WaitingForWorkbenchExit, W::Older);
  waiting->environment->components[ComponentKind::WebView2Runtime].present = true;
  waiting->currentComponent = ComponentKind::Workbench;
  shot("installer-waiting", std::move(waiting));

  // The keyboard's focus on the primary button, at 100 % and at 150 % (144 DPI), and under a
  // black high-contrast theme (Windows' own "High Contrast Black" colours).
  const auto keyboard = [&](const char* name, int dpi, std::optional<SystemColours> theme) {
    auto state = installer(UiPhase::Ready, W::None);
    const WindowView view{ButtonId::Primary, true, dpi, theme};
    ok = render(folder, name, *state, scaled(kInstallerWidth, dpi), scaled(kInstallerHeight, dpi), {}, view) && ok;
  };
  keyboard("installer-ready-keyboard-100", 96, std::nullopt);
  keyboard("installer-ready-keyboard-150", 144, std::nullopt);
  keyboard("installer-ready-high-contrast",
           96, SystemColours{{0, 0, 0}, {255, 255, 255}, {26, 235, 255}, {0, 0, 0}, {0, 0, 0}, {255, 255, 255},
                             {63, 242, 63}, {255, 255, 0}});

  const auto launch = [&](const char* name, UiPhase phase, std::uint32_t ticks, const char* text, int dpi = 96) {
    BootstrapState state;
    state.launchMode = true;
    state.phase = phase;
    state.launchTicks = ticks;
    if (text != nullptr) state.statusText = text;
    ok = render(folder, name, state, scaled(kLaunchWidth, dpi), scaled(kLaunchHeight, dpi), {}, WindowView{.dpi = dpi}) &&
         ok;
  };
  launch("launch-starting", UiPhase::Checking, 20, nullptr);
  launch("launch-starting-150", UiPhase::Checking, 20, nullptr, 144);
  launch("launch-verifying", UiPhase::Checking, 60, nullptr);
  launch("launch-failed", UiPhase::Failed, 80, "工作台安装清单或主程序不完整，无法安全启动。");
  return ok ? 0 : 1;
}
