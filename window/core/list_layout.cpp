#include "window/core/list_layout.h"

#include <algorithm>

namespace korvex {
namespace {

// du * mul / div rounded to nearest, without overflow for any int inputs; a zero
// divisor counts as one.
int ScaleRounded(int value, int mul, int div) {
  if (div == 0) div = 1;
  long long n = static_cast<long long>(value) * mul;
  long long q = (n >= 0 ? n + div / 2 : n - div / 2) / div;
  return static_cast<int>(std::clamp<long long>(q, -0x7FFFFFFFLL, 0x7FFFFFFFLL));
}

}  // namespace

int ListMetrics::ToPixelsX(int du) const { return ScaleRounded(du, duBaseX, duDivisorX); }

int ListMetrics::ToDialogUnitsX(int pixels) const {
  return duBaseX == 0 ? 0 : ScaleRounded(pixels, duDivisorX, duBaseX);
}

int ColumnPixels(const ListColumn& column, const ListMetrics& metrics) {
  if (column.resizedPixels > 0) return column.resizedPixels;
  return std::max(0, metrics.ToPixelsX(column.width));
}

int ResizedColumnWidth(int column_left, int mouse_x) {
  long long width = static_cast<long long>(mouse_x) - column_left;
  return static_cast<int>(std::clamp<long long>(width, kMinColumnPixels, 0x7FFF));
}

void ApplyColumnResize(ListColumn* column, int pixels, const ListMetrics& metrics) {
  column->resizedPixels = std::max(pixels, kMinColumnPixels);
  column->width = std::clamp(metrics.ToDialogUnitsX(column->resizedPixels), 0, kMaxFormatNumber);
}

void ListLayout::build(const ListFormat& format, const ListMetrics& metrics) {
  columns_.assign(format.columns.size(), ColumnBox{});
  lineHeight_ = std::max(1, metrics.fontHeight + metrics.externalLeading + kRowLinePadding);
  fixedColumns_ = 0;
  anyScroll_ = false;
  bool any_header = false;
  int lines = 1;
  int x = 0;
  int widest = 0;
  size_t next_group = 0;
  int index = 0;
  int total = static_cast<int>(format.columns.size());
  auto note = [&](const ListColumn& col) {
    if (col.flags1 & kColFixed) ++fixedColumns_;
    if (col.flags1 & kColScroll) anyScroll_ = true;
    if (col.headerText) any_header = true;
  };
  while (index < total) {
    const ListGroup* group =
        next_group < format.groups.size() && format.groups[next_group].first == index &&
                format.groups[next_group].count > 0
            ? &format.groups[next_group]
            : nullptr;
    if (!group) {
      const ListColumn& col = format.columns[static_cast<size_t>(index)];
      columns_[static_cast<size_t>(index)] = ColumnBox{x, ColumnPixels(col, metrics), 0};
      note(col);
      x += columns_[static_cast<size_t>(index)].width;
      ++index;
      continue;
    }
    // A group: its columns run from the group's left edge; "/" starts the next line.
    int line = 0;
    int gx = x;
    int group_width = 0;
    int end = std::min(total, group->first + group->count);
    for (; index < end; ++index) {
      const ListColumn& col = format.columns[static_cast<size_t>(index)];
      ColumnBox box{gx, ColumnPixels(col, metrics), line};
      columns_[static_cast<size_t>(index)] = box;
      note(col);
      gx += box.width;
      group_width = std::max(group_width, gx - x);
      if ((col.flags1 & kColLineBreak) && index + 1 < end) {
        ++line;
        gx = x;
      }
    }
    note(group->tail);
    lines = std::max(lines, line + 1);
    x += std::max(group_width, ColumnPixels(group->tail, metrics));
    ++next_group;
  }
  widest = x;
  fixedRight_ = 0;
  for (size_t i = 0; i < columns_.size(); ++i) {
    columns_[i].fixed = (format.columns[i].flags1 & kColFixed) != 0;
    if (columns_[i].fixed) fixedRight_ = std::max(fixedRight_, columns_[i].left + columns_[i].width);
  }
  totalWidth_ = widest;
  linesPerRow_ = lines;
  rowHeight_ = lineHeight_ * lines;
  headerHeight_ = any_header
      ? std::max(1, metrics.fontHeight + metrics.externalLeading + kHeaderLinePadding) * lines
      : 0;
}

int ListLayout::rowsPerPage(int client_height) const {
  int room = client_height - headerHeight_;
  return std::max(1, room / rowHeight_);
}

}  // namespace korvex
