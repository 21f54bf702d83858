#include "window/core/event_loop.h"

namespace korvex {

bool EventLoop::Step(WindowEventState& w) {
  if (w.loopDepth == 0) BeginLoop(w);
  if (!platform_.WindowExists(w)) return EndLoop(w);
  if (w.current) Complete(w);  // the event the program handled since the last step
  for (;;) {
    if (w.loopFinished || CloseAnswered(w)) return EndLoop(w);
    NoteFocus();
    switch (FetchNext(w)) {
      case Fetch::kDelivered:
        return false;
      case Fetch::kEndLoop:
        return EndLoop(w);
      case Fetch::kConsumed:
        Complete(w);
        continue;
      case Fetch::kNothing:
        break;
    }
    if (!platform_.MessageWaiting()) {
      platform_.RunIdle(w);
      if (w.queued() > 0) continue;
    }
    platform_.WaitAndDispatch(w);
    if (!platform_.WindowExists(w)) return EndLoop(w);
  }
}

void EventLoop::BeginLoop(WindowEventState& w) {
  ++w.loopDepth;
  w.loopFinished = false;
  w.modalAdded = w.modal ? 1 : 0;
  modalCount_ += w.modalAdded;
}

bool EventLoop::EndLoop(WindowEventState& w) {
  if (w.loopDepth > 0) --w.loopDepth;
  modalCount_ -= w.modalAdded;
  if (modalCount_ < 0) modalCount_ = 0;
  w.modalAdded = 0;
  w.current.reset();
  w.declined = false;
  return true;
}

void EventLoop::Complete(WindowEventState& w) {
  DeliveredEvent event = *w.current;
  bool refused = w.declined;
  w.current.reset();
  w.declined = false;
  switch (event.code()) {
    case kEventCloseWindow:
    case kEventCloseDown:
      if (!refused) {
        w.closeState = CloseState::kAccepted;
      } else if (event.code() == kEventCloseDown) {
        // A child that stays open keeps its waiting parent open too.
        WindowEventState* parent = w.mdiParent();
        if (parent != nullptr && parent->closeState == CloseState::kWaitingForChildren) {
          parent->closeState = CloseState::kOpen;
        }
      }
      break;
    case kEventOpenFailed:
      w.loopFinished = true;
      break;
    case kEventSelected:
      if (event.field == w.selectedField) platform_.SelectControl(w, event.field);
      break;
    default:
      break;
  }
}

bool EventLoop::CloseAnswered(WindowEventState& w) {
  if (w.closeState == CloseState::kAccepted) {
    if (w.mdiChildren().empty()) return true;
    for (WindowEventState* child : w.mdiChildren()) {
      platform_.PostEvent(*child, kEventCloseDown, 0, false);
    }
    w.closeState = CloseState::kWaitingForChildren;
    return false;
  }
  return w.closeState == CloseState::kWaitingForChildren && w.mdiChildren().empty();
}

void EventLoop::NoteFocus() {
  WindowEventState* focus = platform_.FocusWindow();
  if (focus == focusWindow_) return;
  WindowEventState* lost = focusWindow_;
  focusWindow_ = focus;
  if (lost != nullptr && focus != nullptr && lost->thread == focus->thread) return;
  if (lost != nullptr) platform_.PostEvent(*lost, kEventLoseFocus, 0, false);
  if (focus != nullptr) platform_.PostEvent(*focus, kEventGainFocus, 0, false);
}

EventLoop::Fetch EventLoop::FetchNext(WindowEventState& w) {
  std::optional<DeliveredEvent> event = w.TakeNext();
  if (!event) {
    platform_.RunFieldWork(w);
    event = w.TakeNext();
  }
  if (!event) return Fetch::kNothing;
  if (!event->offered) {
    int result = CallHandlers(w, *event);
    if (result == kHandlerConsumed) return Fetch::kConsumed;
    if (result == kHandlerEndLoop) return Fetch::kEndLoop;
  }
  EventCode code = event->code();
  if (code != kEventSuspend && code != kEventResume) {
    WindowEventState* last = lastEventWindow_;
    if (last != nullptr && last != &w && last->thread != w.thread && !last->suspended) {
      last->suspended = true;
      platform_.PostEvent(*last, kEventSuspend, 0, true);
    }
    if (w.suspended) {
      // Resume first; the event itself follows at the next step.
      w.suspended = false;
      DeliveredEvent held = *event;
      held.offered = true;
      w.Queue(held, true);
      event->message = EventMessage(kEventResume);
      event->field = 0;
    }
    lastEventWindow_ = &w;
  }
  w.current = *event;
  w.declined = false;
  return Fetch::kDelivered;
}

int EventLoop::CallHandlers(WindowEventState& w, const DeliveredEvent& event) {
  std::vector<RegisteredHandler> handlers = w.handlers.For(event.message);
  w.current = event;
  w.declined = false;
  if (handlers.empty()) return 0;
  ++w.handlerDepth;
  int result = 0;
  for (const RegisteredHandler& h : handlers) {
    if (!w.handlers.Contains(h)) continue;  // unregistered by an earlier handler
    int answer = h.handler(h.object);
    if (answer == kHandlerConsumed || answer == kHandlerEndLoop) {
      result = answer;
      break;
    }
  }
  --w.handlerDepth;
  return result;
}

int EventLoop::Send(WindowEventState& w, const DeliveredEvent& event, bool is_thread_current) {
  bool loop_running = w.loopDepth > 0 && is_thread_current;
  if (!loop_running && !w.handlers.Handles(event.message)) return kSendNotHandled;
  ++modalCount_;
  ++w.sendingDepth;
  std::optional<DeliveredEvent> saved = w.current;
  bool saved_declined = w.declined;
  DeliveredEvent sent = event;
  sent.window = &w;
  int outcome = kSendNotHandled;
  int result = CallHandlers(w, sent);
  if (result == kHandlerConsumed) {
    outcome = kSendRefused;
  } else if (result == kHandlerEndLoop) {
    outcome = kSendLoopEnded;
    w.loopFinished = true;
  } else if (loop_running && w.sentReceiver != nullptr) {
    int answer = w.sentReceiver(w.sentReceiverObject, sent);
    outcome = (answer == kSendRefused || w.declined) ? kSendRefused : kSendNotHandled;
  }
  w.current = saved;
  w.declined = saved_declined;
  --w.sendingDepth;
  LowerModal();
  return outcome;
}

void EventLoop::Forget(WindowEventState& w) {
  if (focusWindow_ == &w) focusWindow_ = nullptr;
  if (lastEventWindow_ == &w) lastEventWindow_ = nullptr;
  if (w.loopDepth > 0) {
    modalCount_ -= w.modalAdded;
    if (modalCount_ < 0) modalCount_ = 0;
    w.modalAdded = 0;
  }
}

}  // namespace korvex
