#include "ui/scene.h"

#include <gtest/gtest.h>

#include "install/download_size.h"
#include "ui/window_timing.h"
#include "webview2_pinned.h"
#include "ui_test_state.h"

namespace velko {
namespace {

using test::sample_inputs;
using test::supported_state;
using W = WorkbenchInstallState;

TEST(Smoothstep, EasesAndClamps) {
  EXPECT_DOUBLE_EQ(smoothstep(0.0), 0.0);
  EXPECT_DOUBLE_EQ(smoothstep(1.0), 1.0);
  EXPECT_DOUBLE_EQ(smoothstep(0.5), 0.5);
  EXPECT_DOUBLE_EQ(smoothstep(0.25), 0.15625);
  EXPECT_DOUBLE_EQ(smoothstep(-3.0), 0.0);
  EXPECT_DOUBLE_EQ(smoothstep(7.0), 1.0);
  EXPECT_EQ(channel(60, -15, 1.0), 45);
  EXPECT_EQ(channel(250, 20, 1.0), 255);
  EXPECT_EQ(channel(10, -20, 1.0), 0);
  EXPECT_EQ(channel(14, 4, 0.625), 17);  // 16.5 rounds up
}

TEST(ButtonColours, HoverLevelsAndDisabledStates) {
  EXPECT_EQ(primary_colours(false, 1.0).fill, (Rgb{36, 67, 89}));
  EXPECT_EQ(primary_colours(false, 1.0).text, (Rgb{145, 170, 189}));
  EXPECT_EQ(primary_colours(true, 0.0).fill, (Rgb{14, 99, 156}));
  EXPECT_EQ(primary_colours(true, 1.0).fill, (Rgb{18, 117, 178}));
  EXPECT_EQ(primary_colours(true, 1.0).border, (Rgb{57, 151, 207}));
  EXPECT_EQ(primary_colours(true, smoothstep(0.5)).fill, (Rgb{16, 108, 167}));
  EXPECT_EQ(close_box_colours(false, 1.0).fill, (Rgb{178, 45, 40}));
  EXPECT_EQ(close_box_colours(false, 0.0).text, (Rgb{215, 215, 215}));
  EXPECT_EQ(close_box_colours(true, 1.0).fill, (Rgb{60, 60, 60}));
  EXPECT_EQ(close_box_colours(true, 1.0).text, (Rgb{130, 130, 130}));
  EXPECT_EQ(browse_colours(false, 1.0).border, (Rgb{78, 126, 155}));
  EXPECT_EQ(browse_colours(true, 1.0).fill, (Rgb{40, 40, 42}));
  EXPECT_EQ(recheck_colours(false, 1.0).fill, (Rgb{52, 57, 62}));
  EXPECT_EQ(recheck_colours(false, 1.0).text, (Rgb{250, 250, 250}));
  EXPECT_EQ(recheck_colours(true, 0.0).border, (Rgb{54, 54, 57}));
  EXPECT_EQ(path_field_border(false, 0.0), (Rgb{55, 55, 57}));
  EXPECT_EQ(path_field_border(false, 1.0), (Rgb{62, 78, 90}));  // k = 0.65
  EXPECT_EQ(path_field_border(true, 1.0), (Rgb{55, 55, 57}));
}

TEST(RevealGlow, RisesThenFades) {
  EXPECT_DOUBLE_EQ(reveal_glow(-1), 0.0);
  EXPECT_DOUBLE_EQ(reveal_glow(0), 0.0);
  EXPECT_NEAR(reveal_glow(3), 0.490196, 1e-6);
  EXPECT_NEAR(reveal_glow(6), 0.980392, 1e-6);
  EXPECT_NEAR(reveal_glow(7), 0.965744, 1e-6);
  EXPECT_NEAR(reveal_glow(18), 0.539216, 1e-6);
  EXPECT_NEAR(reveal_glow(30), 0.134804, 1e-6);
  EXPECT_DOUBLE_EQ(reveal_glow(kRevealLastStep), 0.0);
  EXPECT_DOUBLE_EQ(reveal_glow(kRevealLastStep + 1), 0.0);

  EXPECT_EQ(badge_colours(-1).fill, (Rgb{51, 54, 60}));
  EXPECT_EQ(badge_colours(-1).border, (Rgb{79, 96, 110}));
  EXPECT_EQ(badge_colours(6).fill, (Rgb{47, 55, 62}));
  EXPECT_EQ(badge_colours(6).border, (Rgb{116, 170, 195}));
  EXPECT_EQ(badge_colours(12).border, (Rgb{108, 154, 177}));
  EXPECT_EQ(badge_colours(18).fill, (Rgb{49, 55, 61}));
  EXPECT_EQ(badge_colours(kRevealLastStep).border, (Rgb{79, 96, 110}));
}

TEST(Shine, OffsetAndOpacity) {
  EXPECT_EQ(shine_parameters(0).offset, 0);
  EXPECT_DOUBLE_EQ(shine_parameters(0).opacity, 0.0);
  EXPECT_EQ(shine_parameters(2).offset, 41);
  EXPECT_NEAR(shine_parameters(2).opacity, 0.574713, 1e-6);
  EXPECT_EQ(shine_parameters(10).offset, 179);
  EXPECT_DOUBLE_EQ(shine_parameters(10).opacity, 1.0);
  EXPECT_EQ(shine_parameters(25).offset, 309);
  EXPECT_NEAR(shine_parameters(25).opacity, 0.492611, 1e-6);
  EXPECT_EQ(shine_parameters(kShineLastStep).offset, 315);
  EXPECT_DOUBLE_EQ(shine_parameters(kShineLastStep).opacity, 0.0);
}

TEST(Shine, ProfileIsPiecewiseLinear) {
  EXPECT_DOUBLE_EQ(shine_profile(-1.0), 0.0);
  EXPECT_DOUBLE_EQ(shine_profile(0.0), 0.0);
  EXPECT_NEAR(shine_profile(0.09), 0.03, 1e-12);
  EXPECT_NEAR(shine_profile(0.47), 0.47, 1e-12);
  EXPECT_NEAR(shine_profile(0.52), 0.72, 1e-12);
  EXPECT_NEAR(shine_profile(0.73), 0.16, 1e-12);
  EXPECT_NEAR(shine_profile(1.0), 0.0, 1e-12);
  EXPECT_NEAR(shine_profile(3.0), 0.0, 1e-12);
}

Rgb shine_pixel(const std::vector<Rgb>& image, int x, int y) {
  return image.at(static_cast<std::size_t>((y - kShineY) * kShineWidth + (x - kShineX)));
}

TEST(Shine, ImagePixels) {
  EXPECT_TRUE(shine_image(-1).empty());
  EXPECT_TRUE(shine_image(kShineLastStep + 1).empty());
  const auto image = shine_image(10);
  ASSERT_EQ(image.size(), 138u * 22u);
  EXPECT_EQ(shine_pixel(image, 388, 16), (Rgb{183, 194, 199}));  // the bright core
  EXPECT_EQ(shine_pixel(image, 291, 6), (Rgb{48, 55, 62}));     // untouched badge fill
  EXPECT_EQ(shine_pixel(image, 428, 27), (Rgb{51, 61, 69}));
  EXPECT_EQ(shine_pixel(shine_image(5), 300, 20), (Rgb{80, 95, 105}));
  EXPECT_EQ(shine_pixel(shine_image(20), 420, 10), (Rgb{49, 55, 61}));
  // At step 0 the opacity is 0: the image is the plain badge fill.
  for (const Rgb& pixel : shine_image(0)) ASSERT_EQ(pixel, (Rgb{51, 54, 60}));
}

TEST(Progress, InstallerBarGeometry) {
  EXPECT_EQ(installer_progress_fill(UiPhase::Downloading, 100, 0), (Rect{54, 470, 666, 476}));
  EXPECT_EQ(installer_progress_fill(UiPhase::Downloading, 1, 0), (Rect{54, 470, 60, 476}));
  EXPECT_EQ(installer_progress_fill(UiPhase::Checking, 50, 0), (Rect{54, 470, 360, 476}));
  EXPECT_EQ(installer_progress_fill(UiPhase::Completed, 250, 0), (Rect{54, 470, 666, 476}));
  EXPECT_FALSE(installer_progress_fill(UiPhase::Ready, 0, 0));
  EXPECT_FALSE(installer_progress_fill(UiPhase::Failed, -5, 0));
  // The indeterminate block of the installing phase.
  EXPECT_FALSE(installer_progress_fill(UiPhase::Installing, 100, 0));
  EXPECT_EQ(installer_progress_fill(UiPhase::Installing, 0, 300), (Rect{236, 470, 354, 476}));
  EXPECT_EQ(installer_progress_fill(UiPhase::Installing, 0, 10), (Rect{54, 470, 64, 476}));
  EXPECT_EQ(installer_progress_fill(UiPhase::Installing, 0, 700), (Rect{636, 470, 666, 476}));
  EXPECT_FALSE(installer_progress_fill(UiPhase::Installing, 0, 730));
  EXPECT_EQ(installer_progress_fill(UiPhase::Installing, 0, 730 + 300), (Rect{236, 470, 354, 476}));
}

TEST(Progress, LaunchSegmentGeometry) {
  // p = ticks * 8 mod 546; the segment is {max(p + 32, 152), 178, min(p + 152, 578), 184}.
  EXPECT_FALSE(launch_progress_fill(0, 620));  // left = right = 152
  EXPECT_EQ(launch_progress_fill(10, 620), (Rect{152, 178, 232, 184}));
  EXPECT_EQ(launch_progress_fill(40, 620), (Rect{352, 178, 472, 184}));
  EXPECT_EQ(launch_progress_fill(65, 620), (Rect{552, 178, 578, 184}));
  EXPECT_EQ(launch_progress_fill(68, 620), (Rect{576, 178, 578, 184}));
  EXPECT_EQ(launch_progress_fill(69, 620), (Rect{152, 178, 158, 184}));
  EXPECT_FALSE(launch_progress_fill(273, 620));  // 2184 = 4 * 546
  EXPECT_EQ(launch_progress_fill(0xFFFFFFFFu, 620).has_value(), true);  // no overflow in ticks * 8
}

TEST(DownloadSize, MegabytesWithOneDecimal) {
  EXPECT_EQ(megabytes_text(build::kPinnedWebView2BootstrapperBytes), "1.7 MB");
  EXPECT_EQ(megabytes_text(0), "0.0 MB");
  EXPECT_EQ(megabytes_text(149'999), "0.1 MB");
  EXPECT_EQ(megabytes_text(150'000), "0.2 MB");
  EXPECT_EQ(megabytes_text(4'294'967'295ull), "4295.0 MB");
  EXPECT_EQ(download_size_text(ComponentKind::Workbench, std::unexpected(std::string("x"))), "等待服务器");
  EXPECT_EQ(download_size_text(ComponentKind::Workbench, ReleasePolicy{"2.4.1", "u", "H", 123'456'789}), "123.5 MB");
  EXPECT_EQ(download_size_text(ComponentKind::WebView2Runtime, std::unexpected(std::string("x"))), "1.7 MB");
}

template <typename Op>
std::vector<Op> ops_of(const Scene& scene) {
  std::vector<Op> result;
  for (const DrawOp& op : scene.ops) {
    if (const Op* found = std::get_if<Op>(&op)) result.push_back(*found);
  }
  return result;
}

const TextOp* text_at(const Scene& scene, Rect rect) {
  for (const DrawOp& op : scene.ops) {
    if (const TextOp* text = std::get_if<TextOp>(&op); text && text->rect == rect) return text;
  }
  return nullptr;
}

const RoundRectOp* round_rect_at(const Scene& scene, Rect rect) {
  const RoundRectOp* last = nullptr;
  for (const DrawOp& op : scene.ops) {
    if (const RoundRectOp* box = std::get_if<RoundRectOp>(&op); box && box->rect == rect) last = box;
  }
  return last;
}

TEST(InstallerScene, ReadyLayout) {
  auto state = supported_state(UiPhase::Ready, W::None);
  SceneInputs inputs = sample_inputs();
  inputs.hoverLevels = {0.0f, 0.0f, 0.0f, 1.0f};
  const Scene scene = installer_scene(*state, inputs);

  const auto fills = ops_of<FillOp>(scene);
  ASSERT_FALSE(fills.empty());
  EXPECT_EQ(fills.front().rect, (Rect{0, 0, 720, 620}));
  EXPECT_EQ(fills.front().colour, (Rgb{30, 30, 30}));

  const TextOp* title = text_at(scene, {30, 92, 690, 123});
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->text, "环境检测完成");
  EXPECT_EQ(title->size, 18);
  EXPECT_EQ(title->weight, 650);

  const RoundRectOp* primary = round_rect_at(scene, {578, 536, 690, 572});
  ASSERT_NE(primary, nullptr);
  EXPECT_EQ(primary->fill, (Rgb{18, 117, 178}));
  const TextOp* label = text_at(scene, {578, 536, 690, 572});
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text, "开始安装");
  EXPECT_TRUE(label->centred);
  EXPECT_EQ(label->weight, 700);

  const auto icons = ops_of<StatusIconOp>(scene);
  ASSERT_EQ(icons.size(), 6u);
  const int expectedY[] = {258, 292, 326, 360, 394, 428};
  const int expectedState[] = {1, 1, 1, 1, -1, -1};
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(icons[i].x, 58);
    EXPECT_EQ(icons[i].y, expectedY[i] + 9);
    EXPECT_EQ(icons[i].state, expectedState[i]);
  }
  const TextOp* workbenchValue = text_at(scene, {278, 428, 658, 464});
  ASSERT_NE(workbenchValue, nullptr);
  EXPECT_EQ(workbenchValue->text, "未安装 · v2.4.1 · 下载 123.5 MB");
  EXPECT_EQ(workbenchValue->colour, (Rgb{204, 204, 204}));

  const TextOp* pill = text_at(scene, {566, 44, 692, 66});
  ASSERT_NE(pill, nullptr);
  EXPECT_EQ(pill->text, "目标版本  v2.4.1");
  EXPECT_TRUE(ops_of<ShineOp>(scene).empty());
  EXPECT_TRUE(ops_of<LogoOp>(scene).empty());
}

TEST(InstallerScene, UnsupportedSystemDisablesPrimaryAndColoursTheSystemRow) {
  auto state = supported_state(UiPhase::Ready, W::None);
  state->environment->supported = false;
  SceneInputs inputs = sample_inputs();
  inputs.hoverLevels = {0.0f, 0.0f, 0.0f, 1.0f};
  const Scene scene = installer_scene(*state, inputs);
  EXPECT_EQ(round_rect_at(scene, {578, 536, 690, 572})->fill, (Rgb{36, 67, 89}));
  EXPECT_EQ(text_at(scene, {578, 536, 690, 572})->text, "系统不支持");
  EXPECT_EQ(text_at(scene, {278, 258, 658, 294})->colour, (Rgb{244, 135, 113}));
  for (const StatusIconOp& icon : ops_of<StatusIconOp>(scene)) EXPECT_EQ(icon.state, -1);
}

TEST(InstallerScene, BusyPhaseGreysTheButtonsAndIgnoresHover) {
  auto state = supported_state(UiPhase::Downloading, W::None);
  state->progressPercent = 50;
  SceneInputs inputs = sample_inputs();
  inputs.hoverLevels = {1.0f, 1.0f, 1.0f, 1.0f};
  const Scene scene = installer_scene(*state, inputs);
  const auto fills = ops_of<FillOp>(scene);
  const auto close = std::find_if(fills.begin(), fills.end(), [](const FillOp& f) { return f.rect == Rect{680, 0, 720, 34}; });
  ASSERT_NE(close, fills.end());
  EXPECT_EQ(close->colour, (Rgb{60, 60, 60}));
  EXPECT_EQ(round_rect_at(scene, {578, 163, 668, 195})->fill, (Rgb{40, 40, 42}));
  EXPECT_EQ(round_rect_at(scene, {468, 536, 566, 572})->fill, (Rgb{40, 40, 42}));
  EXPECT_EQ(round_rect_at(scene, {142, 163, 566, 195})->border, (Rgb{55, 55, 57}));
  ASSERT_NE(round_rect_at(scene, {54, 470, 360, 476}), nullptr);
  EXPECT_EQ(round_rect_at(scene, {54, 470, 360, 476})->fill, (Rgb{0, 122, 204}));
}

TEST(InstallerScene, RevealStepAddsTheShineUntilItsLastStep) {
  auto state = supported_state(UiPhase::Ready, W::None);
  state->revealStep = kShineLastStep;
  EXPECT_EQ(ops_of<ShineOp>(installer_scene(*state, sample_inputs())).size(), 1u);
  state->revealStep = kShineLastStep + 1;
  EXPECT_TRUE(ops_of<ShineOp>(installer_scene(*state, sample_inputs())).empty());
  EXPECT_EQ(round_rect_at(installer_scene(*state, sample_inputs()), {290, 5, 430, 29})->border,
            badge_colours(kShineLastStep + 1).border);
}

TEST(LaunchScene, RunningAndFailed) {
  BootstrapState state;
  state.launchMode = true;
  SceneInputs inputs;
  inputs.launchTicks = 40;
  Scene scene = launch_scene(state, inputs, 620);
  ASSERT_EQ(ops_of<LogoOp>(scene).size(), 1u);
  EXPECT_EQ(ops_of<LogoOp>(scene)[0].target, (Rect{32, 75, 124, 167}));
  EXPECT_EQ(text_at(scene, {166, 96, 586, 129})->text, "正在连接Velko服务器");
  EXPECT_EQ(text_at(scene, {166, 96, 586, 129})->colour, (Rgb{103, 205, 255}));
  ASSERT_NE(round_rect_at(scene, {352, 178, 472, 184}), nullptr);
  EXPECT_EQ(text_at(scene, {150, 194, 586, 226})->text, "启动完成后此窗口会自动关闭");

  state.phase = UiPhase::Failed;
  state.statusText = "没有找到工作台安装目录。";
  scene = launch_scene(state, inputs, 620);
  EXPECT_EQ(text_at(scene, {150, 57, 586, 94})->text, "Velko Tarn 工作台启动失败");
  EXPECT_EQ(text_at(scene, {150, 57, 586, 94})->colour, (Rgb{248, 139, 123}));
  EXPECT_EQ(text_at(scene, {166, 96, 586, 129})->colour, (Rgb{224, 166, 157}));
  EXPECT_EQ(round_rect_at(scene, {150, 176, 580, 186})->fill, (Rgb{160, 66, 56}));
  EXPECT_EQ(round_rect_at(scene, {352, 178, 472, 184}), nullptr);
}

}  // namespace
}  // namespace velko
