// How the list, sheet and drag-and-drop controls hand their events to the program.
// By default they go to the event engine (posted or sent to the window that holds
// the control); tests put a recorder in between.
#pragma once

#include <windows.h>

#include <cstdint>

#include "window/core/event_codes.h"

namespace korvex {

class ControlEvents {
 public:
  virtual ~ControlEvents() = default;
  // Queues `code` for the control (its field number is its Win32 id); `value`
  // travels with the event (EVENT:Drag: the accepting target window).
  virtual void post(HWND control, EventCode code, int32_t value = 0) = 0;
  // Hands `code` to the program at once and answers the outcome (1 refuses).
  virtual int send(HWND control, EventCode code) = 0;
};

// The receiver in use; the engine's unless a test installed its own.
ControlEvents& CurrentControlEvents();
// nullptr puts the engine's receiver back.
void SetControlEvents(ControlEvents* events);

inline void PostControlEvent(HWND control, EventCode code, int32_t value = 0) {
  CurrentControlEvents().post(control, code, value);
}
inline int SendControlEvent(HWND control, EventCode code) {
  return CurrentControlEvents().send(control, code);
}

}  // namespace korvex
