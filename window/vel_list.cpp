#include "window/vel_list.h"

#include <algorithm>

#include "window/core/dialog_units.h"
#include "window/core/event_codes.h"
#include "window/core/list_keys.h"
#include "window/drag_drop.h"
#include "window/vel_events.h"

namespace korvex {
namespace {

constexpr char kClassName[] = "KorvexVelList";
constexpr DWORD kTypingPauseMs = 1000;  // a pause this long starts a new local search

std::string Trim(const std::string& text) {
  size_t b = text.find_first_not_of(' ');
  if (b == std::string::npos) return std::string();
  size_t e = text.find_last_not_of(' ');
  return text.substr(b, e - b + 1);
}

UINT AlignFlags(uint32_t align) {
  switch (align) {
    case kAlignRight:
    case kAlignDecimal:
      return DT_RIGHT;
    case kAlignCentre:
      return DT_CENTER;
    default:
      return DT_LEFT;
  }
}

double NowMs() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

}  // namespace

std::string QueueRows::field(int row, int field) const {
  if (row < 0 || row >= rowCount() || field < 1) return std::string();
  const auto& r = rows[static_cast<size_t>(row)];
  if (static_cast<size_t>(field) > r.size()) return std::string();
  return r[static_cast<size_t>(field) - 1];
}

VelList::VelList(const ListSetup& setup) : field_(setup.field), flags_(setup.flags), rows_(setup.rows) {}

VelList* VelList::Create(HWND parent, const ListSetup& setup) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &VelList::WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    if (RegisterClassExA(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    registered = true;
  }
  auto* list = new VelList(setup);
  int parsed_stop = 0;
  if (auto f = ParseListFormat(setup.format, &parsed_stop)) list->format_ = std::move(*f);
  DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | WS_CLIPSIBLINGS;
  HWND hwnd = CreateWindowExA(WS_EX_CLIENTEDGE, kClassName, "", style, setup.rect.left,
                              setup.rect.top, setup.rect.right - setup.rect.left,
                              setup.rect.bottom - setup.rect.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(setup.field)),
                              GetModuleHandleA(nullptr), list);
  if (hwnd == nullptr) {
    delete list;
    return nullptr;
  }
  for (size_t i = 0; i < setup.dragIds.size(); ++i) InsertDragId(hwnd, setup.dragIds[i], i);
  for (size_t i = 0; i < setup.dropIds.size(); ++i) InsertDropId(hwnd, setup.dropIds[i], i);
  HFONT font = setup.font;
  if (font == nullptr) font = reinterpret_cast<HFONT>(SendMessageA(parent, WM_GETFONT, 0, 0));
  if (font == nullptr) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  list->applyFont(font);
  list->refresh();
  return list;
}

VelList* VelList::FromHandle(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  char name[32] = {};
  GetClassNameA(hwnd, name, sizeof name);
  if (lstrcmpA(name, kClassName) != 0) return nullptr;
  return reinterpret_cast<VelList*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK VelList::WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  VelList* list = reinterpret_cast<VelList*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lparam);
    list = static_cast<VelList*>(cs->lpCreateParams);
    list->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(list));
  }
  if (list == nullptr) return DefWindowProcA(hwnd, msg, wparam, lparam);
  LRESULT result = 0;
  if (HandleDragMessage(hwnd, msg, wparam, lparam, &result)) return result;
  if (msg == WM_NCDESTROY) {
    ForgetDragDropWindow(hwnd);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    LRESULT r = DefWindowProcA(hwnd, msg, wparam, lparam);
    delete list;
    return r;
  }
  return list->handle(msg, wparam, lparam);
}

LRESULT VelList::handle(UINT msg, WPARAM wparam, LPARAM lparam) {
  auto x_of = [lparam] { return static_cast<int>(static_cast<short>(LOWORD(lparam))); };
  auto y_of = [lparam] { return static_cast<int>(static_cast<short>(HIWORD(lparam))); };
  switch (msg) {
    case WM_PAINT:
      onPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the back buffer paints every pixel
    case WM_SIZE:
      clientWidth_ = LOWORD(lparam);
      clientHeight_ = HIWORD(lparam);
      updateScrollBar();
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_SETFONT:
      applyFont(reinterpret_cast<HFONT>(wparam));
      if (LOWORD(lparam)) InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN:
      onLeftDown(x_of(), y_of());
      return 0;
    case WM_LBUTTONDBLCLK: {
      remember(&press_, x_of(), y_of());
      ListHit hit = hitTest(x_of(), y_of());
      if (hit.row >= 1) {
        userSelect(top_ + hit.row - 1);
        PostControlEvent(hwnd_, kEventAccepted);
        SendMessageA(GetParent(hwnd_), WM_COMMAND, MAKEWPARAM(field_, LBN_DBLCLK),
                     reinterpret_cast<LPARAM>(hwnd_));
      }
      return 0;
    }
    case WM_MOUSEMOVE:
      onMouseMove(x_of(), y_of());
      return 0;
    case WM_LBUTTONUP:
      onLeftUp(x_of(), y_of());
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lparam) != hwnd_) {
        DragCancel(hwnd_);
        resizing_ = -1;
      }
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd_, &pt);
        if (resizing_ >= 0 || hitTest(pt.x, pt.y).zone == kZoneResize) {
          SetCursor(LoadCursorA(nullptr, IDC_SIZEWE));
          return TRUE;
        }
      }
      break;
    case WM_KEYDOWN:
      onKeyDown(wparam);
      return 0;
    case WM_CHAR:
      onChar(static_cast<char>(wparam));
      return 0;
    case WM_VSCROLL:
      onVScroll(wparam);
      return 0;
    case WM_HSCROLL:
      onHScroll(wparam);
      return 0;
    case WM_MOUSEWHEEL:
      if (!immediate()) scrollTo(top_ - GET_WHEEL_DELTA_WPARAM(wparam) / WHEEL_DELTA * 3);
      else PostControlEvent(hwnd_, GET_WHEEL_DELTA_WPARAM(wparam) > 0 ? kEventScrollUp : kEventScrollDown);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (selected_ >= 0) invalidateRow(selected_);
      return 0;
    case kQueryLocate:
      locate();
      return 0;
    case kMsgDropArrived: {
      POINT pt{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      ScreenToClient(hwnd_, &pt);
      remember(&release_, pt.x, pt.y);
      return 0;
    }
    // The standard read-only list queries, for accessibility tools and tests.
    case LB_GETCOUNT:
      return rowCount();
    case LB_GETCURSEL:
      return selected_ >= 0 ? selected_ : LB_ERR;
    case LB_GETTOPINDEX:
      return top_;
    case LB_GETITEMHEIGHT:
      return layout_.rowHeight();
    case LB_ITEMFROMPOINT: {
      ListHit hit = hitTest(x_of(), y_of());
      if (hit.row >= 1) return MAKELRESULT(top_ + hit.row - 1, 0);
      int nearest = hit.row == kRowHeader ? top_ : std::max(0, top_ + visibleRows() - 1);
      nearest = std::min(nearest, std::max(0, rowCount() - 1));
      return MAKELRESULT(nearest, 1);
    }
    default:
      break;
  }
  return DefWindowProcA(hwnd_, msg, wparam, lparam);
}

void VelList::applyFont(HFONT font) {
  font_ = font;
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, font_);
  TEXTMETRICA tm = {};
  GetTextMetricsA(dc, &tm);
  SIZE letters = {};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  GetTextExtentPoint32A(dc, kLetters, 52, &letters);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  metrics_.duBaseX = std::max(1, rsc::AverageCharWidth(letters.cx));
  metrics_.duDivisorX = rsc::kHorizontalDivisor;
  metrics_.fontHeight = tm.tmHeight;
  metrics_.externalLeading = tm.tmExternalLeading;
  metrics_.borderWidth = GetSystemMetrics(SM_CXBORDER);
  relayout();
}

void VelList::relayout() {
  layout_.build(format_, metrics_);
  pictures_.clear();
  for (const ListColumn& c : format_.columns) {
    pictures_.push_back(c.picture ? Picture::Compile("@" + *c.picture) : Picture());
  }
}

int VelList::setFormat(const std::string& text) {
  int stop = 0;
  auto parsed = ParseListFormat(text, &stop);
  if (!parsed) return stop;
  format_ = std::move(*parsed);
  resizing_ = -1;
  relayout();
  refresh();
  return 0;
}

void VelList::setRows(const ListRows* rows) {
  rows_ = rows;
  refresh();
}

int VelList::rowCount() const { return rows_ ? std::max(0, rows_->rowCount()) : 0; }

void VelList::refresh() {
  int count = rowCount();
  if (selected_ >= count) selected_ = count - 1;
  if (top_ > std::max(0, count - 1)) top_ = std::max(0, count - 1);
  use_ = selected_ >= 0 ? Trim(cellText(selected_, format_.useColumn)) : std::string();
  updateScrollBar();
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void VelList::updateScrollBar() {
  SCROLLINFO si = {};
  si.cbSize = sizeof si;
  if (immediate()) {
    si.fMask = SIF_RANGE | SIF_PAGE;
    si.nMin = 0;
    si.nMax = 100;
    si.nPage = 0;
  } else {
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMin = 0;
    si.nMax = std::max(0, rowCount() - 1);
    si.nPage = static_cast<UINT>(layout_.rowsPerPage(clientHeight_));
    si.nPos = top_;
  }
  SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
  // Sideways: only while the columns are wider than the list.
  int room = std::max(1, clientWidth_ - layout_.fixedRight());
  int scrolled_width = std::max(0, layout_.totalWidth() - layout_.fixedRight());
  scrollX_ = std::clamp(scrollX_, 0, std::max(0, scrolled_width - room));
  SCROLLINFO sh = {};
  sh.cbSize = sizeof sh;
  sh.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  sh.nMin = 0;
  sh.nMax = std::max(0, scrolled_width - 1);
  sh.nPage = static_cast<UINT>(room);
  sh.nPos = scrollX_;
  SetScrollInfo(hwnd_, SB_HORZ, &sh, TRUE);
}

void VelList::scrollSideways(int x) {
  int room = std::max(1, clientWidth_ - layout_.fixedRight());
  int scrolled_width = std::max(0, layout_.totalWidth() - layout_.fixedRight());
  x = std::clamp(x, 0, std::max(0, scrolled_width - room));
  if (x == scrollX_) return;
  scrollX_ = x;
  SetScrollPos(hwnd_, SB_HORZ, scrollX_, TRUE);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void VelList::onHScroll(WPARAM wparam) {
  int line = std::max(1, metrics_.ToPixelsX(4));
  int page = std::max(line, clientWidth_ - layout_.fixedRight());
  switch (LOWORD(wparam)) {
    case SB_LINELEFT: scrollSideways(scrollX_ - line); break;
    case SB_LINERIGHT: scrollSideways(scrollX_ + line); break;
    case SB_PAGELEFT: scrollSideways(scrollX_ - page); break;
    case SB_PAGERIGHT: scrollSideways(scrollX_ + page); break;
    case SB_LEFT: scrollSideways(0); break;
    case SB_RIGHT: scrollSideways(layout_.totalWidth()); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: scrollSideways(HIWORD(wparam)); break;
    default: break;
  }
}

void VelList::setThumb(int position) { SetScrollPos(hwnd_, SB_VERT, position, TRUE); }

int VelList::visibleRows() const {
  int room = clientHeight_ - layout_.headerHeight();
  if (room <= 0) return 0;
  int rows = (room + layout_.rowHeight() - 1) / layout_.rowHeight();
  return std::max(0, std::min(rows, rowCount() - top_));
}

RECT VelList::rowRect(int shown) const {
  int top = layout_.headerHeight() + shown * layout_.rowHeight();
  return RECT{0, top, clientWidth_, top + layout_.rowHeight()};
}

ListView VelList::view() const {
  ListView v;
  v.clientWidth = clientWidth_;
  v.clientHeight = clientHeight_;
  v.rowsShown = visibleRows();
  v.scrollX = scrollX_;
  v.borderWidth = metrics_.borderWidth;
  return v;
}

ListHit VelList::hitTest(int x, int y) const { return HitTestList(layout_, format_, view(), x, y); }

void VelList::remember(MousePoint* point, int x, int y) {
  ListHit hit = hitTest(x, y);
  point->row = hit.row - 1;
  point->column = hit.column - 1;
  point->zone = hit.zone;
}

int VelList::property(int id) const {
  const MousePoint* points[3] = {&press_, &move_, &release_};
  if (id >= kPropPressRow && id <= kPropReleaseRow) return points[id - kPropPressRow]->row + 1;
  if (id >= kPropPressColumn && id <= kPropReleaseColumn) {
    return points[id - kPropPressColumn]->column + 1;
  }
  if (id >= kPropPressZone && id <= kPropReleaseZone) return points[id - kPropPressZone]->zone;
  return 0;
}

void VelList::setProperty(int id, int value) {
  MousePoint* points[3] = {&press_, &move_, &release_};
  if (id >= kPropPressRow && id <= kPropReleaseRow) {
    points[id - kPropPressRow]->row = value - 1;
  } else if (id >= kPropPressColumn && id <= kPropReleaseColumn) {
    points[id - kPropPressColumn]->column = value - 1;
  } else if (id >= kPropPressZone && id <= kPropReleaseZone) {
    points[id - kPropPressZone]->zone = static_cast<uint8_t>(value);
  }
}

std::string VelList::cellText(int row, int column) const {
  if (!rows_ || column < 0 || column >= static_cast<int>(format_.columns.size())) return {};
  int field = ColumnField(format_, column);
  if (field < 1 || field > rows_->fieldCount()) return {};  // beyond the queue: empty cell
  std::string raw = rows_->field(row, field);
  const Picture& picture = pictures_[static_cast<size_t>(column)];
  if (!format_.columns[static_cast<size_t>(column)].picture || !picture.valid()) return raw;
  return FormatString(picture, raw);
}

void VelList::invalidateRow(int row) {
  int shown = row - top_;
  if (shown < 0 || shown >= visibleRows()) return;
  RECT r = rowRect(shown);
  InvalidateRect(hwnd_, &r, FALSE);
}

void VelList::select(int row) {
  int count = rowCount();
  if (row >= count) row = count - 1;
  if (row < -1) row = -1;
  if (row != selected_) {
    if (selected_ >= 0) invalidateRow(selected_);
    selected_ = row;
    if (selected_ >= 0) invalidateRow(selected_);
  }
  use_ = selected_ >= 0 ? Trim(cellText(selected_, format_.useColumn)) : std::string();
  if (selected_ >= 0 && !immediate()) {
    int page = layout_.rowsPerPage(clientHeight_);
    if (selected_ < top_) scrollTo(selected_);
    else if (selected_ >= top_ + page) scrollTo(selected_ - page + 1);
  }
}

void VelList::userSelect(int row) {
  select(row);
  PostControlEvent(hwnd_, kEventNewSelection);
  // The standard list notification, for a container such as the drop-down form.
  SendMessageA(GetParent(hwnd_), WM_COMMAND, MAKEWPARAM(field_, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(hwnd_));
}

void VelList::setTopRow(int row) { scrollTo(row); }

void VelList::scrollTo(int top) {
  int count = rowCount();
  int page = layout_.rowsPerPage(clientHeight_);
  top = std::clamp(top, 0, std::max(0, count - page));
  if (top == top_) return;
  top_ = top;
  updateScrollBar();
  InvalidateRect(hwnd_, nullptr, FALSE);
}

// ---- Mouse ----

void VelList::onLeftDown(int x, int y) {
  remember(&press_, x, y);
  SetFocus(hwnd_);
  ListHit hit = hitTest(x, y);
  if (hit.resizeColumn >= 0 && hit.zone == kZoneResize) {
    resizing_ = hit.resizeColumn;
    SetCapture(hwnd_);
    return;
  }
  bool on_row = hit.row >= 1;
  // The press selects its row even when it arms a drag: the drop handler reloads
  // the selected record and must find the dragged one.
  if (on_row) {
    mouseSelecting_ = true;
    userSelect(top_ + hit.row - 1);
    mouseSelecting_ = false;
  }
  POINT screen{x, y};
  ClientToScreen(hwnd_, &screen);
  if (DragPress(hwnd_, screen, on_row)) SetCapture(hwnd_);
}

void VelList::onMouseMove(int x, int y) {
  remember(&move_, x, y);
  if (DragBusy(hwnd_)) {
    POINT screen{x, y};
    ClientToScreen(hwnd_, &screen);
    DragMove(hwnd_, screen);
  }
}

void VelList::onLeftUp(int x, int y) {
  remember(&release_, x, y);
  if (resizing_ >= 0) {
    int column = resizing_;
    resizing_ = -1;
    ReleaseCapture();
    if (column >= static_cast<int>(format_.columns.size())) return;  // the format changed meanwhile
    int left = layout_.shownLeft(static_cast<size_t>(column), scrollX_);
    ApplyColumnResize(&format_.columns[static_cast<size_t>(column)], ResizedColumnWidth(left, x),
                      metrics_);
    relayout();
    updateScrollBar();
    InvalidateRect(hwnd_, nullptr, FALSE);
    PostControlEvent(hwnd_, kEventColumnResize);
    return;
  }
  if (DragBusy(hwnd_)) {
    DragRelease(hwnd_);
    if (GetCapture() == hwnd_) ReleaseCapture();
  }
}

// ---- Keyboard and scroll bar ----

void VelList::onKeyDown(WPARAM key) {
  if (key == VK_ESCAPE && DragBusy(hwnd_)) {
    DragCancel(hwnd_);
    if (GetCapture() == hwnd_) ReleaseCapture();
    return;
  }
  if (key == VK_ESCAPE) {
    SendMessageA(GetParent(hwnd_), WM_COMMAND, MAKEWPARAM(field_, LBN_SELCANCEL),
                 reinterpret_cast<LPARAM>(hwnd_));
    return;
  }
  if (key == VK_RETURN) {
    if (selected_ >= 0) {
      PostControlEvent(hwnd_, kEventAccepted);
      SendMessageA(GetParent(hwnd_), WM_COMMAND, MAKEWPARAM(field_, LBN_DBLCLK),
                   reinterpret_cast<LPARAM>(hwnd_));
    }
    return;
  }
  bool ctrl = GetKeyState(VK_CONTROL) < 0;
  if (immediate()) {
    if (EventCode e = ImmediateKeyEvent(static_cast<uint32_t>(key), ctrl)) PostControlEvent(hwnd_, e);
    return;
  }
  int count = rowCount();
  if (count == 0) return;
  int page = std::max(1, layout_.rowsPerPage(clientHeight_) - 1);
  int row = selected_;
  switch (key) {
    case VK_UP: row = std::max(0, row - 1); break;
    case VK_DOWN: row = std::min(count - 1, row + 1); break;
    case VK_PRIOR: row = ctrl ? 0 : std::max(0, row - page); break;
    case VK_NEXT: row = ctrl ? count - 1 : std::min(count - 1, std::max(0, row) + page); break;
    case VK_HOME: row = 0; break;
    case VK_END: row = count - 1; break;
    default: return;
  }
  if (row != selected_) userSelect(row);
}

void VelList::onChar(char c) {
  if (static_cast<unsigned char>(c) < ' ') return;
  if (immediate()) {
    // The program sees the key first; the list goes on only when it says so.
    if (SendControlEvent(hwnd_, kEventAlertKey) == 1) SendMessageA(hwnd_, kQueryLocate, 0, 0);
    return;
  }
  searchRows(c);
}

void VelList::locate() {
  if (immediate()) {
    PostControlEvent(hwnd_, kEventLocate);
    return;
  }
  // Locally: look again for the text typed so far.
  if (!typed_.empty()) {
    std::string typed = typed_;
    typed_.clear();
    for (char c : typed) searchRows(c);
  }
}

void VelList::searchRows(char c) {
  DWORD now = GetTickCount();
  if (now - typedAt_ > kTypingPauseMs) typed_.clear();
  typedAt_ = now;
  typed_.push_back(c);
  for (int row = 0; row < rowCount(); ++row) {
    std::string text = Trim(cellText(row, format_.useColumn));
    if (text.size() >= typed_.size() &&
        CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, text.c_str(),
                       static_cast<int>(typed_.size()), typed_.c_str(),
                       static_cast<int>(typed_.size())) == CSTR_EQUAL) {
      if (row != selected_) userSelect(row);
      return;
    }
  }
}

void VelList::onVScroll(WPARAM wparam) {
  UINT code = LOWORD(wparam);
  if (immediate()) {
    if (code == SB_THUMBTRACK || code == SB_THUMBPOSITION) SetScrollPos(hwnd_, SB_VERT, HIWORD(wparam), TRUE);
    if (EventCode e = ImmediateScrollEvent(code)) PostControlEvent(hwnd_, e);
    return;
  }
  int page = std::max(1, layout_.rowsPerPage(clientHeight_));
  switch (code) {
    case SB_LINEUP: scrollTo(top_ - 1); break;
    case SB_LINEDOWN: scrollTo(top_ + 1); break;
    case SB_PAGEUP: scrollTo(top_ - page); break;
    case SB_PAGEDOWN: scrollTo(top_ + page); break;
    case SB_TOP: scrollTo(0); break;
    case SB_BOTTOM: scrollTo(rowCount()); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: scrollTo(HIWORD(wparam)); break;
    default: break;
  }
}

// ---- Painting ----

void VelList::ensureBackBuffer(int width, int height) {
  if (backDc_ && width <= backWidth_ && height <= backHeight_) return;
  HDC screen = GetDC(hwnd_);
  if (!backDc_) backDc_ = CreateCompatibleDC(screen);
  if (backBitmap_) {
    SelectObject(backDc_, backOld_);
    DeleteObject(backBitmap_);
  }
  backWidth_ = std::max(width, backWidth_);
  backHeight_ = std::max(height, backHeight_);
  backBitmap_ = CreateCompatibleBitmap(screen, backWidth_, backHeight_);
  backOld_ = SelectObject(backDc_, backBitmap_);
  ReleaseDC(hwnd_, screen);
}

void VelList::onPaint() {
  // Only the rows inside the update region are drawn again (a selection change
  // repaints its two rows, not the rectangle around them); the back buffer keeps
  // the rest.
  HRGN update = CreateRectRgn(0, 0, 0, 0);
  bool have_region = GetUpdateRgn(hwnd_, update, FALSE) != ERROR;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  double start = NowMs();
  ensureBackBuffer(std::max(1, clientWidth_), std::max(1, clientHeight_));
  if (!have_region) SetRectRgn(update, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom);
  paintInto(backDc_, update, ps.rcPaint);
  DeleteObject(update);
  BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
         ps.rcPaint.bottom - ps.rcPaint.top, backDc_, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
  EndPaint(hwnd_, &ps);
  lastPaintMs_ = NowMs() - start;
  ++paintCount_;
}

void VelList::paintInto(HDC dc, HRGN region, const RECT& clip) {
  SelectClipRgn(dc, region);
  HGDIOBJ old_font = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  RECT all{0, 0, clientWidth_, clientHeight_};
  FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));
  if (clip.top < layout_.headerHeight()) paintHeader(dc);
  lastPaintedRows_ = 0;
  int shown = visibleRows();
  for (int i = 0; i < shown; ++i) {
    RECT r = rowRect(i);
    if (r.bottom <= clip.top || r.top >= clip.bottom || !RectInRegion(region, &r)) continue;
    paintRow(dc, i);
    ++lastPaintedRows_;
  }
  // Right borders run from the header down to the bottom.
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  HGDIOBJ old_pen = SelectObject(dc, pen);
  const auto& boxes = layout_.columns();
  for (size_t i = 0; i < boxes.size(); ++i) {
    if ((format_.columns[i].flags1 & kColRightBorder) == 0) continue;
    int x = layout_.shownLeft(i, scrollX_) + boxes[i].width - 1;
    if (!boxes[i].fixed && x < layout_.fixedRight()) continue;
    MoveToEx(dc, x, layout_.headerHeight(), nullptr);
    LineTo(dc, x, clientHeight_);
  }
  SelectObject(dc, old_pen);
  DeleteObject(pen);
  SelectObject(dc, old_font);
  SelectClipRgn(dc, nullptr);
}

void VelList::paintHeader(HDC dc) {
  RECT band{0, 0, clientWidth_, layout_.headerHeight()};
  FillRect(dc, &band, GetSysColorBrush(COLOR_BTNFACE));
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  const auto& boxes = layout_.columns();
  int line_height = layout_.headerHeight() / std::max(1, layout_.linesPerRow());
  for (size_t i = 0; i < boxes.size(); ++i) {
    const ListColumn& col = format_.columns[i];
    int left = layout_.shownLeft(i, scrollX_);
    RECT cell{left, boxes[i].line * line_height, left + boxes[i].width,
              (boxes[i].line + 1) * line_height};
    if (!boxes[i].fixed && cell.right <= layout_.fixedRight()) continue;
    SaveDC(dc);
    if (!boxes[i].fixed) ExcludeClipRect(dc, 0, 0, layout_.fixedRight(), layout_.headerHeight());
    DrawEdge(dc, &cell, BDR_RAISEDINNER, BF_RECT);
    if (!col.headerText) {
      RestoreDC(dc, -1);
      continue;
    }
    RECT text = cell;
    int indent = metrics_.ToPixelsX(col.headerOffset);
    if (col.headerAlign() == kAlignLeft) text.left += indent + 1;
    else if (col.headerAlign() != kAlignCentre) text.right -= indent + 1;
    DrawTextA(dc, col.headerText->c_str(), static_cast<int>(col.headerText->size()), &text,
              AlignFlags(col.headerAlign()) | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX |
                  DT_END_ELLIPSIS);
    RestoreDC(dc, -1);
  }
}

void VelList::paintRow(HDC dc, int shown) {
  int row = top_ + shown;
  RECT r = rowRect(shown);
  bool selected = row == selected_;
  if (selected) {
    r.right = std::min<LONG>(r.right, std::max(layout_.fixedRight(), layout_.totalWidth() - scrollX_));
    FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    if (GetFocus() == hwnd_) DrawFocusRect(dc, &r);
  } else {
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  }
  const auto& boxes = layout_.columns();
  for (size_t i = 0; i < boxes.size(); ++i) {
    const ListColumn& col = format_.columns[i];
    int left = layout_.shownLeft(i, scrollX_);
    RECT cell{left, r.top + boxes[i].line * layout_.lineHeight(), left + boxes[i].width,
              r.top + (boxes[i].line + 1) * layout_.lineHeight()};
    if (!boxes[i].fixed && cell.right <= layout_.fixedRight()) continue;
    SaveDC(dc);
    if (!boxes[i].fixed) ExcludeClipRect(dc, 0, r.top, layout_.fixedRight(), r.bottom);
    std::string text = Trim(cellText(row, static_cast<int>(i)));
    RECT inner = cell;
    int indent = metrics_.ToPixelsX(col.dataOffset);
    if (col.dataAlign() == kAlignCentre) {
    } else if (col.dataAlign() == kAlignLeft) {
      inner.left += indent + 1;
    } else {
      inner.right -= indent + 1;
    }
    if (!text.empty()) {
      DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &inner,
                AlignFlags(col.dataAlign()) | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX |
                    DT_END_ELLIPSIS);
    }
    if (col.flags1 & kColUnderline) {
      MoveToEx(dc, cell.left, cell.bottom - 1, nullptr);
      LineTo(dc, cell.right, cell.bottom - 1);
    }
    RestoreDC(dc, -1);
  }
}

}  // namespace korvex
