#include "window/core/sheet_model.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

// The shuffle window: tab 3 "By Order" with texts 4 and 5, tab 6 "By Name" with 7 and 8.
SheetModel Shuffle() {
  SheetModel sheet;
  int order = sheet.addTab(3, "By Order");
  sheet.addControl(order, 4);
  sheet.addControl(order, 5);
  int name = sheet.addTab(6, "By Name");
  sheet.addControl(name, 7);
  sheet.addControl(name, 8);
  return sheet;
}

int NoFailure(const std::vector<int>&) { return 0; }

TEST(SheetModel, ChangeHidesTheOldTabThenShowsTheNewOne) {
  SheetModel sheet = Shuffle();
  EXPECT_EQ(sheet.current(), 0);
  EXPECT_TRUE(sheet.isVisible(4));
  EXPECT_FALSE(sheet.isVisible(7));
  EXPECT_TRUE(sheet.isVisible(1));  // not on a tab: the list stays visible

  SheetModel::Leave leave = sheet.beginChange(0, NoFailure);
  EXPECT_EQ(leave.verdict, SheetModel::Verdict::kAllowed);
  EXPECT_EQ(leave.changed, (std::vector<int>{4, 5}));
  EXPECT_FALSE(sheet.isVisible(4));
  EXPECT_EQ(sheet.finishChange(1), (std::vector<int>{7, 8}));
  EXPECT_EQ(sheet.current(), 1);
  EXPECT_TRUE(sheet.isVisible(8));
  EXPECT_EQ(sheet.tabOf(8), 1);
  EXPECT_EQ(sheet.tabOf(1), -1);
}

TEST(SheetModel, RefusalsKeepTheCurrentTab) {
  SheetModel sheet = Shuffle();
  SheetModel::Leave leave = sheet.beginChange(1, NoFailure);
  EXPECT_EQ(leave.verdict, SheetModel::Verdict::kRefusedByProgram);
  EXPECT_TRUE(leave.changed.empty());
  EXPECT_TRUE(sheet.isVisible(4));
  EXPECT_EQ(sheet.current(), 0);

  SheetModel checked;
  int tab = checked.addTab(1, "A", /*check_on_leave=*/true);
  checked.addControl(tab, 2);
  checked.addControl(tab, 3);
  checked.addTab(4, "B");
  std::vector<int> asked;
  leave = checked.beginChange(0, [&](const std::vector<int>& controls) {
    asked = controls;
    return 3;
  });
  EXPECT_EQ(leave.verdict, SheetModel::Verdict::kRefusedByCheck);
  EXPECT_EQ(leave.focusControl, 3);
  EXPECT_EQ(asked, (std::vector<int>{2, 3}));
  EXPECT_TRUE(checked.isVisible(2));
  // A change that the system drops shows the old tab again.
  checked.beginChange(0, NoFailure);
  EXPECT_EQ(checked.finishChange(7), (std::vector<int>{2, 3}));
  EXPECT_EQ(checked.current(), 0);
}

TEST(SheetModel, AControlOfAHiddenTabStaysHiddenWhenTheProgramShowsIt) {
  SheetModel sheet = Shuffle();
  // The timer blinks: hide 4 and 7, show 5 and 8.
  sheet.setOwnVisible(4, false);
  sheet.setOwnVisible(7, false);
  sheet.setOwnVisible(8, true);
  EXPECT_FALSE(sheet.isVisible(8));  // tab "By Name" is not current
  sheet.setOwnVisible(7, true);
  EXPECT_FALSE(sheet.isVisible(7));
  // Switching shows the new tab's controls as their own flags say.
  EXPECT_EQ(sheet.select(1), (std::vector<int>{5, 7, 8}));
  EXPECT_TRUE(sheet.isVisible(7));
  EXPECT_FALSE(sheet.isVisible(4));
  EXPECT_TRUE(sheet.select(9).empty());
  sheet.setOwnVisible(1, false);
  EXPECT_FALSE(sheet.isVisible(1));
}

}  // namespace
}  // namespace korvex
