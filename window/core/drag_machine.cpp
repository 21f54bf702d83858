#include "window/core/drag_machine.h"

#include <cstdlib>

namespace korvex {

bool DragMachine::press(DragPoint screen, bool on_row, const DragIdList& drag_ids) {
  lastWindow_ = 0;
  target_ = 0;
  matched_ = nullptr;
  entered_ = false;
  pressPoint_ = screen;
  if (!on_row || drag_ids.empty()) {
    phase_ = Phase::kIdle;
    ids_.clear();
    return false;
  }
  ids_ = drag_ids;
  phase_ = Phase::kArmed;
  return true;
}

void DragMachine::leaveTarget(DragPort& port) {
  if (target_ != 0) port.leave(target_);
  target_ = 0;
  matched_ = nullptr;
}

void DragMachine::move(DragPoint screen, int threshold_x, int threshold_y, DragPort& port) {
  if (phase_ == Phase::kIdle) return;
  if (phase_ == Phase::kArmed) {
    if (std::abs(screen.x - pressPoint_.x) < threshold_x &&
        std::abs(screen.y - pressPoint_.y) < threshold_y) {
      return;  // still a click
    }
    phase_ = Phase::kDragging;
  }
  WindowRef under = port.windowUnder(screen);
  if (!entered_ || under != lastWindow_) {
    entered_ = true;
    lastWindow_ = under;
    leaveTarget(port);
    if (under != 0) {
      DragId matched = nullptr;
      WindowRef target = port.findTarget(under, ids_, &matched);
      if (target != 0 && matched != nullptr) {
        target_ = target;
        matched_ = matched;
      }
    }
    port.sendDragging();
    port.showCursor(target_ != 0);
  }
  if (target_ != 0) port.over(target_, screen);
}

bool DragMachine::release(DragPort& port) {
  Phase was = phase_;
  phase_ = Phase::kIdle;
  entered_ = false;
  if (was != Phase::kDragging) {
    lastWindow_ = 0;
    return false;
  }
  WindowRef target = target_;
  port.postDrag(target);
  if (target != 0) port.dropAfterDrag(target);
  lastWindow_ = 0;
  target_ = 0;
  return true;
}

bool DragMachine::cancel(DragPort& port) {
  Phase was = phase_;
  phase_ = Phase::kIdle;
  entered_ = false;
  if (was != Phase::kDragging) {
    lastWindow_ = 0;
    return false;
  }
  leaveTarget(port);
  port.postDrag(0);
  lastWindow_ = 0;
  return true;
}

bool AcceptOffer(const DragIdList& drop_ids, std::string_view dragged, bool from_other_program,
                 WindowRef source, DragPoint point, DropMatch* match) {
  int index = MatchDropId(drop_ids, dragged, from_other_program);
  if (index < 0) return false;
  match->matched = drop_ids[static_cast<size_t>(index)];
  match->dragged = std::string(dragged);
  match->source = source;
  match->point = point;
  match->fromOtherProgram = from_other_program;
  return true;
}

}  // namespace korvex
