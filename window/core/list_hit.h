// Which row, column and zone of the list lie under a point of its client area.
#pragma once

#include <cstdint>

#include "window/core/list_layout.h"

namespace korvex {

// The zone byte the list remembers with each mouse point.
enum ListZone : uint8_t {
  kZoneNone = 0,
  kZoneHeader = 1,
  kZoneRow = 2,
  kZoneBelow = 3,    // below the client area or past the last row of the page
  kZoneResize = 4,   // on the right edge of a column that the mouse may resize
};

constexpr int kRowHeader = 0;  // row of a point on the header
constexpr int kRowBelow = -1;  // row of a point below the last row

struct ListHit {
  int row = kRowBelow;    // 1-based within the shown page, kRowHeader or kRowBelow
  int column = 0;         // 1-based, 0 when the point lies in no column
  uint8_t zone = kZoneNone;
  int resizeColumn = -1;  // 0-based column whose right edge is within the grab zone, else -1
};

struct ListView {
  int clientWidth = 0;
  int clientHeight = 0;
  int rowsShown = 0;     // rows with data on the page, from the top
  int scrollX = 0;       // pixels scrolled horizontally
  int borderWidth = 1;   // SM_CXBORDER; the grab zone is three of these on each side
};

ListHit HitTestList(const ListLayout& layout, const ListFormat& format, const ListView& view,
                    int x, int y);

}  // namespace korvex
