// In-process tests of the list with real windows.
#include "window/vel_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "window/vel_test_support.h"

namespace korvex {
namespace {

using namespace testing_support;

TEST_F(ListWindowTest, StandardQueriesAgreeWithTheHitTestAndTheMousePoints) {
  VelList* list = MakeList();
  HWND h = list->hwnd();
  EXPECT_EQ(SendMessageA(h, LB_GETCOUNT, 0, 0), 30);
  EXPECT_EQ(SendMessageA(h, LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_EQ(SendMessageA(h, LB_GETTOPINDEX, 0, 0), 0);
  EXPECT_EQ(SendMessageA(h, LB_GETITEMHEIGHT, 0, 0), list->layout().rowHeight());
  EXPECT_GT(list->layout().rowHeight(), 0);
  RECT client;
  GetClientRect(h, &client);
  EXPECT_EQ(list->pageRows(), (client.bottom - list->layout().headerHeight()) / list->layout().rowHeight());
  for (int row : {1, 2, 7}) {
    POINT p = RowPoint(list, row);
    LRESULT item = SendMessageA(h, LB_ITEMFROMPOINT, 0, At(p));
    EXPECT_EQ(LOWORD(item), row - 1);
    EXPECT_EQ(HIWORD(item), 0);
    Press(h, p);
    Release(h, p);
    EXPECT_EQ(list->property(kPropPressRow), row);
    EXPECT_EQ(list->property(kPropReleaseColumn), 2);
    EXPECT_EQ(list->property(kPropPressZone), kZoneRow);
  }
  // The header and the space below the last row.
  LRESULT header = SendMessageA(h, LB_ITEMFROMPOINT, 0, MAKELPARAM(150, 2));
  EXPECT_EQ(HIWORD(header), 1);
  Press(h, POINT{150, 2});
  EXPECT_EQ(list->property(kPropPressRow), 0);
  Release(h, POINT{150, 2});
  rows_.rows.resize(3);
  list->refresh();
  POINT below = RowPoint(list, 5);
  EXPECT_EQ(SendMessageA(h, LB_ITEMFROMPOINT, 0, At(below)), MAKELRESULT(2, 1));
  Press(h, below);
  Release(h, below);
  EXPECT_EQ(list->property(kPropReleaseRow), -1);
  EXPECT_EQ(list->property(kPropReleaseZone), kZoneBelow);
  list->setProperty(kPropReleaseRow, 3);
  EXPECT_EQ(list->property(kPropReleaseRow), 3);
}

TEST_F(ListWindowTest, SelectionSetsTheUseValueAndPostsNewSelection) {
  VelList* list = MakeList(0, "64R(2)|M~Order~C(0)@n-14@80L(2)|M~Name~@S20@?", {}, {});
  HWND h = list->hwnd();
  Press(h, RowPoint(list, 3));
  Release(h, RowPoint(list, 3));
  EXPECT_EQ(list->selected(), 2);
  EXPECT_EQ(SendMessageA(h, LB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(list->useValue(), "Name 03");  // the "?" column
  EXPECT_EQ(events_.codes(), std::vector<EventCode>{kEventNewSelection});
  SendMessageA(h, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(list->selected(), 3);
  SendMessageA(h, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(events_.codes(),
            (std::vector<EventCode>{kEventNewSelection, kEventNewSelection, kEventAccepted}));
  // The program's own selection posts nothing; an empty list has an empty value.
  events_.events.clear();
  list->select(0);
  EXPECT_EQ(list->useValue(), "Name 01");
  EXPECT_TRUE(events_.events.empty());
  rows_.rows.clear();
  list->refresh();
  EXPECT_EQ(list->selected(), -1);
  EXPECT_EQ(list->useValue(), "");
  // A "#n#" beyond the queue's fields shows an empty cell.
  EXPECT_EQ(list->setFormat("20L#9#?"), 0);
  rows_ = MakeRows(2);
  list->refresh();
  list->select(1);
  EXPECT_EQ(list->useValue(), "");
  EXPECT_EQ(list->setFormat("20X"), 3);
  EXPECT_EQ(list->getFormat(), "20L#9#?");
}

TEST_F(ListWindowTest, ImmediateModeTurnsKeysAndTheScrollBarIntoEvents) {
  VelList* list = MakeList(kListImmediate);
  HWND h = list->hwnd();
  SendMessageA(h, WM_KEYDOWN, VK_NEXT, 0);
  SendMessageA(h, WM_KEYDOWN, VK_HOME, 0);
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  SendMessageA(h, WM_KEYDOWN, VK_NEXT, 0);
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  SendMessageA(h, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 40), 0);
  EXPECT_EQ(GetScrollPos(h, SB_VERT), 40);
  SendMessageA(h, WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
  EXPECT_EQ(events_.codes(), (std::vector<EventCode>{kEventPageDown, kEventScrollTop,
                                                     kEventScrollBottom, kEventScrollTrack,
                                                     kEventScrollDown}));
  EXPECT_EQ(list->topRow(), 0);  // the list itself did not scroll

  // A typed key goes to the program first; only outcome 1 lets the list locate.
  events_.events.clear();
  SendMessageA(h, WM_CHAR, 'n', 0);
  EXPECT_EQ(events_.events, (std::vector<Recorded>{{1, kEventAlertKey, true}}));
  events_.outcome = 1;
  SendMessageA(h, WM_CHAR, 'n', 0);
  EXPECT_EQ(events_.codes(),
            (std::vector<EventCode>{kEventAlertKey, kEventAlertKey, kEventLocate}));
}

TEST_F(ListWindowTest, LocalModeScrollsAndSearchesItsOwnRows) {
  VelList* list = MakeList(0, "64R(2)|M~Order~C(0)@n-14@80L(2)|M~Name~@S20@?", {}, {});
  HWND h = list->hwnd();
  SendMessageA(h, WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), 0);
  EXPECT_GT(list->topRow(), 0);
  EXPECT_EQ(SendMessageA(h, LB_GETTOPINDEX, 0, 0), list->topRow());
  SendMessageA(h, WM_CHAR, 'n', 0);
  SendMessageA(h, WM_CHAR, 'a', 0);
  EXPECT_EQ(list->selected(), 0);
  EXPECT_EQ(list->topRow(), 0);  // scrolled back to show the found row
}

TEST_F(ListWindowTest, WideColumnsScrollSidewaysUnderTheFixedOne) {
  VelList* list = MakeList(0, "40LF|200L|200L|", {}, {});
  HWND h = list->hwnd();
  MoveWindow(h, 20, 40, 300, 200, TRUE);
  Pump();
  SCROLLINFO si = {sizeof si, SIF_ALL};
  ASSERT_TRUE(GetScrollInfo(h, SB_HORZ, &si));
  const ListLayout& layout = list->layout();
  EXPECT_EQ(si.nMax, layout.totalWidth() - layout.fixedRight() - 1);
  SendMessageA(h, WM_HSCROLL, MAKEWPARAM(SB_RIGHT, 0), 0);
  RECT client;
  GetClientRect(h, &client);
  EXPECT_EQ(list->scrollX(), layout.totalWidth() - client.right);
  EXPECT_EQ(GetScrollPos(h, SB_HORZ), list->scrollX());
  int y = RowPoint(list, 1).y;
  Press(h, POINT{5, y});
  EXPECT_EQ(list->property(kPropPressColumn), 1);  // the fixed column stays in place
  Press(h, POINT{client.right - 5, y});
  EXPECT_EQ(list->property(kPropPressColumn), 3);
  Press(h, POINT{layout.fixedRight() + 2, y});
  EXPECT_EQ(list->property(kPropPressColumn), 3);  // column 2 has passed under the fixed one
  SendMessageA(h, WM_HSCROLL, MAKEWPARAM(SB_LEFT, 0), 0);
  EXPECT_EQ(list->scrollX(), 0);
  SendMessageA(h, WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), 0);
  EXPECT_GT(list->scrollX(), 0);
  Press(h, POINT{layout.fixedRight() + 2, y});
  EXPECT_EQ(list->property(kPropPressColumn), 2);  // column 2 shows all but its left edge
}

TEST_F(ListWindowTest, ColumnResizeLimitsAndTheWrittenFormat) {
  VelList* list = MakeList();
  HWND h = list->hwnd();
  const ColumnBox first = list->layout().columns()[0];
  int edge = first.left + first.width;
  // Dragging the right edge to the left of the column's left edge: 15 pixels.
  Press(h, POINT{edge - 1, 5});
  Release(h, POINT{first.left - 30, 5});
  EXPECT_EQ(list->layout().columns()[0].width, 15);
  EXPECT_EQ(list->layout().columns()[1].left, 15);
  EXPECT_EQ(events_.codes(), std::vector<EventCode>{kEventColumnResize});
  // Only the width changes in the written format, in dialog units.
  std::string written = list->getFormat();
  EXPECT_EQ(written.substr(written.find('R')), std::string(kShuffleFormat).substr(2));
  EXPECT_EQ(std::stoi(written), list->format().columns[0].width);
  EXPECT_NEAR(list->format().columns[0].width, 15.0 * 64 / first.width, 1.0);
  // Wider again: the pixels the mouse gave, the dialog units written back.
  Press(h, POINT{15 + 2, 5});
  Release(h, POINT{120, 5});
  EXPECT_EQ(list->layout().columns()[0].width, 120);
  EXPECT_NEAR(list->format().columns[0].width, 120.0 * 64 / first.width, 1.0);
  // A column without "M" has no grab zone: the press selects a row instead.
  events_.events.clear();
  VelList* fixed = MakeList(0, "40L|40L", {}, {});
  int fixed_edge = fixed->layout().columns()[0].width;
  Press(fixed->hwnd(), POINT{fixed_edge, RowPoint(fixed, 1).y});
  Release(fixed->hwnd(), POINT{fixed_edge - 30, RowPoint(fixed, 1).y});
  EXPECT_EQ(fixed->layout().columns()[0].width, fixed_edge);
  EXPECT_EQ(events_.codes(), std::vector<EventCode>{kEventNewSelection});
}

TEST_F(ListWindowTest, PaintingAPageAndRepaintingOnlyTheChangedRows) {
  VelList* list = MakeList();
  HWND h = list->hwnd();
  ASSERT_GE(list->visibleRows(), 20);
  double slowest = 0;
  for (int i = 0; i < 10; ++i) {
    InvalidateRect(h, nullptr, FALSE);
    UpdateWindow(h);
    slowest = std::max(slowest, list->lastPaintMilliseconds());
  }
  EXPECT_GE(list->lastPaintedRows(), 20);
  std::printf("list page of %d rows: slowest of 10 paints %.2f ms\n", list->lastPaintedRows(),
              slowest);
  EXPECT_LT(slowest, 20.0);
  list->select(2);
  UpdateWindow(h);
  int before = list->paintCount();
  list->select(6);
  UpdateWindow(h);
  EXPECT_EQ(list->paintCount(), before + 1);
  EXPECT_EQ(list->lastPaintedRows(), 2);
  std::printf("selection change: %d rows repainted in %.2f ms\n", list->lastPaintedRows(),
              list->lastPaintMilliseconds());
}

}  // namespace
}  // namespace korvex
