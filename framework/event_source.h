// The ACCEPT loop as a window controller sees it: ask for the next event, read
// what the current event concerns, and refuse its default action. The event
// engine implements it for a window; tests script it (framework/fake_window.h).
#pragma once

#include <cstdint>

#include "window/core/event_codes.h"

namespace korvex::framework {

class EventSource {
 public:
  virtual ~EventSource() = default;

  // Waits for the next event of the window; true when the loop is to end.
  virtual bool AcceptNext() = 0;
  // The event being handled (0 for none), the control it concerns (0 for a
  // window event) and the control that has the focus.
  virtual EventCode CurrentEvent() = 0;
  virtual int32_t CurrentField() = 0;
  virtual int32_t FocusField() = 0;
  // The key code of the current event (the thread's last key when none).
  virtual uint16_t KeyCode() = 0;
  virtual void SetKeyCode(uint16_t key) = 0;
  // The program refuses the current event's default action (a refused
  // EVENT:CloseWindow leaves the window open).
  virtual void RefuseEvent() = 0;
};

}  // namespace korvex::framework
