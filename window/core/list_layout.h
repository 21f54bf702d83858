// Where the list's columns, header and rows lie, in pixels, from a parsed FORMAT
// and the metrics of the list's font.
#pragma once

#include <cstdint>
#include <vector>

#include "window/core/list_format.h"

namespace korvex {

// What the layout needs to know about the window's font and the system.
struct ListMetrics {
  int duBaseX = 4;       // pixels-x = du * duBaseX / duDivisorX
  int duDivisorX = 4;
  int fontHeight = 13;   // the font's character cell height (tmHeight)
  int externalLeading = 0;
  int borderWidth = 1;   // SM_CXBORDER

  int ToPixelsX(int du) const;
  int ToDialogUnitsX(int pixels) const;
};

// Row and header heights are ours to choose. A line of a row is the font's cell
// plus its external leading plus one pixel above and below, so the selection bar
// and the underline never touch the text; the header adds a raised two-pixel frame
// on both sides. A row or header has one line per "/" break in its tallest group, plus one.
constexpr int kRowLinePadding = 2;
constexpr int kHeaderLinePadding = 6;
// Narrowest width a column can be resized to, in pixels.
constexpr int kMinColumnPixels = 15;

struct ColumnBox {
  int left = 0;   // pixels from the list's left edge (before horizontal scrolling)
  int width = 0;  // pixels
  int line = 0;   // line within the row, 0 for the first
  bool fixed = false;  // "F": stays in place when the list scrolls sideways
};

class ListLayout {
 public:
  ListLayout() = default;
  ListLayout(const ListFormat& format, const ListMetrics& metrics) { build(format, metrics); }

  // Lays out every column again (after a new format, font or a resize).
  void build(const ListFormat& format, const ListMetrics& metrics);

  const std::vector<ColumnBox>& columns() const { return columns_; }
  int rowHeight() const { return rowHeight_; }       // never 0
  int headerHeight() const { return headerHeight_; }  // 0 when no column has a header
  int lineHeight() const { return lineHeight_; }
  int linesPerRow() const { return linesPerRow_; }
  int totalWidth() const { return totalWidth_; }     // widest line
  int fixedColumns() const { return fixedColumns_; }
  bool anyScroll() const { return anyScroll_; }
  // Right edge of the fixed columns (0 when none): scrolled columns show only to its right.
  int fixedRight() const { return fixedRight_; }
  // Where column `index` starts on screen when the list is scrolled `scroll_x` pixels.
  int shownLeft(size_t index, int scroll_x) const {
    const ColumnBox& box = columns_[index];
    return box.fixed ? box.left : box.left - scroll_x;
  }
  // Full rows that fit below the header in a client area `client_height` high (at least 1).
  int rowsPerPage(int client_height) const;

 private:
  std::vector<ColumnBox> columns_;
  int rowHeight_ = 1;
  int headerHeight_ = 0;
  int lineHeight_ = 1;
  int linesPerRow_ = 1;
  int totalWidth_ = 0;
  int fixedColumns_ = 0;
  bool anyScroll_ = false;
  int fixedRight_ = 0;
};

// Pixel width of a column: the user's resized width, else its dialog units converted.
int ColumnPixels(const ListColumn& column, const ListMetrics& metrics);

// The resize rule: the new pixel width when the mouse is released at `mouse_x` while
// resizing a column whose left edge is `column_left` (never below kMinColumnPixels).
int ResizedColumnWidth(int column_left, int mouse_x);

// Applies a resize to `column`: keeps the pixels and the dialog units that getFormat writes.
void ApplyColumnResize(ListColumn* column, int pixels, const ListMetrics& metrics);

}  // namespace korvex
