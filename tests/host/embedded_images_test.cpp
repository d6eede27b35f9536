#include "ui/embedded_images.h"

#include <gtest/gtest.h>

#include <vector>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace velko {
namespace {

std::vector<std::uint8_t> encode_png(int width, int height, int channels, const std::vector<std::uint8_t>& pixels) {
  std::vector<std::uint8_t> png;
  stbi_write_png_to_func(
      [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<std::uint8_t>*>(context);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        out->insert(out->end(), bytes, bytes + size);
      },
      &png, width, height, channels, pixels.data(), width * channels);
  return png;
}

std::vector<std::uint8_t> uniform(int width, int height, std::vector<std::uint8_t> pixel) {
  std::vector<std::uint8_t> pixels;
  for (int i = 0; i < width * height; ++i) pixels.insert(pixels.end(), pixel.begin(), pixel.end());
  return pixels;
}

std::array<std::uint8_t, 4> pixel_at(const PixelImage& image, int x, int y) {
  const auto* p = &image.bgrx.at(static_cast<std::size_t>((y * image.width + x) * 4));
  return {p[0], p[1], p[2], p[3]};
}

TEST(EmbeddedImages, RgbBecomesBlueGreenRedZero) {
  std::vector<std::uint8_t> pixels = uniform(2, 2, {10, 20, 30});
  pixels[3] = 200;  // second pixel red
  auto image = decode_embedded_png(encode_png(2, 2, 3, pixels), kStatusIconRules);
  ASSERT_TRUE(image) << image.error();
  EXPECT_EQ(image->width, 2);
  EXPECT_EQ(image->bgrx.size(), 16u);
  EXPECT_EQ(pixel_at(*image, 0, 0), (std::array<std::uint8_t, 4>{30, 20, 10, 0}));
  EXPECT_EQ(pixel_at(*image, 1, 0), (std::array<std::uint8_t, 4>{30, 20, 200, 0}));
}

TEST(EmbeddedImages, IconAlphaIsDroppedWithoutBlending) {
  auto image = decode_embedded_png(encode_png(1, 1, 4, {200, 100, 50, 0}), kStatusIconRules);
  ASSERT_TRUE(image);
  EXPECT_EQ(pixel_at(*image, 0, 0), (std::array<std::uint8_t, 4>{50, 100, 200, 0}));
}

TEST(EmbeddedImages, LogoIsCompositedOverTheLaunchBackground) {
  std::vector<std::uint8_t> pixels = uniform(128, 128, {255, 255, 255, 128});
  pixels[4 * 1 + 3] = 0;                                          // (1, 0): transparent
  pixels[4 * 2 + 0] = 90, pixels[4 * 2 + 1] = 80, pixels[4 * 2 + 2] = 70, pixels[4 * 2 + 3] = 255;  // (2, 0)
  auto image = decode_embedded_png(encode_png(128, 128, 4, pixels), kStartupLogoRules);
  ASSERT_TRUE(image) << image.error();
  EXPECT_EQ(pixel_at(*image, 0, 0), (std::array<std::uint8_t, 4>{143, 139, 136, 0}));  // RGB(136, 139, 143)
  EXPECT_EQ(pixel_at(*image, 1, 0), (std::array<std::uint8_t, 4>{32, 24, 18, 0}));     // RGB(18, 24, 32)
  EXPECT_EQ(pixel_at(*image, 2, 0), (std::array<std::uint8_t, 4>{70, 80, 90, 0}));
}

TEST(EmbeddedImages, LogoMustBe128Square) {
  auto image = decode_embedded_png(encode_png(64, 128, 4, uniform(64, 128, {1, 2, 3, 4})), kStartupLogoRules);
  EXPECT_FALSE(image);
}

TEST(EmbeddedImages, OtherColourTypesAndBrokenDataAreRefused) {
  auto grey = decode_embedded_png(encode_png(2, 2, 1, uniform(2, 2, {7})), kStatusIconRules);
  ASSERT_FALSE(grey);
  EXPECT_EQ(grey.error(), "embedded status icon must use RGB or RGBA pixels");
  auto greyLogo = decode_embedded_png(encode_png(128, 128, 2, uniform(128, 128, {7, 9})), kStartupLogoRules);
  ASSERT_FALSE(greyLogo);
  EXPECT_EQ(greyLogo.error(), "embedded startup logo must use RGB or RGBA pixels");

  const std::vector<std::uint8_t> junk(64, 0x42);
  EXPECT_EQ(decode_embedded_png(junk, kStatusIconRules).error(), "embedded status icon must be valid PNG");
  EXPECT_EQ(decode_embedded_png(junk, kStartupLogoRules).error(), "embedded startup logo must be valid PNG");

  auto truncated = encode_png(18, 18, 3, uniform(18, 18, {1, 2, 3}));
  truncated.resize(truncated.size() - 20);  // the image data is cut short
  EXPECT_EQ(decode_embedded_png(truncated, kStatusIconRules).error(), "embedded status icon frame must decode");
}

TEST(EmbeddedImages, ProgramImagesDecodeOnceWithTheirColours) {
  const PixelImage& done = status_icon_pixels(1);
  EXPECT_EQ(&done, &status_icon_pixels(7));
  EXPECT_EQ(done.bgrx.data(), status_icon_pixels(1).bgrx.data());
  EXPECT_EQ(done.width, 18);
  EXPECT_EQ(done.height, 18);
  EXPECT_EQ(done.bgrx.size(), 1296u);
  // Baked-in panel colour in the corner, the ring at the top centre.
  EXPECT_EQ(pixel_at(done, 0, 0), (std::array<std::uint8_t, 4>{38, 37, 37, 0}));
  EXPECT_EQ(pixel_at(done, 8, 1), (std::array<std::uint8_t, 4>{156, 213, 83, 0}));
  EXPECT_EQ(pixel_at(status_icon_pixels(0), 8, 1), (std::array<std::uint8_t, 4>{255, 169, 64, 0}));
  EXPECT_EQ(pixel_at(status_icon_pixels(-1), 8, 1), (std::array<std::uint8_t, 4>{112, 140, 255, 0}));
  EXPECT_NE(&status_icon_pixels(0), &status_icon_pixels(-1));

  const PixelImage& logo = startup_logo_pixels();
  EXPECT_EQ(&logo, &startup_logo_pixels());
  EXPECT_EQ(logo.bgrx.size(), 65536u);
  EXPECT_EQ(pixel_at(logo, 0, 0), (std::array<std::uint8_t, 4>{32, 24, 18, 0}));  // transparent corner
  EXPECT_NE(pixel_at(logo, 64, 100), (std::array<std::uint8_t, 4>{32, 24, 18, 0}));
}

}  // namespace
}  // namespace velko
