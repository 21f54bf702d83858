// VelList: the multi-column list control. Its own window class, drawn by itself
// into a back buffer; columns and header from a FORMAT string; rows from a
// ListRows source; selection with the USE value; immediate mode (the program pages
// the rows itself) turns scrolling keys and the scroll bar into events.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/picture/picture.h"
#include "window/core/list_format.h"
#include "window/core/list_hit.h"
#include "window/core/list_layout.h"

namespace korvex {

// The rows a list shows: a queue of entries, or the program's data callback.
class ListRows {
 public:
  virtual ~ListRows() = default;
  virtual int rowCount() const = 0;
  virtual int fieldCount() const = 0;
  // The value of one field (1-based) of one row (0-based), as text.
  virtual std::string field(int row, int field) const = 0;
};

// A queue of rows held as texts.
class QueueRows : public ListRows {
 public:
  std::vector<std::vector<std::string>> rows;
  int fields = 0;

  int rowCount() const override { return static_cast<int>(rows.size()); }
  int fieldCount() const override { return fields; }
  std::string field(int row, int field) const override;
};

// Control flag of the list record: immediate mode.
constexpr uint32_t kListImmediate = 0x0800;

// Control properties of the three remembered mouse points.
constexpr int kPropPressRow = 0x7C20;
constexpr int kPropMoveRow = 0x7C21;
constexpr int kPropReleaseRow = 0x7C22;
constexpr int kPropPressColumn = 0x7C23;
constexpr int kPropMoveColumn = 0x7C24;
constexpr int kPropReleaseColumn = 0x7C25;
constexpr int kPropPressZone = 0x7C26;
constexpr int kPropMoveZone = 0x7C27;
constexpr int kPropReleaseZone = 0x7C28;

struct ListSetup {
  int field = 0;                  // field number, also the Win32 control id
  RECT rect{};                    // pixels in the parent's client area
  std::string format;
  uint32_t flags = 0;             // record flags (kListImmediate)
  std::vector<std::string> dragIds;
  std::vector<std::string> dropIds;
  const ListRows* rows = nullptr;  // not owned; may be set later
  HFONT font = nullptr;           // nullptr: the parent's font, else the GUI font
};

class VelList {
 public:
  // Creates the list window; nullptr when the window could not be created. The
  // window owns the object (it is deleted with the window). An invalid format
  // gives a list without columns.
  static VelList* Create(HWND parent, const ListSetup& setup);
  static VelList* FromHandle(HWND hwnd);

  HWND hwnd() const { return hwnd_; }
  int field() const { return field_; }

  // FORMAT: 0 when accepted, else the 1-based position where it is invalid (the
  // columns then stay as they were).
  int setFormat(const std::string& text);
  std::string getFormat() const { return WriteListFormat(format_); }
  const ListFormat& format() const { return format_; }
  const ListLayout& layout() const { return layout_; }

  void setRows(const ListRows* rows);
  // The rows changed: repaint and fix the selection and scroll bar.
  void refresh();

  // Selection, 0-based row of the source; -1 = none. The program's selection posts no event.
  void select(int row);
  int selected() const { return selected_; }
  int topRow() const { return top_; }
  int scrollX() const { return scrollX_; }
  void setTopRow(int row);
  // The value of the marked column of the selected row ("" when there are no rows).
  const std::string& useValue() const { return use_; }
  bool immediate() const { return (flags_ & kListImmediate) != 0; }
  // Immediate mode: where the program puts the scroll thumb (0-100).
  void setThumb(int position);

  int property(int id) const;
  void setProperty(int id, int value);

  // Rows with data that are fully or partly visible below the header.
  int visibleRows() const;
  // Full rows that fit below the header (a page for a browse to load; at least 1).
  int pageRows() const { return layout_.rowsPerPage(clientHeight_); }
  // Client rectangle of a shown row (0-based from the top row).
  RECT rowRect(int shown) const;

  // True while a mouse press is selecting a row (for the parent's LBN_SELCHANGE).
  bool selectingWithMouse() const { return mouseSelecting_; }

  // Measurements of the last paint.
  int paintCount() const { return paintCount_; }
  int lastPaintedRows() const { return lastPaintedRows_; }
  double lastPaintMilliseconds() const { return lastPaintMs_; }

 private:
  struct MousePoint {
    int row = -2;     // stored as row - 1 (the properties answer row)
    int column = -1;  // stored as column - 1
    uint8_t zone = kZoneNone;
  };

  explicit VelList(const ListSetup& setup);
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT handle(UINT msg, WPARAM wparam, LPARAM lparam);

  void applyFont(HFONT font);
  void relayout();
  void updateScrollBar();
  ListView view() const;
  ListHit hitTest(int x, int y) const;
  void remember(MousePoint* point, int x, int y);
  int rowCount() const;
  std::string cellText(int row, int column) const;
  void userSelect(int row);
  void invalidateRow(int row);
  void scrollTo(int top);

  void onPaint();
  void paintInto(HDC dc, HRGN region, const RECT& clip);
  void paintHeader(HDC dc);
  void paintRow(HDC dc, int shown);
  void ensureBackBuffer(int width, int height);

  void onLeftDown(int x, int y);
  void onMouseMove(int x, int y);
  void onLeftUp(int x, int y);
  void onKeyDown(WPARAM key);
  void onChar(char c);
  void onVScroll(WPARAM wparam);
  void onHScroll(WPARAM wparam);
  void scrollSideways(int x);
  void locate();
  void searchRows(char c);

  HWND hwnd_ = nullptr;
  int field_ = 0;
  uint32_t flags_ = 0;
  ListFormat format_;
  std::vector<Picture> pictures_;  // one per column
  ListMetrics metrics_;
  ListLayout layout_;
  const ListRows* rows_ = nullptr;
  HFONT font_ = nullptr;
  int top_ = 0;
  int scrollX_ = 0;                // pixels scrolled sideways
  int selected_ = -1;
  std::string use_;
  MousePoint press_, move_, release_;
  int resizing_ = -1;              // column being resized with the mouse
  int clientWidth_ = 0, clientHeight_ = 0;
  HDC backDc_ = nullptr;
  HBITMAP backBitmap_ = nullptr;
  HGDIOBJ backOld_ = nullptr;
  int backWidth_ = 0, backHeight_ = 0;
  int paintCount_ = 0;
  int lastPaintedRows_ = 0;
  double lastPaintMs_ = 0;
  bool mouseSelecting_ = false;
  std::string typed_;              // local search text
  DWORD typedAt_ = 0;
};

}  // namespace korvex
