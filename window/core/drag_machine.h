// The drag state machine of the source side and the match record of the target side.
//
//   idle -> armed (press on a row of a control with drag ids)
//        -> dragging (moved at least the system drag threshold with the button held)
//        -> idle (release: EVENT:Drag to the source, then the target's EVENT:Drop once
//                 the program has finished with EVENT:Drag; cancel: EVENT:Drag alone)
//
// The machine decides; a DragPort does the window work (finding windows, sending
// the private messages, cursors, events), so the rules can be tested without windows.
#pragma once

#include <cstdint>
#include <string>

#include "window/core/drag_ids.h"

namespace korvex {

using WindowRef = uintptr_t;  // a window handle, 0 = none

struct DragPoint {
  int x = 0;
  int y = 0;
};

class DragPort {
 public:
  virtual ~DragPort() = default;
  // The window under a screen point (0 for none).
  virtual WindowRef windowUnder(DragPoint screen) = 0;
  // Offers `ids` to `under` and then its parents; returns the window that accepted
  // one (0 = none) and sets *matched to that id.
  virtual WindowRef findTarget(WindowRef under, const DragIdList& ids, DragId* matched) = 0;
  virtual void leave(WindowRef target) = 0;                 // the drag left the target
  virtual void sendDragging() = 0;                          // EVENT:Dragging, sent to the source
  virtual void showCursor(bool drop_possible) = 0;
  virtual void over(WindowRef target, DragPoint screen) = 0;
  virtual void postDrag(WindowRef target) = 0;              // EVENT:Drag to the source
  // After the program has finished with EVENT:Drag: the target posts EVENT:Drop.
  virtual void dropAfterDrag(WindowRef target) = 0;
};

class DragMachine {
 public:
  enum class Phase { kIdle, kArmed, kDragging };

  // A left-button press on the source. Arms (and returns true) only when the press
  // is on a row and the source has drag ids; the drag state is cleared either way.
  bool press(DragPoint screen, bool on_row, const DragIdList& drag_ids);
  // A move with the button held. `threshold_x/y`: the system drag rectangle.
  void move(DragPoint screen, int threshold_x, int threshold_y, DragPort& port);
  // Button released. Returns true when a drag ended (events were produced).
  bool release(DragPort& port);
  // Lost capture or Esc: EVENT:Drag without a target, never EVENT:Drop.
  bool cancel(DragPort& port);

  Phase phase() const { return phase_; }
  WindowRef target() const { return target_; }
  WindowRef lastWindow() const { return lastWindow_; }
  // The id of the last drag's accepted match; stays readable while the program
  // handles EVENT:Drag, nullptr when no target accepted.
  DragId matchedId() const { return matched_; }

 private:
  void leaveTarget(DragPort& port);

  Phase phase_ = Phase::kIdle;
  DragIdList ids_;             // the source's ids when the drag was armed
  DragPoint pressPoint_;
  WindowRef lastWindow_ = 0;   // window under the pointer at the previous move
  bool entered_ = false;       // the pointer has been over some window since the press
  WindowRef target_ = 0;       // the window that accepted, 0 = none
  DragId matched_ = nullptr;
};

// What a target remembers when it accepts an offered id.
struct DropMatch {
  DragId matched = nullptr;  // the target's own drop id that matched
  std::string dragged;       // the id as the source offered it
  WindowRef source = 0;
  DragPoint point;           // where the pointer was (screen)
  bool fromOtherProgram = false;
};

// The target's answer to an offer: true (and *match filled) when one of its drop
// ids matches `dragged`.
bool AcceptOffer(const DragIdList& drop_ids, std::string_view dragged, bool from_other_program,
                 WindowRef source, DragPoint point, DropMatch* match);

}  // namespace korvex
