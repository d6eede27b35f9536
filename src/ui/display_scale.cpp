#include "ui/display_scale.h"

#include <cstdint>
#include <type_traits>
#include <utility>
#include <variant>

namespace velko {
namespace {

int effective(int dpi) { return dpi < 1 ? kBaseDpi : dpi; }

// n / d rounded to nearest, halves away from zero; d > 0.
int divide_rounded(std::int64_t n, std::int64_t d) {
  const std::int64_t half = d / 2;
  return static_cast<int>(n >= 0 ? (n + half) / d : -((-n + half) / d));
}

}  // namespace

int scaled(int value, int dpi) { return divide_rounded(static_cast<std::int64_t>(value) * effective(dpi), kBaseDpi); }

Rect scaled(const Rect& rect, int dpi) {
  // Each edge on its own: rectangles that touch at 96 DPI still touch.
  return {scaled(rect.left, dpi), scaled(rect.top, dpi), scaled(rect.right, dpi), scaled(rect.bottom, dpi)};
}

int unscaled(int value, int dpi) {
  return divide_rounded(static_cast<std::int64_t>(value) * kBaseDpi, effective(dpi));
}

Scene scaled_scene(Scene scene, int dpi) {
  if (effective(dpi) == kBaseDpi) return scene;
  for (DrawOp& op : scene.ops) {
    std::visit(
        [dpi](auto& step) {
          using Step = std::decay_t<decltype(step)>;
          if constexpr (std::is_same_v<Step, TextOp>) {
            step.rect = scaled(step.rect, dpi);
            step.size = scaled(step.size, dpi);
          } else if constexpr (std::is_same_v<Step, RoundRectOp>) {
            step.rect = scaled(step.rect, dpi);
            step.radius = scaled(step.radius, dpi);
            step.lineWidth = scaled(step.lineWidth, dpi);
          } else if constexpr (std::is_same_v<Step, FillOp>) {
            step.rect = scaled(step.rect, dpi);
          } else if constexpr (std::is_same_v<Step, StatusIconOp>) {
            const Rect area = scaled(Rect{step.x, step.y, step.x + step.size, step.y + step.size}, dpi);
            step.x = area.left;
            step.y = area.top;
            step.size = area.right - area.left;
          } else if constexpr (std::is_same_v<Step, LogoOp>) {
            step.target = scaled(step.target, dpi);
          } else if constexpr (std::is_same_v<Step, ShineOp>) {
            const Rect area = scaled(Rect{step.x, step.y, step.x + step.width, step.y + step.height}, dpi);
            step.x = area.left;
            step.y = area.top;
            step.width = area.right - area.left;
            step.height = area.bottom - area.top;
            step.clip = scaled(step.clip, dpi);
            step.clipRadius = scaled(step.clipRadius, dpi);
          }
        },
        op);
  }
  return scene;
}

}  // namespace velko
