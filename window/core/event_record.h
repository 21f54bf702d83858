// One event as the engine queues and delivers it.
#pragma once

#include <cstdint>

#include "window/core/event_codes.h"

namespace korvex {

class WindowEventState;

struct DeliveredEvent {
  WindowEventState* window = nullptr;  // the window that receives it
  uint32_t message = 0;                // event code + kEventMessageBase
  int32_t thread = 0;                  // thread number of that window
  int32_t field = 0;                   // control concerned, 0 for window events
  int32_t selectedAtPost = 0;          // control that had the focus when it was made
  uint32_t keyCode = 0;                // keyboard state of the thread when it was made
  uint8_t keyChar = 0;
  uint8_t keyState = 0;
  int32_t mouseX = 0;                  // cursor in the window's client coordinates
  int32_t mouseY = 0;
  int32_t value = 0;                   // a value the event carries (e.g. a rejection code)
  bool offered = false;                // handlers have seen it already (held back for Resume)

  EventCode code() const { return EventOfMessage(message); }
};

}  // namespace korvex
