#include "window/core/list_layout.h"

#include <gtest/gtest.h>

#include "window/core/list_hit.h"
#include "window/core/list_keys.h"

namespace korvex {
namespace {

// 6 x 13 font: one dialog unit across is 1.5 pixels.
ListMetrics Metrics() {
  ListMetrics m;
  m.duBaseX = 6;
  m.duDivisorX = 4;
  m.fontHeight = 13;
  m.borderWidth = 1;
  return m;
}

ListFormat Shuffle() {
  return *ParseListFormat(
      "64R(2)|M~Order~C(0)@n-14@80L(2)|M~Name~@S20@80L(2)|M~Suburb~@s20@80L(2)|M~Phone~@s20@");
}

TEST(ListLayout, ColumnsFromDialogUnitsAndHeightsFromTheFont) {
  ListLayout layout(Shuffle(), Metrics());
  ASSERT_EQ(layout.columns().size(), 4u);
  EXPECT_EQ(layout.columns()[0].left, 0);
  EXPECT_EQ(layout.columns()[0].width, 96);
  EXPECT_EQ(layout.columns()[1].left, 96);
  EXPECT_EQ(layout.columns()[3].left, 96 + 240);
  EXPECT_EQ(layout.totalWidth(), 96 + 360);
  EXPECT_EQ(layout.rowHeight(), 13 + kRowLinePadding);
  EXPECT_EQ(layout.headerHeight(), 13 + kHeaderLinePadding);
  EXPECT_EQ(layout.rowsPerPage(19 + 15 * 20 + 7), 20);
  EXPECT_EQ(layout.rowsPerPage(0), 1);
  // No header text: no header band.
  EXPECT_EQ(ListLayout(*ParseListFormat("20L"), Metrics()).headerHeight(), 0);
  // A zero font never gives a zero row height.
  ListMetrics zero = Metrics();
  zero.fontHeight = 0;
  zero.duDivisorX = 0;
  ListLayout degenerate(Shuffle(), zero);
  EXPECT_GT(degenerate.rowHeight(), 0);
}

TEST(ListLayout, GroupsStackTheirLinesAndCountFixedAndScrollColumns) {
  ListLayout layout(*ParseListFormat("10LF[20L/30LS]8L5L"), Metrics());
  const auto& c = layout.columns();
  ASSERT_EQ(c.size(), 4u);
  EXPECT_EQ(c[1].left, 15);
  EXPECT_EQ(c[2].left, 15);   // second line starts at the group's left
  EXPECT_EQ(c[2].line, 1);
  EXPECT_EQ(c[3].left, 15 + 45);  // the group is as wide as its widest line
  EXPECT_EQ(layout.linesPerRow(), 2);
  EXPECT_EQ(layout.rowHeight(), 2 * layout.lineHeight());
  EXPECT_EQ(layout.fixedColumns(), 1);
  EXPECT_TRUE(layout.anyScroll());
}

TEST(ListLayout, ResizeKeepsDialogUnitsUntilResizedAndNeverGoesBelowFifteenPixels) {
  ListFormat f = Shuffle();
  ListMetrics m = Metrics();
  EXPECT_EQ(ResizedColumnWidth(96, 90), kMinColumnPixels);  // dragged left of the left edge
  EXPECT_EQ(ResizedColumnWidth(96, 150), 54);
  ApplyColumnResize(&f.columns[1], 60, m);
  EXPECT_EQ(f.columns[1].width, 40);
  ListLayout layout(f, m);
  EXPECT_EQ(layout.columns()[1].width, 60);
  EXPECT_EQ(layout.columns()[2].left, 156);
  // A width that does not convert exactly keeps the user's pixels on screen.
  ApplyColumnResize(&f.columns[0], 61, m);
  EXPECT_EQ(ListLayout(f, m).columns()[0].width, 61);
  EXPECT_EQ(WriteListFormat(f).substr(0, 3), "41R");
}

TEST(ListHitTest, HeaderRowsBelowColumnsAndTheGrabZone) {
  ListFormat f = Shuffle();
  ListLayout layout(f, Metrics());
  ListView view;
  view.clientWidth = 400;
  view.clientHeight = 200;
  view.rowsShown = 5;
  int header = layout.headerHeight();
  int row = layout.rowHeight();

  ListHit hit = HitTestList(layout, f, view, 10, 3);
  EXPECT_EQ(hit.row, kRowHeader);
  EXPECT_EQ(hit.zone, kZoneHeader);
  EXPECT_EQ(hit.column, 1);
  EXPECT_EQ(HitTestList(layout, f, view, 10, -40).row, kRowHeader);  // captured, above the list

  hit = HitTestList(layout, f, view, 100, header + row + 1);
  EXPECT_EQ(hit.row, 2);
  EXPECT_EQ(hit.column, 2);
  EXPECT_EQ(hit.zone, kZoneRow);
  EXPECT_EQ(HitTestList(layout, f, view, 100, header + 5 * row - 1).row, 5);
  hit = HitTestList(layout, f, view, 100, header + 5 * row);  // past the last row of the page
  EXPECT_EQ(hit.row, kRowBelow);
  EXPECT_EQ(hit.zone, kZoneBelow);
  EXPECT_EQ(HitTestList(layout, f, view, 100, 200).row, kRowBelow);  // below the client area
  EXPECT_EQ(HitTestList(layout, f, view, 1000, header + 1).column, 0);

  // Within three border widths of column 1's right edge (x = 96).
  EXPECT_EQ(HitTestList(layout, f, view, 93, header + 1).resizeColumn, 0);
  EXPECT_EQ(HitTestList(layout, f, view, 99, 2).zone, kZoneResize);
  EXPECT_EQ(HitTestList(layout, f, view, 92, header + 1).resizeColumn, -1);
  EXPECT_EQ(HitTestList(layout, f, view, 100, header + 1).resizeColumn, -1);
  // Horizontal scrolling moves the columns under the point.
  view.scrollX = 96;
  EXPECT_EQ(HitTestList(layout, f, view, 0, header + 1).column, 2);
  // A fixed column stays in place; the scrolled ones pass under it.
  ListFormat fixed_first = *ParseListFormat("20LF40LM40L");
  ListLayout fl(fixed_first, Metrics());
  EXPECT_EQ(fl.fixedRight(), 30);
  ListView scrolled{400, 200, 5, 50, 1};
  EXPECT_EQ(HitTestList(fl, fixed_first, scrolled, 10, header + 1).column, 1);
  EXPECT_EQ(HitTestList(fl, fixed_first, scrolled, 31, header + 1).column, 2);  // 81 - 50
  EXPECT_EQ(HitTestList(fl, fixed_first, scrolled, 41, header + 1).column, 3);
  // Column 2's edge at 90 - 50 = 40 is grabbable; scrolled under the fixed column it is not.
  EXPECT_EQ(HitTestList(fl, fixed_first, scrolled, 40, header + 1).resizeColumn, 1);
  scrolled.scrollX = 70;
  EXPECT_EQ(HitTestList(fl, fixed_first, scrolled, 20, header + 1).resizeColumn, -1);
  // A column without "M" has no grab zone.
  ListFormat fixed = *ParseListFormat("20L20L");
  EXPECT_EQ(HitTestList(ListLayout(fixed, Metrics()), fixed, ListView{100, 100, 1, 0, 1}, 30, 1)
                .resizeColumn,
            -1);
}

TEST(ListKeys, ImmediateModeKeysAndScrollCodes) {
  EXPECT_EQ(ImmediateKeyEvent(kVkPageDown, false), kEventPageDown);
  EXPECT_EQ(ImmediateKeyEvent(kVkPageDown, true), kEventScrollBottom);
  EXPECT_EQ(ImmediateKeyEvent(kVkPageUp, true), kEventScrollTop);
  EXPECT_EQ(ImmediateKeyEvent(kVkHome, false), kEventScrollTop);
  EXPECT_EQ(ImmediateKeyEvent(kVkEnd, true), kEventScrollBottom);
  EXPECT_EQ(ImmediateKeyEvent(kVkUp, false), kEventScrollUp);
  EXPECT_EQ(ImmediateKeyEvent('A', false), 0);
  EXPECT_EQ(ImmediateScrollEvent(5), kEventScrollTrack);
  EXPECT_EQ(ImmediateScrollEvent(4), kEventScrollDrag);
  EXPECT_EQ(ImmediateScrollEvent(7), kEventScrollBottom);
  EXPECT_EQ(ImmediateScrollEvent(8), 0);
}

}  // namespace
}  // namespace korvex
