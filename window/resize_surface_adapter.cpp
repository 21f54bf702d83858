#include "window/resize_surface_adapter.h"

#include <commctrl.h>

#include <algorithm>

#include "window/control.h"
#include "window/core/event_codes.h"
#include "window/core/resource_format.h"
#include "window/event_engine.h"
#include "window/window_object.h"

namespace korvex {

using framework::ResizeRect;

namespace {
constexpr UINT_PTR kLimitsSubclassId = 0x4B52;  // this surface's min/max subclass
}

ControlResizeSurface::ControlResizeSurface(HWND window, const rsc::DialogUnits& units)
    : window_(window), units_(units) {}

ControlResizeSurface::~ControlResizeSurface() {
  SetSizedHandler({});
  if (limits_installed_ && IsWindow(window_)) RemoveWindowSubclass(window_, LimitsProc, kLimitsSubclassId);
}

std::unique_ptr<ControlResizeSurface> ControlResizeSurface::ForWindow(const WindowObject& window) {
  auto surface = std::make_unique<ControlResizeSurface>(window.hwnd(), window.units());
  for (const auto& control : window.controls()) {
    if (control->hwnd() == nullptr) continue;
    const int32_t parent = control->parent() != nullptr ? static_cast<int32_t>(control->parent()->field()) : 0;
    const bool drops = control->type() == rsc::kTypeList && control->record().drop_byte != 0;
    surface->AddControl(static_cast<int32_t>(control->field()), control->type(), control->hwnd(), parent, drops);
  }
  return surface;
}

void ControlResizeSurface::AddControl(int32_t field, int32_t type, HWND hwnd, int32_t parent, bool drops_down) {
  entries_.push_back(Entry{field, type, hwnd, parent, drops_down});
}

const ControlResizeSurface::Entry* ControlResizeSurface::Find(int32_t field) const {
  auto at = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.field == field; });
  return at == entries_.end() || !IsWindow(at->hwnd) ? nullptr : &*at;
}

bool ControlResizeSurface::WindowRect(ResizeRect* rect) const {
  // A minimized window has no size to follow.
  if (!IsWindow(window_) || IsIconic(window_)) return false;
  RECT outer, client;
  if (!GetWindowRect(window_, &outer) || !GetClientRect(window_, &client)) return false;
  *rect = ResizeRect{units_.ToUnitsX(outer.left), units_.ToUnitsY(outer.top), units_.ToUnitsX(client.right),
                     units_.ToUnitsY(client.bottom)};
  return true;
}

bool ControlResizeSurface::IsMaximized() const { return IsZoomed(window_) != FALSE; }
bool ControlResizeSurface::IsIconized() const { return IsIconic(window_) != FALSE; }

void ControlResizeSurface::SetWindowState(bool maximized, bool iconized) {
  ShowWindow(window_, iconized ? SW_MINIMIZE : maximized ? SW_MAXIMIZE : SW_RESTORE);
}

void ControlResizeSurface::SetClientSize(int32_t width, int32_t height) {
  // The frame is measured on the window itself: computing it from the style
  // misses what the window really draws (a dialog frame made resizable).
  RECT outer, client;
  if (!GetWindowRect(window_, &outer) || !GetClientRect(window_, &client)) return;
  const int frame_x = (outer.right - outer.left) - client.right;
  const int frame_y = (outer.bottom - outer.top) - client.bottom;
  SetWindowPos(window_, nullptr, 0, 0, units_.ToPixelsX(width) + frame_x, units_.ToPixelsY(height) + frame_y,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ControlResizeSurface::MakeResizable() {
  LONG_PTR style = GetWindowLongPtrA(window_, GWL_STYLE);
  if ((style & WS_THICKFRAME) != 0) return;
  SetWindowLongPtrA(window_, GWL_STYLE, style | WS_THICKFRAME | WS_MAXIMIZEBOX);
  SetWindowPos(window_, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void ControlResizeSurface::InstallLimits() {
  if (limits_installed_) return;
  limits_installed_ = SetWindowSubclass(window_, LimitsProc, kLimitsSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void ControlResizeSurface::SetMinimumSize(int32_t width, int32_t height) {
  RECT r{0, 0, units_.ToPixelsX(width), units_.ToPixelsY(height)};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrA(window_, GWL_STYLE)), GetMenu(window_) != nullptr,
                     static_cast<DWORD>(GetWindowLongPtrA(window_, GWL_EXSTYLE)));
  minimum_ = POINT{r.right - r.left, r.bottom - r.top};
  InstallLimits();
}

void ControlResizeSurface::SetMaximumSize(int32_t width, int32_t height) {
  RECT r{0, 0, units_.ToPixelsX(width), units_.ToPixelsY(height)};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrA(window_, GWL_STYLE)), GetMenu(window_) != nullptr,
                     static_cast<DWORD>(GetWindowLongPtrA(window_, GWL_EXSTYLE)));
  maximum_ = POINT{r.right - r.left, r.bottom - r.top};
  InstallLimits();
}

LRESULT CALLBACK ControlResizeSurface::LimitsProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                                  DWORD_PTR data) {
  if (msg == WM_GETMINMAXINFO) {
    auto* self = reinterpret_cast<ControlResizeSurface*>(data);
    auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
    LRESULT result = DefSubclassProc(hwnd, msg, wparam, lparam);
    if (self->minimum_.x > 0) info->ptMinTrackSize = self->minimum_;
    if (self->maximum_.x > 0) info->ptMaxTrackSize = self->maximum_;
    return result;
  }
  return DefSubclassProc(hwnd, msg, wparam, lparam);
}

std::vector<int32_t> ControlResizeSurface::Controls() const {
  std::vector<int32_t> out;
  for (const Entry& e : entries_) out.push_back(e.field);
  return out;
}

int32_t ControlResizeSurface::ControlType(int32_t control) const {
  const Entry* e = Find(control);
  return e == nullptr ? 0 : e->type;
}

int32_t ControlResizeSurface::ParentControl(int32_t control) const {
  const Entry* e = Find(control);
  return e == nullptr ? 0 : e->parent;
}

bool ControlResizeSurface::DropsDown(int32_t control) const {
  const Entry* e = Find(control);
  return e != nullptr && e->drops_down;
}

bool ControlResizeSurface::IsTransparent(int32_t control) const { return transparent_.count(control) != 0; }

void ControlResizeSurface::SetTransparent(int32_t control) {
  const Entry* e = Find(control);
  if (e == nullptr) return;
  transparent_.insert(control);
  SetWindowLongPtrA(e->hwnd, GWL_EXSTYLE, GetWindowLongPtrA(e->hwnd, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
  InvalidateRect(e->hwnd, nullptr, TRUE);
}

bool ControlResizeSurface::ControlRect(int32_t control, ResizeRect* rect) const {
  const Entry* e = Find(control);
  if (e == nullptr) return false;
  RECT r;
  if (!GetWindowRect(e->hwnd, &r)) return false;
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
  int x = units_.ToUnitsX(r.left);
  int y = units_.ToUnitsY(r.top);
  *rect = ResizeRect{x, y, units_.ToUnitsX(r.right - r.left), units_.ToUnitsY(r.bottom - r.top)};
  return true;
}

RECT ControlResizeSurface::ToPixels(const ResizeRect& rect) const {
  return RECT{units_.ToPixelsX(rect.x), units_.ToPixelsY(rect.y), units_.ToPixelsX(rect.width),
              units_.ToPixelsY(rect.height)};
}

void ControlResizeSurface::MoveControl(int32_t control, const ResizeRect& rect) {
  const Entry* e = Find(control);
  if (e == nullptr) return;
  PendingMove move{e->hwnd, ToPixels(rect)};
  // Rectangles are in the window's client coordinates; a control made inside a
  // sheet or another control is positioned in its Win32 parent's.
  HWND holder = GetParent(e->hwnd);
  if (holder != nullptr && holder != window_) {
    POINT corner{move.pixels.left, move.pixels.top};
    MapWindowPoints(window_, holder, &corner, 1);
    move.pixels.left = corner.x;
    move.pixels.top = corner.y;
  }
  if (defer_depth_ > 0) {
    pending_.push_back(move);
  } else {
    Apply({move});
  }
}

void ControlResizeSurface::Apply(const std::vector<PendingMove>& moves) {
  constexpr UINT kFlags = SWP_NOZORDER | SWP_NOACTIVATE;
  if (moves.size() > 1) {
    // One batch repaints once. A failed step drops the whole batch, so then
    // every move is made on its own: no move is ever lost.
    HDWP batch = BeginDeferWindowPos(static_cast<int>(moves.size()));
    for (const PendingMove& m : moves) {
      if (batch == nullptr) break;
      batch = DeferWindowPos(batch, m.hwnd, nullptr, m.pixels.left, m.pixels.top, m.pixels.right, m.pixels.bottom,
                             kFlags);
    }
    if (batch != nullptr && EndDeferWindowPos(batch)) return;
  }
  for (const PendingMove& m : moves) {
    if (IsWindow(m.hwnd)) {
      SetWindowPos(m.hwnd, nullptr, m.pixels.left, m.pixels.top, m.pixels.right, m.pixels.bottom, kFlags);
    }
  }
}

void ControlResizeSurface::BeginDeferredMoves(int32_t count) {
  if (defer_depth_++ == 0) {
    pending_.clear();
    pending_.reserve(static_cast<size_t>(std::max(count, 0)));
  }
}

void ControlResizeSurface::EndDeferredMoves() {
  if (defer_depth_ == 0 || --defer_depth_ > 0) return;
  std::vector<PendingMove> moves;
  moves.swap(pending_);
  Apply(moves);
}

int ControlResizeSurface::OnSized(void* surface) {
  auto* self = static_cast<ControlResizeSurface*>(surface);
  if (self->sized_) self->sized_();
  return 0;  // the program sees EVENT:Sized too
}

void ControlResizeSurface::SetSizedHandler(std::function<void()> handler) {
  sized_ = std::move(handler);
  if (sized_ && registered_with_ == nullptr) {
    registered_with_ = EventStateOf(window_);
    if (registered_with_ != nullptr) RegisterHandler(kEventSized, &OnSized, this, registered_with_);
  } else if (!sized_ && registered_with_ != nullptr) {
    if (EventStateOf(window_) == registered_with_) UnregisterHandler(kEventSized, &OnSized, this, registered_with_);
    registered_with_ = nullptr;
  }
}

}  // namespace korvex
