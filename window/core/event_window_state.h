// The event engine's state of one open window: its event list, its handlers,
// the event being handled and its close state. The window object holds one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "window/core/event_handlers.h"
#include "window/core/event_record.h"

namespace korvex {

enum class CloseState : uint8_t {
  kOpen = 0,
  kWaitingForChildren = 1,  // asked its MDI children to close
  kAccepted = 2,            // the loop ends at its next step
};

// How the program answers an event sent to it (outside the loop's own pace):
// 1 refuses it, 0 lets it go on.
using SentEventReceiver = int (*)(void* object, const DeliveredEvent& event);

class WindowEventState {
 public:
  WindowEventState() = default;
  WindowEventState(const WindowEventState&) = delete;
  WindowEventState& operator=(const WindowEventState&) = delete;
  ~WindowEventState();

  // Queues an event at the end, or first with to_front. An EVENT:Timer while
  // one is already queued is not queued again (answers false).
  bool Queue(const DeliveredEvent& event, bool to_front);

  // Takes the next deliverable event from the front. Drops on the way an
  // EVENT:Selected for a control that no longer has the focus and an
  // EVENT:Timer while the window has no TIMER.
  std::optional<DeliveredEvent> TakeNext();

  size_t queued() const { return events_.size(); }
  void DropQueued();

  // MDI family links; a child leaves its parent when it is destroyed.
  void AdoptChild(WindowEventState* child);
  void ReleaseChild(WindowEventState* child);
  WindowEventState* mdiParent() const { return parent_; }
  const std::vector<WindowEventState*>& mdiChildren() const { return children_; }

  uintptr_t handle = 0;            // the platform's window handle
  int32_t thread = 0;              // thread number of the window's thread
  HandlerList handlers;
  std::optional<DeliveredEvent> current;  // the event being handled
  bool declined = false;           // the program refused the current event
  int handlerDepth = 0;            // handler calls running
  int sendingDepth = 0;            // sent events being handled
  bool suspended = false;          // had EVENT:Suspend, not yet EVENT:Resume
  CloseState closeState = CloseState::kOpen;
  int loopDepth = 0;               // ACCEPT loops running on the window
  bool loopFinished = false;       // the running loop ends at its next step
  int modalAdded = 0;              // what the running loop added to the modal counter
  bool modal = false;              // opened with the MODAL attribute
  bool sizeEvents = false;         // the window record asks for size events (0x0800)
  bool applicationFrame = false;   // the program's frame window
  uint8_t showState = 0;           // last size kind seen: restored, minimized, maximized
  int32_t selectedField = 0;       // the control with the focus
  uint32_t timerPeriod = 0;        // the window's TIMER in hundredths, 0 = none
  bool timerPending = false;       // an EVENT:Timer is queued and not yet taken
  SentEventReceiver sentReceiver = nullptr;
  void* sentReceiverObject = nullptr;

 private:
  std::deque<DeliveredEvent> events_;
  WindowEventState* parent_ = nullptr;
  std::vector<WindowEventState*> children_;
};

}  // namespace korvex
