#include "app/window_placement.h"

namespace velko {
namespace {

int axis_position(int screen, int size) { return screen > size ? (screen - size) / 2 : 0; }

}  // namespace

WindowOrigin window_origin(int screenWidth, int screenHeight, int windowWidth, int windowHeight) {
  return WindowOrigin{axis_position(screenWidth, windowWidth), axis_position(screenHeight, windowHeight)};
}

}  // namespace velko
