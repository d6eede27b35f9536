#pragma once

namespace velko {

struct WindowOrigin {
  int x;
  int y;
};

// Where the window's top-left corner goes on the primary screen, one axis at a time: centred where
// the screen is larger than the window, at 0 otherwise. Never left to the system: a pop-up window
// given CW_USEDEFAULT is not placed at all and can end up far off screen; at 0 the top-left part
// of the window, with its title and first controls, stays visible.
WindowOrigin window_origin(int screenWidth, int screenHeight, int windowWidth, int windowHeight);

}  // namespace velko
