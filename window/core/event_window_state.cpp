#include "window/core/event_window_state.h"

#include <algorithm>

namespace korvex {

WindowEventState::~WindowEventState() {
  // Nobody may keep a pointer to a window that is gone.
  if (parent_ != nullptr) parent_->ReleaseChild(this);
  for (WindowEventState* child : children_) child->parent_ = nullptr;
}

bool WindowEventState::Queue(const DeliveredEvent& event, bool to_front) {
  if (event.code() == kEventTimer) {
    if (timerPending) return false;  // ticks never pile up
    timerPending = true;
  }
  DeliveredEvent entry = event;
  entry.window = this;
  if (to_front) {
    events_.push_front(entry);
  } else {
    events_.push_back(entry);
  }
  return true;
}

std::optional<DeliveredEvent> WindowEventState::TakeNext() {
  while (!events_.empty()) {
    DeliveredEvent event = events_.front();
    events_.pop_front();
    EventCode code = event.code();
    if (code == kEventTimer) {
      timerPending = false;
      if (timerPeriod == 0) continue;
    } else if (code == kEventSelected && event.field != selectedField) {
      continue;  // the control lost the focus before the loop got here
    }
    return event;
  }
  return std::nullopt;
}

void WindowEventState::DropQueued() {
  events_.clear();
  timerPending = false;
}

void WindowEventState::AdoptChild(WindowEventState* child) {
  if (child == nullptr || child == this) return;
  if (child->parent_ != nullptr) child->parent_->ReleaseChild(child);
  child->parent_ = this;
  children_.push_back(child);
}

void WindowEventState::ReleaseChild(WindowEventState* child) {
  auto it = std::find(children_.begin(), children_.end(), child);
  if (it == children_.end()) return;
  children_.erase(it);
  child->parent_ = nullptr;
}

}  // namespace korvex
