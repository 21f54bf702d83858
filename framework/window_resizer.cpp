#include "framework/window_resizer.h"

#include <algorithm>
#include <cstdint>

namespace korvex::framework {
namespace {

__extension__ typedef __int128 Wide;  // products of coordinates and scales

// Scales are decimals of four places; positions are worked out in units of
// 1/10000 of a coordinate and made whole numbers (half away from zero) at the end.
constexpr int64_t kOne = 10000;

int64_t RoundedQuotient(Wide numerator, Wide denominator) {
  Wide half = denominator / 2;
  Wide q = numerator >= 0 ? (numerator + half) / denominator : (numerator - half) / denominator;
  return static_cast<int64_t>(std::clamp<Wide>(q, INT64_MIN, INT64_MAX));
}

// new / captured with four decimal places; a zero captured size scales by 1.
int64_t Scale(int32_t now, int32_t captured) {
  if (captured == 0) return kOne;
  return RoundedQuotient(Wide{now} * kOne, captured);
}

int32_t WholeCoordinate(Wide ten_thousandths) {
  int64_t value = RoundedQuotient(ten_thousandths, kOne);
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

struct Axis {
  int32_t captured;         // the control's captured x (or y)
  int32_t captured_size;    // its captured width (or height)
  int32_t parent_captured;  // the parent's captured x
  int32_t parent_size;      // the parent's captured width
  int32_t parent_now;       // the parent's new x
  int32_t parent_now_size;  // the parent's new width
};

// Position and size along one axis.
void PlaceOnAxis(const Axis& a, uint8_t rule, bool fixed, bool keep_gap, int32_t* position, int32_t* size) {
  const int64_t scale = Scale(a.parent_now_size, a.parent_size);
  const Wide offset = Wide{a.captured} - a.parent_captured;
  const Wide parent_now = Wide{a.parent_now} * kOne;
  const Wide parent_end = (Wide{a.parent_now} + a.parent_now_size) * kOne;
  if (rule == kPlaceNearest) {
    rule = offset < Wide{a.parent_size} - offset - a.captured_size ? kPlaceFromStart : kPlaceFromEnd;
  }
  Wide at;
  switch (rule) {
    case kPlaceScale: at = parent_now + offset * scale; break;
    case kPlaceFromEnd: {
      Wide distance = Wide{a.parent_size} - offset;
      at = parent_end - distance * (fixed ? kOne : scale);
      break;
    }
    case kPlaceFromStart: at = parent_now + offset * kOne; break;
    case kPlaceCentre: {
      Wide from_centre = offset * kOne - Wide{a.parent_size} * kOne / 2;  // kOne is even: exact
      at = parent_now + Wide{a.parent_now_size} * kOne / 2 + (fixed ? from_centre : from_centre * scale / kOne);
      break;
    }
    default: at = Wide{a.captured} * kOne; break;  // kPlaceKeep and unknown rules
  }
  *position = WholeCoordinate(at);

  Wide length;
  if (fixed) {
    length = Wide{a.captured_size} * kOne;
  } else if (keep_gap) {
    Wide gap = Wide{a.parent_size} - offset - a.captured_size;
    length = parent_end - gap * kOne - Wide{*position} * kOne;
  } else {
    length = Wide{a.captured_size} * scale;
  }
  *size = std::max(0, WholeCoordinate(length));  // a window shrunk past the gap leaves no room
}

bool SameSize(const ResizeRect& a, const ResizeRect& b) { return a.width == b.width && a.height == b.height; }

int64_t SquaredSize(const ResizeRect& r) {
  return int64_t{r.width} * r.width + int64_t{r.height} * r.height;
}

bool Excluded(int32_t type) { return type < 1 || type > 127 || type == 19 || type == 20 || type == kTypeTabControl; }

}  // namespace

uint16_t WindowResizer::DefaultPositional(int32_t type, uint8_t strategy) {
  switch (strategy) {
    case 3: return 0x101;
    case 1:
      return type == 9 ? 0x505 : 0;
    case 2:
      switch (type) {
        case 9: return 0x505;
        case 8: case 10: case 15: case 16: case 34: return 0x300;
        case 3: case 4: case 11: case 13: case 14: case 37: case 39: return 0x303;
        default: return 0;
      }
    default: return 0;
  }
}

uint16_t WindowResizer::DefaultResize(int32_t type, uint8_t strategy) {
  switch (strategy) {
    case 3: return kSizeFixedWidth | kSizeFixedHeight;
    case 1:
    case 2:
      switch (type) {
        case 9: case 12: case 21: return kSizeFixedWidth | kSizeFixedHeight;
        case 8: case 15: case 16: case 34: return kSizeFixedHeight;
        case 10: return strategy == 2 ? kSizeFixedHeight : 0;
        case 3: case 4: case 11: case 13: case 14: case 37: case 39:
          return strategy == 2 ? kSizeKeepRightGap | kSizeKeepBottomGap : 0;
        default: return 0;
      }
    default: return 0;
  }
}

void WindowResizer::Init(ResizeSurface* surface, uint8_t app_strategy, bool minimum_is_captured,
                         bool maximum_is_captured) {
  Kill();
  if (surface == nullptr) return;
  surface_ = surface;
  controls_.clear();
  moves_.clear();
  app_strategy_ = app_strategy;
  surface_->SetSizedHandler([this] { HandleSized(); });
  surface_->MakeResizable();
  CaptureLayout();
  if (app_strategy_ == 2) BuildControlTree();
  if (minimum_is_captured) surface_->SetMinimumSize(original_window_.width, original_window_.height);
  if (maximum_is_captured) surface_->SetMaximumSize(original_window_.width, original_window_.height);
  defer_moves = true;
  skip_first_sized = true;
}

void WindowResizer::Kill() {
  if (surface_ != nullptr) surface_->SetSizedHandler({});
  surface_ = nullptr;
  controls_.clear();
  moves_.clear();
}

void WindowResizer::HandleSized() {
  if (skip_first_sized) {
    skip_first_sized = false;
    return;
  }
  Resize();
}

const WindowResizer::ControlRecord* WindowResizer::Find(int32_t control) const {
  auto at = std::find_if(controls_.begin(), controls_.end(), [&](const ControlRecord& r) { return r.id == control; });
  return at == controls_.end() ? nullptr : &*at;
}

WindowResizer::ControlRecord* WindowResizer::FindRecord(int32_t control) {
  return const_cast<ControlRecord*>(Find(control));
}

int32_t WindowResizer::ParentOf(int32_t control) const {
  const ControlRecord* record = Find(control);
  return record == nullptr ? 0 : record->parent;
}

void WindowResizer::CaptureLayout() {
  if (surface_ == nullptr) return;
  original_window_ = ResizeRect{};
  surface_->WindowRect(&original_window_);
  maximized_ = surface_->IsMaximized();
  iconized_ = surface_->IsIconized();
  previous_window_ = original_window_;
  for (int32_t id : surface_->Controls()) {
    ResizeRect rect;
    if (!surface_->ControlRect(id, &rect)) continue;
    if (ControlRecord* known = FindRecord(id)) {
      known->pos = rect;
      continue;
    }
    int32_t type = surface_->ControlType(id);
    if (surface_->SkipsResize(id) || Excluded(type)) continue;
    if (type == kTypeListControl && surface_->DropsDown(id)) type = kTypeEntryControl;
    controls_.push_back(ControlRecord{.id = id,
                                      .type = type,
                                      .positional = DefaultPositional(type, app_strategy_),
                                      .resize = DefaultResize(type, app_strategy_),
                                      .pos = rect});
  }
  resize_called_ = false;
}

void WindowResizer::RefreshHasChildren(int32_t control) {
  ControlRecord* record = FindRecord(control);
  if (record == nullptr) return;
  record->has_children = std::any_of(controls_.begin(), controls_.end(),
                                     [&](const ControlRecord& r) { return r.parent == control; });
}

bool WindowResizer::SetParent(int32_t child, int32_t parent) {
  if (child == parent) return false;
  ControlRecord* record = FindRecord(child);
  if (record == nullptr || (parent != 0 && Find(parent) == nullptr)) return false;
  // Refuse a cycle: the child must not be an ancestor of the new parent.
  size_t steps = 0;
  for (int32_t up = parent; up != 0 && steps <= controls_.size(); up = ParentOf(up), ++steps) {
    if (up == child) return false;
  }
  int32_t old_parent = record->parent;
  record->parent = parent;
  RefreshHasChildren(old_parent);
  RefreshHasChildren(parent);
  return true;
}

void WindowResizer::BuildControlTree() {
  if (surface_ == nullptr) return;
  for (size_t i = 0; i < controls_.size(); ++i) {
    const ControlRecord control = controls_[i];
    int32_t parent = surface_->ParentControl(control.id);
    if (parent != 0) {
      // Tabs are not in the list: a control on a tab belongs to the sheet.
      size_t steps = 0;
      while (parent != 0 && surface_->ControlType(parent) == kTypeTabControl && steps++ <= controls_.size() + 1) {
        parent = surface_->ParentControl(parent);
      }
      if (parent != 0) SetParent(control.id, parent);
      continue;
    }
    const ResizeRect& box = control.pos;
    for (const ControlRecord& other : std::vector<ControlRecord>(controls_)) {
      if (other.id == control.id) continue;
      bool inside = other.pos.x >= box.x && int64_t{other.pos.x} <= int64_t{box.x} + box.width - 1 &&
                    other.pos.y >= box.y && int64_t{other.pos.y} <= int64_t{box.y} + box.height - 1;
      if (inside) SetParent(other.id, control.id);
    }
  }
}

ResizeRect WindowResizer::ComputeRectangle(const ControlRecord& control, const ResizeRect& captured,
                                           const ResizeRect& parent_captured, const ResizeRect& parent_new) const {
  ResizeRect out;
  const bool fixed_width = control.resize & kSizeFixedWidth;
  const bool fixed_height = control.resize & kSizeFixedHeight;
  PlaceOnAxis(Axis{captured.x, captured.width, parent_captured.x, parent_captured.width, parent_new.x,
                   parent_new.width},
              static_cast<uint8_t>(control.positional & 0xFF), fixed_width,
              !fixed_width && (control.resize & kSizeKeepRightGap), &out.x, &out.width);
  PlaceOnAxis(Axis{captured.y, captured.height, parent_captured.y, parent_captured.height, parent_new.y,
                   parent_new.height},
              static_cast<uint8_t>(control.positional >> 8), fixed_height,
              !fixed_height && (control.resize & kSizeKeepBottomGap), &out.y, &out.height);
  return out;
}

void WindowResizer::AddMoves(int32_t parent, const ResizeRect& parent_captured, const ResizeRect& parent_new,
                             size_t depth) {
  if (depth > controls_.size()) return;  // the tree has no cycles; this is only a bound
  for (size_t i = 0; i < controls_.size(); ++i) {
    if (controls_[i].parent != parent) continue;
    const ControlRecord control = controls_[i];
    Move move;
    move.control = control.id;
    move.type = control.type;
    if (!surface_->ControlRect(control.id, &move.before)) continue;  // gone: not moved
    move.after = ComputeRectangle(control, control.pos, parent_captured, parent_new);
    moves_.push_back(move);
    // Children follow their parent's captured and new rectangles, even when the
    // parent itself stays: they may be out of place from an earlier size.
    if (control.has_children) AddMoves(control.id, control.pos, move.after, depth + 1);
  }
}

void WindowResizer::OrderMoves(const ResizeRect& previous, const ResizeRect& now) {
  const bool width_changed = previous.width != now.width;
  const bool height_changed = previous.height != now.height;
  for (Move& move : moves_) {
    if (width_changed && !height_changed) {
      move.priority = move.after.x;
    } else if (height_changed && !width_changed) {
      move.priority = move.after.y;
    } else {
      move.priority = int64_t{move.after.x} * move.after.x + int64_t{move.after.y} * move.after.y;
    }
  }
  // Growing moves the farthest controls first, shrinking the nearest, so that
  // controls do not pass over each other on the way.
  if (SquaredSize(previous) > SquaredSize(now)) {
    std::stable_sort(moves_.begin(), moves_.end(), [](const Move& a, const Move& b) { return a.priority < b.priority; });
  } else {
    std::stable_sort(moves_.begin(), moves_.end(), [](const Move& a, const Move& b) { return a.priority > b.priority; });
  }
}

void WindowResizer::ResizeControls(int32_t parent) {
  moves_.clear();
  if (surface_ == nullptr) return;
  ResizeRect window;
  ResizeRect parent_captured;
  ResizeRect parent_new;
  if (parent == 0) {
    if (!surface_->WindowRect(&window) || SameSize(window, previous_window_)) return;
    parent_captured = ResizeRect{0, 0, original_window_.width, original_window_.height};
    parent_new = ResizeRect{0, 0, window.width, window.height};
  } else {
    const ControlRecord* record = Find(parent);
    if (record == nullptr || !surface_->ControlRect(parent, &parent_new)) return;
    parent_captured = record->pos;
  }

  if (!resize_called_ && auto_transparent) {
    for (const ControlRecord& control : controls_) {
      bool clear_kind = control.type == 10 || control.type == 1 || control.type == 2;
      if (clear_kind && !surface_->IsTransparent(control.id)) surface_->SetTransparent(control.id);
    }
  }
  if (defer_moves) surface_->BeginDeferredMoves(static_cast<int32_t>(controls_.size()));

  if (parent == 0 && SameSize(window, original_window_)) {
    // Back at the captured size: the captured rectangles, free of any rounding.
    for (const ControlRecord& control : controls_) {
      Move move;
      move.control = control.id;
      move.type = control.type;
      move.after = control.pos;
      if (surface_->ControlRect(control.id, &move.before)) moves_.push_back(move);
    }
  } else {
    AddMoves(parent, parent_captured, parent_new, 0);
    if (!defer_moves) OrderMoves(parent == 0 ? previous_window_ : parent_captured, parent_new);
  }
  for (const Move& move : moves_) {
    if (move.before == move.after) continue;
    ResizeRect rect = move.after;
    if (surface_->KeepsWidth(move.control)) rect.width = move.before.width;
    surface_->MoveControl(move.control, rect);
  }

  if (defer_moves) surface_->EndDeferredMoves();
  resize_called_ = true;
  if (parent == 0) previous_window_ = window;
}

void WindowResizer::RestoreLayout() {
  if (surface_ == nullptr) return;
  surface_->SetWindowState(maximized_, iconized_);
  surface_->SetClientSize(original_window_.width, original_window_.height);
  for (const ControlRecord& control : controls_) surface_->MoveControl(control.id, control.pos);
  previous_window_ = original_window_;
}

}  // namespace korvex::framework
