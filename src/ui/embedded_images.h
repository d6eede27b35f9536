#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <vector>

namespace velko {

// A decoded image as GDI takes it: top-down rows, 4 bytes per pixel (blue, green, red, 0).
struct PixelImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgrx;
};

inline constexpr int kStatusIconSize = 18;
inline constexpr int kStartupLogoSize = 128;
// The launch window's background, which the emblem's transparency shows.
inline constexpr std::uint8_t kLogoBackground[3] = {18, 24, 32};  // red, green, blue

// How an embedded picture is turned into pixels; the texts are those the process stops with.
struct ImageRules {
  const char* invalidPng;
  const char* frameFailed;
  const char* wrongColourType;
  bool compositeOverBackground;  // RGBA over kLogoBackground, else the alpha byte is dropped
  int requiredSize;              // 0: any size
};

extern const ImageRules kStatusIconRules;
extern const ImageRules kStartupLogoRules;

// Decodes one PNG; the colour type in its header (RGB or RGBA, 8 bits) decides the conversion.
// Returns the user-less stop text of `rules` on any fault.
std::expected<PixelImage, std::string> decode_embedded_png(std::span<const std::uint8_t> png, const ImageRules& rules);

// Decoded once on first use (thread-safe) and kept for the life of the process. A fault in
// the program's own image data stops the process with the rule's text.
// state >= 1: done, 0: in progress, < 0: missing or failed.
const PixelImage& status_icon_pixels(int state);
const PixelImage& startup_logo_pixels();

}  // namespace velko
