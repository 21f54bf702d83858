#include "window/vel_events.h"

#include "window/event_engine.h"

namespace korvex {
namespace {

// The window of the engine that holds `control`: the first ancestor it knows.
WindowEventState* OwningWindow(HWND control) {
  for (HWND h = GetParent(control); h != nullptr; h = GetParent(h)) {
    if (WindowEventState* state = EventStateOf(h)) return state;
  }
  return nullptr;
}

class EngineControlEvents : public ControlEvents {
 public:
  void post(HWND control, EventCode code, int32_t value) override {
    WindowEventState* window = OwningWindow(control);
    if (window == nullptr) return;
    PostEvent(code, GetDlgCtrlID(control), window->thread, false, value);
  }
  int send(HWND control, EventCode code) override {
    return SendEvent(OwningWindow(control), code, GetDlgCtrlID(control));
  }
};

EngineControlEvents engine_events;
ControlEvents* installed = nullptr;

}  // namespace

ControlEvents& CurrentControlEvents() { return installed ? *installed : engine_events; }

void SetControlEvents(ControlEvents* events) { installed = events; }

}  // namespace korvex
