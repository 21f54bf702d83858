#include "window/event_source_adapter.h"

#include "window/engine_internal.h"
#include "window/event_engine.h"

namespace korvex {

bool EngineEventSource::AcceptNext() { return korvex::AcceptNext(); }
EventCode EngineEventSource::CurrentEvent() { return korvex::CurrentEvent(); }
int32_t EngineEventSource::CurrentField() { return korvex::CurrentField(); }
int32_t EngineEventSource::FocusField() { return korvex::FocusField(); }
uint16_t EngineEventSource::KeyCode() { return korvex::KeyCode(); }
void EngineEventSource::RefuseEvent() { DeclineEvent(); }

void EngineEventSource::SetKeyCode(uint16_t key) {
  int slot = engine::MySlot();
  if (!ThreadTable::ValidSlot(slot)) return;
  ThreadSlot& me = engine::Threads().at(slot);
  me.lastKey = key;
  // The current event is the one of the running ACCEPT step's window, as the
  // engine reads it.
  WindowEventState* w = me.acceptWindow != nullptr ? me.acceptWindow : ThreadWindow();
  if (w != nullptr && w->current) w->current->keyCode = key;
}

}  // namespace korvex
