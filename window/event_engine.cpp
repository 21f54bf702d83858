#include "window/event_engine.h"

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/thread_number.h"
#include "window/core/event_loop.h"
#include "window/engine_internal.h"
#include "window/runtime_error.h"
#include "window/runtime_lock.h"

namespace korvex {

namespace {

constexpr UINT_PTR kTimerId = 0x4B58;  // the engine's TIMER on a window

struct PendingPost {
  HWND target;
  DeliveredEvent event;
};

class Win32LoopPlatform : public LoopPlatform {
 public:
  bool WindowExists(const WindowEventState& w) override;
  bool MessageWaiting() override {
    MSG msg;
    return PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) != FALSE;
  }
  void RunIdle(WindowEventState& w) override {
    if (idle != nullptr) idle(&w);
  }
  IdleHandler idle = nullptr;
  std::vector<MessageFilter> filters;
  void WaitAndDispatch(WindowEventState& w) override;
  WindowEventState* FocusWindow() override;
  void PostEvent(WindowEventState& target, EventCode code, int32_t field, bool to_front) override;
  void SelectControl(WindowEventState& w, int32_t field) override;
};

struct Globals {
  bool started = false;
  ThreadTable threads;
  Win32LoopPlatform platform;
  EventLoop loop{platform};
  std::unordered_map<HWND, WindowEventState*> windows;
  std::vector<WindowEventState*> stacks[kThreadSlotCount];  // each thread's open windows
  std::unordered_map<uint32_t, PendingPost> inflight;       // posted, not yet received
  uint32_t nextPost = 0;
};

Globals& G() {
  static Globals globals;
  return globals;
}

thread_local int my_slot = -1;

ThreadSlot* MyThread() {
  int slot = engine::MySlot();
  return slot >= 0 ? &G().threads.at(slot) : nullptr;
}

WindowEventState* TopWindowOf(int slot) {
  if (!ThreadTable::ValidSlot(slot)) return nullptr;
  return G().threads.at(slot).used ? G().threads.at(slot).topWindow : nullptr;
}

DeliveredEvent MakeEvent(WindowEventState& target, EventCode code, int32_t field, int32_t value) {
  DeliveredEvent e;
  e.window = &target;
  e.message = EventMessage(code);
  e.thread = target.thread;
  e.field = field;
  e.selectedAtPost = target.selectedField;
  e.value = value;
  if (ThreadSlot* me = MyThread()) e.keyCode = me->lastKey;
  // The cursor where the thread's last message put it: GetCursorPos asks the
  // display server and costs a round trip per event.
  DWORD at = GetMessagePos();
  POINT p{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
  if (ScreenToClient(reinterpret_cast<HWND>(target.handle), &p)) {
    e.mouseX = p.x;
    e.mouseY = p.y;
  }
  return e;
}

// Hands an event record to its window: first in the list (and wake the
// thread), or through the window's message queue so that it keeps its place
// among the window's Win32 messages.
bool Deliver(WindowEventState& target, const DeliveredEvent& event, bool to_front) {
  HWND hwnd = reinterpret_cast<HWND>(target.handle);
  if (!IsWindow(hwnd)) return false;  // gone: the event is discarded
  if (to_front) {
    target.Queue(event, true);
    PostMessageA(hwnd, WM_NULL, 0, 0);
    return true;
  }
  Globals& g = G();
  uint32_t id = ++g.nextPost;
  g.inflight[id] = PendingPost{hwnd, event};
  if (!PostMessageA(hwnd, kMsgPostedEvent, id, 0)) {
    g.inflight.erase(id);  // never leaves a record behind
    return false;
  }
  return true;
}

bool Win32LoopPlatform::WindowExists(const WindowEventState& w) {
  HWND hwnd = reinterpret_cast<HWND>(w.handle);
  return IsWindow(hwnd) && G().windows.count(hwnd) != 0;
}

void Win32LoopPlatform::WaitAndDispatch(WindowEventState& w) {
  MSG msg;
  BOOL got;
  {
    RuntimeLockRelease unlocked;
    got = GetMessageA(&msg, nullptr, 0, 0);
  }
  if (got == 0) {
    PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loops
    w.loopFinished = true;
    return;
  }
  if (got < 0) return;
  if (msg.message == kMsgBringToTop && msg.hwnd == nullptr) {
    if (WindowEventState* top = ThreadWindow()) {
      BringWindowToTop(reinterpret_cast<HWND>(top->handle));
    }
    return;
  }
  if (msg.message == kMsgPostTimer && msg.hwnd == nullptr) {
    if (WindowEventState* top = ThreadWindow()) G().platform.PostEvent(*top, kEventTimer, 0, false);
    return;
  }
  if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
    if (ThreadSlot* me = MyThread()) me->lastKey = static_cast<uint32_t>(msg.wParam) & 0x7FF;
  }
  for (MessageFilter filter : std::vector<MessageFilter>(filters)) {
    if (filter(&msg)) return;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

WindowEventState* Win32LoopPlatform::FocusWindow() {
  for (HWND h = GetFocus(); h != nullptr; h = GetParent(h)) {
    auto it = G().windows.find(h);
    if (it != G().windows.end()) return it->second;
  }
  return nullptr;
}

void Win32LoopPlatform::PostEvent(WindowEventState& target, EventCode code, int32_t field,
                                  bool to_front) {
  Deliver(target, MakeEvent(target, code, field, 0), to_front);
}

void Win32LoopPlatform::SelectControl(WindowEventState& w, int32_t field) {
  HWND control = GetDlgItem(reinterpret_cast<HWND>(w.handle), field);
  if (control != nullptr && GetFocus() != control) SetFocus(control);
}

void RemoveFromStack(WindowEventState* state) {
  for (auto& stack : G().stacks) {
    for (size_t i = stack.size(); i-- > 0;) {
      if (stack[i] == state) stack.erase(stack.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  for (int slot = 0; slot < kThreadSlotCount; ++slot) {
    ThreadSlot& s = G().threads.at(slot);
    if (s.topWindow == state) {
      auto& stack = G().stacks[slot];
      s.topWindow = stack.empty() ? nullptr : stack.back();
    }
    if (s.acceptWindow == state) s.acceptWindow = nullptr;
    if (s.handlerWindow == state) s.handlerWindow = nullptr;
  }
}

// The window whose event the thread handles: a sent event's window while it
// is being handled, else the window of the running ACCEPT step.
WindowEventState* HandlingWindow() {
  WindowEventState* w = ThreadWindow();
  if (ThreadSlot* me = MyThread()) {
    if (me->handlerWindow != nullptr) return me->handlerWindow;
    if (me->acceptWindow != nullptr) return me->acceptWindow;
  }
  return w;
}

const DeliveredEvent* Current() {
  WindowEventState* w = HandlingWindow();
  return (w != nullptr && w->current) ? &*w->current : nullptr;
}

std::string ProgramFileName() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string name = path;
  size_t cut = name.find_last_of("\\/:");
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

void PostSizeEvents(WindowEventState& w, WPARAM kind) {
  auto post = [&](EventCode code) { G().platform.PostEvent(w, code, 0, false); };
  if (kind <= SIZE_MAXIMIZED && kind != w.showState) {
    if (kind == SIZE_MAXIMIZED) post(kEventMaximized);
    if (kind == SIZE_MINIMIZED) post(kEventIconized);
    if (kind == SIZE_RESTORED) post(kEventRestored);
    w.showState = static_cast<uint8_t>(kind);
  }
  if (kind != SIZE_MINIMIZED) post(kEventSized);
}

EventCode BeforeEventOf(WPARAM command, HWND hwnd) {
  switch (command & 0xFFF0) {
    case SC_MOVE:
      return IsIconic(hwnd) ? 0 : kEventMove;
    case SC_SIZE:
      return kEventSize;
    case SC_RESTORE:
      return kEventRestore;
    case SC_MAXIMIZE:
      return kEventMaximize;
    case SC_MINIMIZE:
      return kEventIconize;
    default:
      return 0;
  }
}

}  // namespace

namespace engine {
ThreadTable& Threads() { return G().threads; }
int MySlot() { return my_slot; }
void SetMySlot(int slot) {
  my_slot = slot;
  SetCurrentThreadNumber(ThreadNumberOfSlot(slot));
}
size_t InFlightPosts() { return G().inflight.size(); }
void ForgetThreadWindows(int slot) {
  if (!ThreadTable::ValidSlot(slot)) return;
  G().stacks[slot].clear();
  G().threads.at(slot).topWindow = nullptr;
  G().threads.at(slot).acceptWindow = nullptr;
}
}  // namespace engine

void StartEventEngine() {
  Globals& g = G();
  if (g.started) return;
  g.started = true;
  RuntimeLock::Instance().Acquire();
  ThreadSlot& first = g.threads.at(0);
  first.threadId = GetCurrentThreadId();
  engine::SetMySlot(0);
}

void AttachWindow(HWND hwnd, WindowEventState* state, WindowEventState* parent) {
  StartEventEngine();
  Globals& g = G();
  int slot = engine::MySlot();
  state->handle = reinterpret_cast<uintptr_t>(hwnd);
  state->thread = ThreadNumberOfSlot(slot < 0 ? 0 : slot);
  g.windows[hwnd] = state;
  if (parent != nullptr) parent->AdoptChild(state);
  if (slot >= 0) {
    g.stacks[slot].push_back(state);
    g.threads.at(slot).topWindow = state;
  }
}

void QueueOpenEvents(WindowEventState* state, bool size_events) {
  state->sizeEvents = size_events;
  state->Queue(MakeEvent(*state, kEventOpenWindow, 0, 0), false);
  HWND hwnd = reinterpret_cast<HWND>(state->handle);
  if (size_events && (GetWindowLongA(hwnd, GWL_STYLE) & WS_MINIMIZE) == 0) {
    state->Queue(MakeEvent(*state, kEventSized, 0, 0), false);
  }
}

void DetachWindow(HWND hwnd) {
  Globals& g = G();
  auto it = g.windows.find(hwnd);
  if (it == g.windows.end()) return;
  WindowEventState* state = it->second;
  g.windows.erase(it);
  for (auto post = g.inflight.begin(); post != g.inflight.end();) {
    post = post->second.target == hwnd ? g.inflight.erase(post) : std::next(post);
  }
  state->DropQueued();
  g.loop.Forget(*state);
  RemoveFromStack(state);
  for (WindowEventState* child : std::vector<WindowEventState*>(state->mdiChildren())) {
    state->ReleaseChild(child);
  }
  if (WindowEventState* parent = state->mdiParent()) {
    parent->ReleaseChild(state);
    // A parent waiting for its children looks again.
    PostMessageA(reinterpret_cast<HWND>(parent->handle), WM_NULL, 0, 0);
  }
  KillTimer(hwnd, kTimerId);
}

WindowEventState* EventStateOf(HWND hwnd) {
  auto it = G().windows.find(hwnd);
  return it == G().windows.end() ? nullptr : it->second;
}

void SetWindowTraits(WindowEventState* state, bool size_events, bool application_frame) {
  state->sizeEvents = size_events;
  state->applicationFrame = application_frame;
}

int WindowOpenError(WindowKind kind) {
  OpenContext context;
  context.kind = kind;
  context.modalCount = ModalCount();
  for (const auto& [hwnd, state] : G().windows) {
    if (state->applicationFrame && IsWindow(hwnd)) {
      context.frameOpen = true;
      context.onFrameThread = state->thread == ThreadNumberOfSlot(engine::MySlot());
    }
  }
  return CheckWindowOpen(context);
}

void NoteControlFocus(WindowEventState* state, int32_t field) {
  state->selectedField = field;
  G().platform.PostEvent(*state, kEventSelected, field, false);
}

void SetWindowTimer(WindowEventState* state, uint32_t hundredths) {
  HWND hwnd = reinterpret_cast<HWND>(state->handle);
  state->timerPeriod = hundredths;
  if (hundredths == 0) {
    KillTimer(hwnd, kTimerId);
  } else {
    SetTimer(hwnd, kTimerId, hundredths * 10, nullptr);
  }
}

bool EngineHandleMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  (void)lparam;
  WindowProcLockScope locked;
  Globals& g = G();
  WindowEventState* state = EventStateOf(hwnd);
  if (msg == kMsgPostedEvent) {
    auto it = g.inflight.find(static_cast<uint32_t>(wparam));
    if (it != g.inflight.end()) {
      if (state != nullptr && it->second.target == hwnd) state->Queue(it->second.event, false);
      g.inflight.erase(it);
    }
    *result = 0;
    return true;
  }
  if (state == nullptr) return false;
  switch (msg) {
    case WM_TIMER:
      if (wparam != kTimerId) return false;
      if (state->timerPeriod != 0) state->Queue(MakeEvent(*state, kEventTimer, 0, 0), false);
      *result = 0;
      return true;
    case WM_CLOSE: {
      // The focused control finishes its edit before the close is seen.
      HWND focus = GetFocus();
      if (focus != nullptr && IsChild(hwnd, focus)) SendMessageA(focus, kQueryEditDone, 0, 0);
      g.platform.PostEvent(*state, kEventCloseWindow, 0, false);
      *result = 0;
      return true;
    }
    case WM_QUERYENDSESSION:
      if (!state->applicationFrame) return false;
      BringWindowToTop(hwnd);
      {
        std::string title = ProgramFileName();
        ModalBoxScope modal;
        MessageBoxA(hwnd, "Application still active.\n\nQuit the application before quitting Windows.",
                    title.c_str(), MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
      }
      *result = FALSE;
      return true;
    case WM_SYSCOMMAND: {
      if (!state->sizeEvents) return false;
      EventCode before = BeforeEventOf(wparam, hwnd);
      if (before == 0) return false;
      if (SendEvent(state, before) == kSendRefused) {
        *result = 0;
        return true;
      }
      return false;
    }
    case WM_MOVE:
      if (state->sizeEvents && !IsIconic(hwnd)) g.platform.PostEvent(*state, kEventMoved, 0, false);
      return false;
    case WM_SIZE:
      if (state->sizeEvents) PostSizeEvents(*state, wparam);
      return false;
    case WM_DESTROY:
      DetachWindow(hwnd);
      return false;
    default:
      return false;
  }
}

LRESULT CALLBACK EngineWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  if (EngineHandleMessage(hwnd, msg, wparam, lparam, &result)) return result;
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

bool AcceptNext() {
  StartEventEngine();
  ThreadSlot* me = MyThread();
  WindowEventState* w = ThreadWindow();
  if (me == nullptr || w == nullptr) RaiseRuntimeError(kErrorAcceptWithoutWindow, "CTLMAIN");
  me->acceptWindow = w;
  bool end = G().loop.Step(*w);
  if (end && me->acceptWindow == w) me->acceptWindow = nullptr;
  return end;
}

EventCode CurrentEvent() {
  const DeliveredEvent* e = Current();
  return e != nullptr ? e->code() : 0;
}

int32_t CurrentField() {
  const DeliveredEvent* e = Current();
  return e != nullptr ? e->field : 0;
}

int32_t FocusField() {
  WindowEventState* w = ThreadWindow();
  return w != nullptr ? w->selectedField : 0;
}

int32_t AcceptedField() {
  const DeliveredEvent* e = Current();
  return (e != nullptr && e->code() == kEventAccepted) ? e->field : 0;
}

int32_t SelectedField() {
  const DeliveredEvent* e = Current();
  return (e != nullptr && e->code() == kEventSelected) ? e->field : 0;
}

uint16_t KeyCode() {
  if (const DeliveredEvent* e = Current()) return static_cast<uint16_t>(e->keyCode & 0x7FF);
  ThreadSlot* me = MyThread();
  return me != nullptr ? static_cast<uint16_t>(me->lastKey & 0x7FF) : 0;
}

int32_t CurrentEventValue() {
  const DeliveredEvent* e = Current();
  return e != nullptr ? e->value : 0;
}

void DeclineEvent() {
  WindowEventState* w = HandlingWindow();
  if (w != nullptr && w->current) w->declined = true;
}

bool PostEvent(EventCode code, int32_t field, int thread, bool to_front, int32_t value) {
  WindowProcLockScope locked;
  int slot = thread == 0 ? engine::MySlot() : SlotOfThreadNumber(thread);
  WindowEventState* target = TopWindowOf(slot);
  if (target == nullptr) return false;  // a thread without a window ignores the post
  return Deliver(*target, MakeEvent(*target, code, field, value), to_front);
}

int SendEvent(WindowEventState* state, EventCode code, int32_t field, int32_t value) {
  if (state == nullptr) return kSendNotHandled;
  DeliveredEvent e = MakeEvent(*state, code, field, value);
  bool is_current = TopWindowOf(SlotOfThreadNumber(state->thread)) == state;
  ThreadSlot* me = MyThread();
  WindowEventState* handling = me != nullptr ? me->handlerWindow : nullptr;
  if (me != nullptr) me->handlerWindow = state;
  int outcome = G().loop.Send(*state, e, is_current);
  if (me != nullptr) me->handlerWindow = handling;
  return outcome;
}

void RegisterHandler(EventCode code, EventHandlerProc handler, void* object,
                     WindowEventState* window, bool to_front, uint32_t extra) {
  if (window == nullptr) window = ThreadWindow();
  if (window == nullptr || handler == nullptr) return;
  window->handlers.Add({EventMessage(code), handler, object, extra}, to_front);
}

void UnregisterHandler(EventCode code, EventHandlerProc handler, void* object,
                       WindowEventState* window, bool loose, uint32_t extra) {
  if (window == nullptr) window = ThreadWindow();
  if (window == nullptr) return;
  window->handlers.Remove(code == 0 ? 0 : EventMessage(code), handler, object, loose, extra);
}

void AddMessageFilter(MessageFilter filter) {
  if (filter != nullptr) G().platform.filters.push_back(filter);
}

void RemoveMessageFilter(MessageFilter filter) {
  auto& filters = G().platform.filters;
  for (size_t i = filters.size(); i-- > 0;) {
    if (filters[i] == filter) filters.erase(filters.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

void SetIdleHandler(IdleHandler handler) { G().platform.idle = handler; }

int ModalCount() { return G().loop.modalCount(); }

ModalBoxScope::ModalBoxScope() {
  G().loop.RaiseModal();
  RuntimeLock& lock = RuntimeLock::Instance();
  if (lock.HeldByMe()) {
    lock.Release();
    released_ = true;
  }
}

ModalBoxScope::~ModalBoxScope() {
  if (released_) RuntimeLock::Instance().Acquire();
  G().loop.LowerModal();
}

WindowEventState* ThreadWindow() { return TopWindowOf(engine::MySlot()); }

}  // namespace korvex
