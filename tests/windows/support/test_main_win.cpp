// The entry point of every Windows test program: a copy started to play an outside program does
// so without running a test.
#include <gtest/gtest.h>

#include "support/child_role.h"

int main(int argc, char** argv) {
  if (const auto exitCode = velko::test::play_child_role()) {
    // A failed check of a support helper the part called fails the part.
    return ::testing::UnitTest::GetInstance()->ad_hoc_test_result().Failed() ? 1 : *exitCode;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
