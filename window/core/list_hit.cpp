#include "window/core/list_hit.h"

#include <algorithm>
#include <cstdlib>

namespace korvex {

ListHit HitTestList(const ListLayout& layout, const ListFormat& format, const ListView& view,
                    int x, int y) {
  ListHit hit;
  int line = 0;
  // Anything above the bottom of the header (also above the list, while the mouse is
  // captured) is the header.
  if (y < layout.headerHeight() || y < 0) {
    hit.row = kRowHeader;
    hit.zone = kZoneHeader;
    int header_line = layout.headerHeight() / std::max(1, layout.linesPerRow());
    line = (y < 0 || header_line <= 0) ? 0 : y / header_line;
  } else if (y >= view.clientHeight) {
    hit.zone = kZoneBelow;
  } else {
    int offset = y - layout.headerHeight();
    int index = offset / layout.rowHeight();  // rowHeight() is never 0
    if (index >= view.rowsShown) {
      hit.zone = kZoneBelow;
    } else {
      hit.row = index + 1;
      hit.zone = kZoneRow;
      line = (offset % layout.rowHeight()) / layout.lineHeight();
    }
  }
  int ax = x + view.scrollX;
  const auto& boxes = layout.columns();
  for (size_t i = 0; i < boxes.size(); ++i) {
    if (boxes[i].line == line && ax >= boxes[i].left && ax < boxes[i].left + boxes[i].width) {
      hit.column = static_cast<int>(i) + 1;
      break;
    }
  }
  // The nearest resizable right edge within the grab zone (ties go to the left column).
  int grab = 3 * std::max(1, view.borderWidth);
  int best = grab + 1;
  for (size_t i = 0; i < boxes.size() && i < format.columns.size(); ++i) {
    if (!format.columns[i].canMouseResize()) continue;
    int distance = std::abs(ax - (boxes[i].left + boxes[i].width));
    if (distance <= grab && distance < best) {
      best = distance;
      hit.resizeColumn = static_cast<int>(i);
    }
  }
  if (hit.resizeColumn >= 0 && hit.zone != kZoneBelow) hit.zone = kZoneResize;
  return hit;
}

}  // namespace korvex
