// The drop-down form: opening, taking a row with the mouse, and Esc.
#include "window/vel_drop.h"

#include <gtest/gtest.h>

#include <vector>

#include "window/vel_test_support.h"

namespace korvex {
namespace {

using namespace testing_support;

TEST_F(ListWindowTest, DropDownTakesAClickedRowAndEscKeepsTheOldOne) {
  ListSetup setup;
  setup.field = 3;
  setup.rect = RECT{20, 40, 220, 62};
  setup.format = "80L(2)~Name~@S20@#2#?";
  setup.rows = &rows_;
  VelDrop* drop = VelDrop::Create(window_, setup, 6);
  ASSERT_NE(drop, nullptr);
  EXPECT_EQ(VelDrop::FromHandle(drop->hwnd()), drop);
  Pump();
  events_.events.clear();

  RECT client;
  GetClientRect(drop->hwnd(), &client);
  LPARAM button = MAKELPARAM(client.right - 3, client.bottom / 2);
  SendMessageA(drop->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, button);
  EXPECT_TRUE(drop->droppedDown());
  RECT row = drop->list()->rowRect(1);
  SendMessageA(drop->list()->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON,
               MAKELPARAM(20, (row.top + row.bottom) / 2));
  SendMessageA(drop->list()->hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(20, (row.top + row.bottom) / 2));
  Pump();
  EXPECT_FALSE(drop->droppedDown());
  EXPECT_EQ(drop->selected(), 1);
  EXPECT_EQ(drop->text(), "Name 02");
  EXPECT_EQ(events_.codes(), (std::vector<EventCode>{kEventDroppingDown, kEventNewSelection,
                                                     kEventAccepted, kEventDroppedDown}));

  events_.events.clear();
  SendMessageA(drop->hwnd(), WM_KEYDOWN, VK_F4, 0);
  EXPECT_TRUE(drop->droppedDown());
  SendMessageA(drop->list()->hwnd(), WM_KEYDOWN, VK_DOWN, 0);
  SendMessageA(drop->list()->hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
  Pump();
  EXPECT_FALSE(drop->droppedDown());
  EXPECT_EQ(drop->selected(), 1);
  EXPECT_EQ(events_.codes(),
            (std::vector<EventCode>{kEventDroppingDown, kEventNewSelection, kEventDroppedDown}));
}

}  // namespace
}  // namespace korvex
