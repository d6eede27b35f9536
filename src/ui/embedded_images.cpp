#include "ui/embedded_images.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb_image.h>
#pragma GCC diagnostic pop

#include "ui/embedded_images.inc"

namespace velko {

const ImageRules kStatusIconRules{"embedded status icon must be valid PNG", "embedded status icon frame must decode",
                                  "embedded status icon must use RGB or RGBA pixels", false, 0};
const ImageRules kStartupLogoRules{"embedded startup logo must be valid PNG", "embedded startup logo frame must decode",
                                   "embedded startup logo must use RGB or RGBA pixels", true, kStartupLogoSize};

namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t kColourTypeRgb = 2;
constexpr std::uint8_t kColourTypeRgba = 6;

struct StbiFree {
  void operator()(stbi_uc* p) const { stbi_image_free(p); }
};

// The colour type byte of the IHDR chunk, which must be the first chunk of a PNG.
std::expected<std::uint8_t, std::string> png_colour_type(std::span<const std::uint8_t> png, const ImageRules& rules) {
  if (png.size() < 33) return std::unexpected(std::string(rules.invalidPng));
  for (std::size_t i = 0; i < 8; ++i) {
    if (png[i] != kPngSignature[i]) return std::unexpected(std::string(rules.invalidPng));
  }
  const bool ihdr = png[12] == 'I' && png[13] == 'H' && png[14] == 'D' && png[15] == 'R';
  if (!ihdr) return std::unexpected(std::string(rules.invalidPng));
  return png[25];
}

}  // namespace

std::expected<PixelImage, std::string> decode_embedded_png(std::span<const std::uint8_t> png, const ImageRules& rules) {
  auto colourType = png_colour_type(png, rules);
  if (!colourType) return std::unexpected(colourType.error());
  int width = 0, height = 0, fileChannels = 0;
  const int length = static_cast<int>(png.size());
  if (!stbi_info_from_memory(png.data(), length, &width, &height, &fileChannels)) {
    return std::unexpected(std::string(rules.invalidPng));
  }
  if (rules.requiredSize != 0 && (width != rules.requiredSize || height != rules.requiredSize)) {
    return std::unexpected(std::string(rules.frameFailed));
  }
  int channels = 0;
  if (*colourType == kColourTypeRgb) {
    channels = 3;
  } else if (*colourType == kColourTypeRgba) {
    channels = 4;
  } else {
    return std::unexpected(std::string(rules.wrongColourType));
  }
  int w = 0, h = 0, n = 0;
  std::unique_ptr<stbi_uc, StbiFree> frame(stbi_load_from_memory(png.data(), length, &w, &h, &n, channels));
  if (!frame || w != width || h != height) return std::unexpected(std::string(rules.frameFailed));

  PixelImage image{w, h, std::vector<std::uint8_t>(static_cast<std::size_t>(w) * h * 4)};
  const stbi_uc* source = frame.get();
  std::uint8_t* target = image.bgrx.data();
  for (std::size_t i = 0, count = static_cast<std::size_t>(w) * h; i < count; ++i, source += channels, target += 4) {
    unsigned r = source[0], g = source[1], b = source[2];
    if (channels == 4 && rules.compositeOverBackground) {
      const unsigned a = source[3];
      r = (r * a + (255 - a) * kLogoBackground[0]) / 255;
      g = (g * a + (255 - a) * kLogoBackground[1]) / 255;
      b = (b * a + (255 - a) * kLogoBackground[2]) / 255;
    }
    target[0] = static_cast<std::uint8_t>(b);
    target[1] = static_cast<std::uint8_t>(g);
    target[2] = static_cast<std::uint8_t>(r);
    target[3] = 0;
  }
  return image;
}

namespace {

// The program's own images cannot be wrong unless the build is broken: stop loudly.
PixelImage decode_or_stop(std::span<const std::uint8_t> png, const ImageRules& rules) {
  auto image = decode_embedded_png(png, rules);
  if (!image) {
    std::fprintf(stderr, "%s\n", image.error().c_str());
    std::abort();
  }
  return std::move(*image);
}

}  // namespace

const PixelImage& status_icon_pixels(int state) {
  if (state >= 1) {
    static const PixelImage done = decode_or_stop(embedded::status_icon_done_png, kStatusIconRules);
    return done;
  }
  if (state == 0) {
    static const PixelImage pending = decode_or_stop(embedded::status_icon_pending_png, kStatusIconRules);
    return pending;
  }
  static const PixelImage missing = decode_or_stop(embedded::status_icon_missing_png, kStatusIconRules);
  return missing;
}

const PixelImage& startup_logo_pixels() {
  static const PixelImage logo = decode_or_stop(embedded::startup_logo_png, kStartupLogoRules);
  return logo;
}

}  // namespace velko
