#include "ui/window_logic.h"

#include <gtest/gtest.h>

namespace velko {
namespace {

constexpr UiPhase kAllPhases[] = {UiPhase::Checking,  UiPhase::Ready,  UiPhase::Downloading,
                                  UiPhase::Installing, UiPhase::Completed, UiPhase::Failed,
                                  UiPhase::WaitingForWorkbenchExit};

TEST(HitTest, PrimaryRightEdgeIsInclusiveAt690) {
  EXPECT_EQ(hit_test(690, 536, UiPhase::Ready, true), ButtonId::Primary);
  EXPECT_EQ(hit_test(691, 536, UiPhase::Ready, true), ButtonId::None);
  EXPECT_EQ(hit_test(578, 572, UiPhase::Ready, true), ButtonId::Primary);
  EXPECT_EQ(hit_test(577, 572, UiPhase::Ready, true), ButtonId::None);
  EXPECT_EQ(hit_test(690, 573, UiPhase::Ready, true), ButtonId::None);
}

TEST(HitTest, PrimaryOnlyWhenActionableReadyOrCompleted) {
  for (UiPhase phase : kAllPhases) {
    const bool expected = phase == UiPhase::Ready || phase == UiPhase::Completed;
    EXPECT_EQ(hit_test(690, 536, phase, true) == ButtonId::Primary, expected) << static_cast<int>(phase);
  }
  EXPECT_EQ(hit_test(690, 536, UiPhase::Ready, false), ButtonId::None);
  EXPECT_EQ(hit_test(690, 536, UiPhase::Completed, false), ButtonId::Primary);
}

TEST(HitTest, CloseBoxExceptWhenBusy) {
  for (UiPhase phase : kAllPhases) {
    const ButtonId expected = is_busy(phase) ? ButtonId::None : ButtonId::Close;
    EXPECT_EQ(hit_test(680, 20, phase, true), expected) << static_cast<int>(phase);
    EXPECT_EQ(hit_test(720, 0, phase, true), expected) << static_cast<int>(phase);
    EXPECT_EQ(hit_test(720, 34, phase, true), expected) << static_cast<int>(phase);
  }
  EXPECT_EQ(hit_test(679, 20, UiPhase::Ready, true), ButtonId::None);
  EXPECT_EQ(hit_test(700, 35, UiPhase::Ready, true), ButtonId::None);
  EXPECT_EQ(hit_test(700, -1, UiPhase::Ready, true), ButtonId::None);
}

TEST(HitTest, BrowseAndRecheckExceptWhenBusy) {
  for (UiPhase phase : kAllPhases) {
    const bool busy = is_busy(phase);
    EXPECT_EQ(hit_test(578, 163, phase, true), busy ? ButtonId::None : ButtonId::Browse);
    EXPECT_EQ(hit_test(668, 195, phase, true), busy ? ButtonId::None : ButtonId::Browse);
    EXPECT_EQ(hit_test(468, 536, phase, true), busy ? ButtonId::None : ButtonId::Recheck);
    EXPECT_EQ(hit_test(566, 572, phase, true), busy ? ButtonId::None : ButtonId::Recheck);
  }
  EXPECT_EQ(hit_test(669, 170, UiPhase::Ready, true), ButtonId::None);
  EXPECT_EQ(hit_test(600, 196, UiPhase::Ready, true), ButtonId::None);
  EXPECT_EQ(hit_test(567, 540, UiPhase::Ready, true), ButtonId::None);
  EXPECT_EQ(hit_test(500, 535, UiPhase::Ready, true), ButtonId::None);
}

TEST(HitTest, CursorShapes) {
  EXPECT_FALSE(wants_hand_cursor(ButtonId::Close));
  EXPECT_FALSE(wants_hand_cursor(ButtonId::None));
  EXPECT_TRUE(wants_hand_cursor(ButtonId::Browse));
  EXPECT_TRUE(wants_hand_cursor(ButtonId::Recheck));
  EXPECT_TRUE(wants_hand_cursor(ButtonId::Primary));
}

TEST(NonClientHit, TitleStripDragsTheWindow) {
  EXPECT_EQ(non_client_hit(0, 0, false), NonClientHit::Caption);
  EXPECT_EQ(non_client_hit(679, 33, false), NonClientHit::Caption);
  EXPECT_EQ(non_client_hit(680, 10, false), NonClientHit::Client);  // the close box
  EXPECT_EQ(non_client_hit(100, 34, false), NonClientHit::Client);
  EXPECT_EQ(non_client_hit(619, 43, true), NonClientHit::Caption);
  EXPECT_EQ(non_client_hit(100, 44, true), NonClientHit::Client);
  EXPECT_EQ(non_client_hit(620, 10, true), NonClientHit::Client);
}

}  // namespace
}  // namespace velko
