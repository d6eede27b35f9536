#include "app/window_placement.h"

#include <gtest/gtest.h>

namespace velko {
namespace {

// The installer's frame: 720 × 620 client area, no border.
constexpr int kWidth = 720;
constexpr int kHeight = 620;

void expect_origin(int screenWidth, int screenHeight, int x, int y) {
  const WindowOrigin origin = window_origin(screenWidth, screenHeight, kWidth, kHeight);
  EXPECT_EQ(origin.x, x) << screenWidth << "x" << screenHeight;
  EXPECT_EQ(origin.y, y) << screenWidth << "x" << screenHeight;
}

TEST(WindowOrigin, LargerScreenCentresBothWays) {
  expect_origin(1920, 1080, 600, 230);
  expect_origin(1024, 768, 152, 74);
  // An odd difference rounds down.
  expect_origin(721, 621, 0, 0);
  expect_origin(723, 623, 1, 1);
}

TEST(WindowOrigin, ScreenNoLargerThanTheWindowStartsAtZero) {
  expect_origin(kWidth, kHeight, 0, 0);        // equal both ways
  expect_origin(640, 480, 0, 0);               // smaller both ways
}

TEST(WindowOrigin, EachAxisIsDecidedOnItsOwn) {
  expect_origin(1920, kHeight, 600, 0);        // wider, equal height
  expect_origin(1920, 480, 600, 0);            // wider, lower
  expect_origin(kWidth, 1080, 0, 230);         // equal width, taller
  expect_origin(640, 1080, 0, 230);            // narrower, taller
  expect_origin(640, kHeight, 0, 0);           // narrower, equal height
  expect_origin(kWidth, 480, 0, 0);            // equal width, lower
}

// Screen metrics read as 0 when the system cannot give them.
TEST(WindowOrigin, UnknownScreenStartsAtZero) {
  expect_origin(0, 0, 0, 0);
  expect_origin(-1, -1, 0, 0);
}

}  // namespace
}  // namespace velko
