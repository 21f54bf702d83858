// The sheet on the system tab control: changing tabs, refusals and visibility.
#include "window/vel_sheet.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <vector>

#include "window/vel_test_support.h"

namespace korvex {
namespace {

using namespace testing_support;

class SheetTest : public ListWindowTest {
 protected:
  void SetUp() override {
    ListWindowTest::SetUp();
    list_ = MakeList();  // created first, like the shuffle window's list
    SheetSetup setup;
    setup.field = 2;
    setup.rect = RECT{10, 10, 540, 420};
    sheet_ = VelSheet::Create(window_, setup);
    ASSERT_NE(sheet_, nullptr);
    int order = sheet_->addTab(3, "By Order", false, "Sorted by order number");
    sheet_->addControl(order, Text(4, 20));
    sheet_->addControl(order, Text(5, 405));
    int name = sheet_->addTab(6, "By Name");
    sheet_->addControl(name, Text(7, 20));
    sheet_->addControl(name, Text(8, 405));
    UpdateWindow(window_);
    Pump();
    events_.events.clear();
  }

  HWND Text(int field, int y) {
    return CreateWindowExA(0, "STATIC", "text", WS_CHILD | WS_VISIBLE, 150, y, 200, 14, window_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(field)),
                           GetModuleHandleA(nullptr), nullptr);
  }
  bool Visible(int field) { return IsWindowVisible(GetDlgItem(window_, field)) != FALSE; }

  void ClickTab(int index) {
    RECT r;
    SendMessageA(sheet_->tabControl(), TCM_GETITEMRECT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&r));
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(sheet_->tabControl(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(sheet_->tabControl(), WM_LBUTTONUP, 0, at);
    Pump();
  }

  VelList* list_ = nullptr;
  VelSheet* sheet_ = nullptr;
};

TEST_F(SheetTest, ChangingTabSendsTabChangingThenPostsNewSelection) {
  EXPECT_EQ(sheet_->choice(), 1);
  EXPECT_TRUE(Visible(4));
  EXPECT_FALSE(Visible(7));
  ClickTab(1);
  EXPECT_EQ(events_.events, (std::vector<Recorded>{{2, kEventTabChanging, true},
                                                   {2, kEventNewSelection, false}}));
  EXPECT_EQ(sheet_->choice(), 2);
  EXPECT_FALSE(Visible(4));
  EXPECT_FALSE(Visible(5));
  EXPECT_TRUE(Visible(7));
  EXPECT_TRUE(Visible(8));
  EXPECT_TRUE(IsWindowVisible(list_->hwnd()));  // not on a tab
}

TEST_F(SheetTest, RefusedChangesKeepTheTab) {
  events_.outcome = 1;
  ClickTab(1);
  EXPECT_EQ(events_.events, (std::vector<Recorded>{{2, kEventTabChanging, true}}));
  EXPECT_EQ(sheet_->choice(), 1);
  EXPECT_EQ(SendMessageA(sheet_->tabControl(), TCM_GETCURSEL, 0, 0), 0);
  EXPECT_TRUE(Visible(4));

  // A checked tab whose control fails its check refuses with a beep and focuses it.
  events_.outcome = 0;
  int third = sheet_->addTab(9, "Checked", /*check_on_leave=*/true);
  sheet_->addControl(third, Text(10, 200));
  sheet_->select(3);
  sheet_->checkControls = [](const std::vector<int>& controls) { return controls.back(); };
  events_.events.clear();
  ClickTab(0);
  EXPECT_EQ(events_.events, (std::vector<Recorded>{{2, kEventTabChanging, true}}));
  EXPECT_EQ(sheet_->choice(), 3);
  EXPECT_EQ(GetFocus(), GetDlgItem(window_, 10));
  sheet_->checkControls = [](const std::vector<int>&) { return 0; };
  ClickTab(0);
  EXPECT_EQ(sheet_->choice(), 1);
}

TEST_F(SheetTest, ControlsOfAHiddenTabStayHiddenAndTheSheetStaysBelow) {
  ClickTab(1);
  SetControlVisible(GetDlgItem(window_, 4), true);  // the timer shows a text of tab 1
  EXPECT_FALSE(Visible(4));
  SetControlVisible(GetDlgItem(window_, 8), false);
  EXPECT_FALSE(Visible(8));
  sheet_->select(1);
  EXPECT_TRUE(Visible(4));
  EXPECT_FALSE(Visible(7) && Visible(8));
  // The sheet lies below the list and clips its siblings.
  EXPECT_EQ(GetWindow(sheet_->hwnd(), GW_HWNDNEXT), nullptr);
  EXPECT_NE(GetWindowLongA(sheet_->hwnd(), GWL_STYLE) & WS_CLIPSIBLINGS, 0);
}

}  // namespace
}  // namespace korvex
