// The component table: every kind after Generic has exactly one row, in kind order, and the
// choices that follow it (the next component, the missing count) read it the same way.
#include <gtest/gtest.h>

#include "model/component_kind.h"

namespace velko {
namespace {

TEST(ComponentTable, EveryKindHasOneRowInOrder) {
  ASSERT_EQ(kComponentKindCount, kComponentTable.size() + 1);
  EXPECT_EQ(find_component(ComponentKind::Generic), nullptr);
  for (std::size_t index = 1; index < kComponentKindCount; ++index) {
    const auto kind = static_cast<ComponentKind>(index);
    const ComponentRow* row = find_component(kind);
    ASSERT_NE(row, nullptr) << index;
    EXPECT_EQ(row, &kComponentTable[index - 1]) << index;
  }
  EXPECT_EQ(find_component(static_cast<ComponentKind>(kComponentKindCount)), nullptr);
  EXPECT_EQ(find_component(static_cast<ComponentKind>(-1)), nullptr);
}

// For each installable row missing while every earlier one is present, that row is next and the
// missing count is the number of installable rows from it on.
TEST(ComponentTable, NextComponentIsTheFirstMissingInstallableRow) {
  ComponentStatuses statuses;
  for (const ComponentRow& row : kComponentTable) {
    if (!is_installable(row)) continue;
    EXPECT_EQ(next_component(statuses), row.kind);
    statuses[row.kind].present = true;
  }
  EXPECT_EQ(count_missing_components(statuses), 0);
  EXPECT_EQ(next_component(statuses), kComponentTable.back().kind);
  statuses[ComponentKind::Workbench].present = false;
  EXPECT_EQ(count_missing_components(statuses), 1);
  EXPECT_EQ(next_component(statuses), ComponentKind::Workbench);
}

TEST(ComponentTable, StatusesOutsideTheEnumerationReadAsNothing) {
  ComponentStatuses statuses;
  statuses[ComponentKind::Workbench] = {true, true};
  EXPECT_EQ(statuses.at(static_cast<ComponentKind>(kComponentKindCount)), ComponentStatus{});
  EXPECT_EQ(statuses.find(static_cast<ComponentKind>(-1)), nullptr);
  EXPECT_EQ(statuses.at(ComponentKind::Workbench), (ComponentStatus{true, true}));
}

}  // namespace
}  // namespace velko
