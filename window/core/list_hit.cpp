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
  const auto& boxes = layout.columns();
  // Scrolled columns are hidden under the fixed ones.
  auto shown = [&](size_t i, int at) { return boxes[i].fixed || at >= layout.fixedRight(); };
  for (size_t i = 0; i < boxes.size(); ++i) {
    int left = layout.shownLeft(i, view.scrollX);
    if (boxes[i].line == line && shown(i, x) && x >= left && x < left + boxes[i].width) {
      hit.column = static_cast<int>(i) + 1;
      break;
    }
  }
  // The nearest resizable right edge within the grab zone (ties go to the left column).
  int grab = 3 * std::max(1, view.borderWidth);
  int best = grab + 1;
  for (size_t i = 0; i < boxes.size() && i < format.columns.size(); ++i) {
    if (!format.columns[i].canMouseResize()) continue;
    int edge = layout.shownLeft(i, view.scrollX) + boxes[i].width;
    if (!shown(i, edge)) continue;
    int distance = std::abs(x - edge);
    if (distance <= grab && distance < best) {
      best = distance;
      hit.resizeColumn = static_cast<int>(i);
    }
  }
  if (hit.resizeColumn >= 0 && hit.zone != kZoneBelow) hit.zone = kZoneResize;
  return hit;
}

}  // namespace korvex
