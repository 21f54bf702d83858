// The ACCEPT loop of the calling thread's current window as a window
// controller's event source, over the event engine.
#pragma once

#include "framework/event_source.h"

namespace korvex {

class EngineEventSource : public framework::EventSource {
 public:
  bool AcceptNext() override;
  EventCode CurrentEvent() override;
  int32_t CurrentField() override;
  int32_t FocusField() override;
  uint16_t KeyCode() override;
  // Sets the key code of the current event and the thread's last key.
  void SetKeyCode(uint16_t key) override;
  void RefuseEvent() override;
};

}  // namespace korvex
