// The decisions of one ACCEPT loop step, over a small platform interface so
// that scripted tests can drive them. One EventLoop serves the whole process;
// it is used under the runtime lock only.
#pragma once

#include <optional>

#include "window/core/event_window_state.h"

namespace korvex {

class LoopPlatform {
 public:
  virtual ~LoopPlatform() = default;

  virtual bool WindowExists(const WindowEventState& window) = 0;
  // A message is waiting in the thread's queue (looked at, not removed).
  virtual bool MessageWaiting() = 0;
  // Idle work of the window (refresh displayed fields); must not post anything
  // that wakes the loop again.
  virtual void RunIdle(WindowEventState& window) = 0;
  // Waits for one message with the runtime lock released, takes the lock back
  // and dispatches the message (its window procedure may queue events).
  virtual void WaitAndDispatch(WindowEventState& window) = 0;
  // The window that has the input focus (any thread), nullptr for none of ours.
  virtual WindowEventState* FocusWindow() = 0;
  // Posts an event to a window (possibly another thread's), first in its list
  // with to_front.
  virtual void PostEvent(WindowEventState& target, EventCode code, int32_t field,
                         bool to_front) = 0;
  // Selects a control of the window (and scrolls it into view).
  virtual void SelectControl(WindowEventState& window, int32_t field) = 0;
  // Pending field work of the window when its list is empty; may queue an event.
  virtual void RunFieldWork(WindowEventState& /*window*/) {}
};

class EventLoop {
 public:
  explicit EventLoop(LoopPlatform& platform) : platform_(platform) {}

  // One call of acceptNext: runs until an event is current (answers false) or
  // the loop is to end (answers true; the loop's record is released then).
  bool Step(WindowEventState& window);

  // Sends an event: handlers, then the program's receiver, with the modal
  // counter and the sending depth raised meanwhile. Answers kSendRefused,
  // kSendLoopEnded or kSendNotHandled. is_thread_current: the window is its
  // thread's current window.
  int Send(WindowEventState& window, const DeliveredEvent& event, bool is_thread_current);

  // The window is going away: forget every reference to it.
  void Forget(WindowEventState& window);

  int modalCount() const { return modalCount_; }
  void RaiseModal() { ++modalCount_; }
  void LowerModal() {
    if (modalCount_ > 0) --modalCount_;
  }

 private:
  enum class Fetch { kNothing, kDelivered, kConsumed, kEndLoop };

  void BeginLoop(WindowEventState& window);
  bool EndLoop(WindowEventState& window);
  void Complete(WindowEventState& window);
  bool CloseAnswered(WindowEventState& window);
  void NoteFocus();
  Fetch FetchNext(WindowEventState& window);
  int CallHandlers(WindowEventState& window, const DeliveredEvent& event);

  LoopPlatform& platform_;
  int modalCount_ = 0;
  WindowEventState* focusWindow_ = nullptr;      // focus seen at the last step
  WindowEventState* lastEventWindow_ = nullptr;  // window of the last delivered event
};

}  // namespace korvex
