// The event engine: turns the Win32 messages of a procedure's window into the
// program's events and hands them, one at a time, to its ACCEPT loop.
//
// Every call below runs under the runtime lock (the thread that calls it holds
// it); StartEventEngine gives it to the program's first thread.
#pragma once

#include <windows.h>

#include <cstdint>

#include "window/core/event_codes.h"
#include "window/core/event_handlers.h"
#include "window/core/event_runtime_errors.h"
#include "window/core/event_window_state.h"

namespace korvex {

// Makes the calling thread the program's first thread (number 1) and gives it
// the runtime lock. Later calls do nothing.
void StartEventEngine();

// ---- Windows join and leave the engine (called by window creation) ----

// The window's state joins the engine: hwnd's messages reach it, and it becomes
// the calling thread's current (top) window. parent: the MDI frame's state
// for an MDI child, else nullptr.
void AttachWindow(HWND hwnd, WindowEventState* state, WindowEventState* parent);
// Queues the open events: EVENT:OpenWindow, then EVENT:Sized when the window
// has size events (record flag 0x0800) and is not minimized.
void QueueOpenEvents(WindowEventState* state, bool size_events);
// The window leaves the engine (its WM_DESTROY does this too): queued and
// in-flight events are freed, the thread's previous window becomes current
// again and a waiting MDI parent is woken.
void DetachWindow(HWND hwnd);
// The state attached to hwnd, nullptr when none.
WindowEventState* EventStateOf(HWND hwnd);
// Window state for size events, the application frame's session answer, and
// the program's handling of sent events.
void SetWindowTraits(WindowEventState* state, bool size_events, bool application_frame);

// The runtime error that forbids opening a window of this kind on the calling
// thread now (526, 527, 530, 531, 532), 0 when it may open. The frame is the
// attached window marked as application frame.
int WindowOpenError(WindowKind kind);

// A control of the window took the focus: it becomes the selected field and
// EVENT:Selected is posted for it.
void NoteControlFocus(WindowEventState* state, int32_t field);
// The window's TIMER in hundredths of a second (0 = none).
void SetWindowTimer(WindowEventState* state, uint32_t hundredths);

// The engine's part of a window procedure: true when it handled msg (*result
// is then the answer); false to let the caller go on (and DefWindowProc).
bool EngineHandleMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT* result);
// A complete window procedure of engine-only windows.
LRESULT CALLBACK EngineWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// ---- The ACCEPT loop ----

// Runs the message loop of the calling thread's current window until one
// event is current (false) or the loop is to end (true). Raises 537 when the
// thread has no window.
bool AcceptNext();
EventCode CurrentEvent();   // 0 when none
int32_t CurrentField();     // 0 for window events and when none
int32_t FocusField();       // the control with the focus
int32_t AcceptedField();    // the current event's control if it is EVENT:Accepted
int32_t SelectedField();    // the current event's control if it is EVENT:Selected
uint16_t KeyCode();         // the current event's key, else the thread's last key
int32_t CurrentEventValue();  // the 32-bit value the current event carries
// The program refuses the current event (a close, a sent "before" event).
void DeclineEvent();

// ---- Posting, sending, handlers ----

// Posts an event to the current window of thread `thread` (0 = the caller's).
// Answers false when it was dropped (no such thread or window, post failed).
// A thread that does not hold the runtime lock takes it for the post.
bool PostEvent(EventCode code, int32_t field = 0, int thread = 0, bool to_front = false,
               int32_t value = 0);
// Sends an event to a window and answers its outcome (kSendRefused,
// kSendLoopEnded or kSendNotHandled).
int SendEvent(WindowEventState* state, EventCode code, int32_t field = 0, int32_t value = 0);
// window nullptr: the calling thread's current window.
void RegisterHandler(EventCode code, EventHandlerProc handler, void* object,
                     WindowEventState* window = nullptr, bool to_front = false,
                     uint32_t extra = 0);
void UnregisterHandler(EventCode code, EventHandlerProc handler, void* object,
                       WindowEventState* window = nullptr, bool loose = false,
                       uint32_t extra = 0);

// ---- Hooks of the loop ----

// Sees each message the loop takes before it is dispatched (accelerators,
// dialog keys, the frame's menu keys, the program's key filter); answering
// true consumes it. Filters run in the order they were added.
using MessageFilter = bool (*)(MSG* msg);
void AddMessageFilter(MessageFilter filter);
void RemoveMessageFilter(MessageFilter filter);
// Runs when the loop is about to wait with no message waiting (refreshing
// displayed fields). It must not post anything that wakes the loop again.
using IdleHandler = void (*)(WindowEventState* window);
void SetIdleHandler(IdleHandler handler);

// ---- Modal state ----

int ModalCount();
// A modal box runs: the modal counter is raised and the runtime lock given up
// for the scope's duration.
class ModalBoxScope {
 public:
  ModalBoxScope();
  ~ModalBoxScope();
  ModalBoxScope(const ModalBoxScope&) = delete;
  ModalBoxScope& operator=(const ModalBoxScope&) = delete;

 private:
  bool released_ = false;
};

// The calling thread's current (top) window, nullptr when none.
WindowEventState* ThreadWindow();

}  // namespace korvex
