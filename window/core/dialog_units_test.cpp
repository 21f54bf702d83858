#include "window/core/dialog_units.h"

#include <gtest/gtest.h>

#include <climits>

#include "window/core/resource_format.h"
#include "window/core/resource_style.h"

namespace korvex::rsc {
namespace {

TEST(DialogUnits, MulDivRoundsHalfAwayFromZeroAndReportsOverflow) {
  EXPECT_EQ(MulDivRounded(5, 1, 2), 3);
  EXPECT_EQ(MulDivRounded(-5, 1, 2), -3);
  EXPECT_EQ(MulDivRounded(5, -1, 2), -3);
  EXPECT_EQ(MulDivRounded(4, 1, 3), 1);
  EXPECT_EQ(MulDivRounded(1, 1, 0), -1);
  EXPECT_EQ(MulDivRounded(INT_MAX, 4, 2), -1);
  EXPECT_EQ(MulDivRounded(INT_MAX, 2, 2), INT_MAX);
}

TEST(DialogUnits, ConvertWithTheFontBaseAndTreatDefaultAsZero) {
  // "MS Sans Serif" 8 points: 6 x 13 pixels.
  const DialogUnits units(6, 13);
  EXPECT_EQ(units.ToPixelsX(330), 495);
  EXPECT_EQ(units.ToPixelsY(251), 408);
  EXPECT_EQ(units.ToPixelsX(kDefaultCoordinate), 0);
  EXPECT_EQ(units.ToPixelsY(kDefaultCoordinate), 0);
  EXPECT_EQ(units.ToUnitsX(495), 330);
  EXPECT_EQ(units.ToUnitsY(408), 251);
  EXPECT_EQ(units.ToPixelsX(-4), -6);
  EXPECT_EQ(DialogUnits(0, 0).ToUnitsX(10), -1);
  // The 52 letters of an 8-point face are 312 pixels wide: 6 on average.
  EXPECT_EQ(AverageCharWidth(312), 6);
  EXPECT_EQ(AverageCharWidth(338), 7);  // 6.5 rounds up
}

TEST(WindowStyle, FlagsSelectTheBorderBoxesAndCaption) {
  // The shuffle window: no title, second word 0x7064 (system, gray, resize, max, ...).
  const WindowStyle shuffle = WindowStyleOf(0x0800, 0x7064, false, false);
  EXPECT_EQ(shuffle.style & kWsCaption, 0u);
  EXPECT_NE(shuffle.style & kWsPopup, 0u);
  EXPECT_NE(shuffle.style & kWsThickFrame, 0u);
  EXPECT_NE(shuffle.style & kWsMaximizeBox, 0u);
  EXPECT_NE(shuffle.style & kWsClipChildren, 0u);
  EXPECT_EQ(shuffle.style & kWsDlgFrame, 0u);
  // The frame: a titled application window with a system menu.
  const WindowStyle frame = WindowStyleOf(0x0810, 0x1840, true, false);
  EXPECT_EQ(frame.style & kWsCaption, kWsCaption);
  EXPECT_EQ(frame.style & kWsPopup, 0u);
  EXPECT_NE(frame.style & kWsSysMenu, 0u);
  EXPECT_NE(frame.style & kWsMinimizeBox, 0u);
  // Not resizable but double-bordered: a dialog frame; an MDI child is a child.
  const WindowStyle dialog = WindowStyleOf(0, kWin2Double, true, true);
  EXPECT_NE(dialog.style & kWsChild, 0u);
  EXPECT_NE(dialog.style & kWsDlgFrame, 0u);
  EXPECT_EQ(dialog.ex_style, kWsExDlgModalFrame);
  EXPECT_EQ(WindowStyleOf(0, 0, false, false).style, kWsClipChildren | kWsPopup | kWsBorder);
}

}  // namespace
}  // namespace korvex::rsc
