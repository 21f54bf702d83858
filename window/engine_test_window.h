// Test windows for the engine's tests: plain windows with the engine's window
// procedure and an event state, and the loop the program would run.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "window/event_engine.h"
#include "window/runtime_lock.h"

namespace korvex::test {

inline const char* EngineTestClass() {
  static const char* name = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = EngineWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KorvexEngineTest";
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassA(&wc);
    return "KorvexEngineTest";
  }();
  return name;
}

struct TestWindow {
  WindowEventState state;
  HWND hwnd = nullptr;

  // Opens on the calling thread; parent: an MDI frame's state.
  explicit TestWindow(bool size_events = false, WindowEventState* parent = nullptr,
                      bool shown = false) {
    hwnd = CreateWindowExA(0, EngineTestClass(), "engine test", WS_OVERLAPPEDWINDOW, 20, 20, 300,
                           200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    AttachWindow(hwnd, &state, parent);
    SetWindowTraits(&state, size_events, false);
    QueueOpenEvents(&state, size_events);
    if (shown) ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  }
  ~TestWindow() {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
};

// Runs the ACCEPT loop, recording the events it sees; on_event may act on each.
inline std::vector<EventCode> RunAcceptLoop(std::function<void(EventCode)> on_event = nullptr,
                                            size_t limit = 100000) {
  std::vector<EventCode> seen;
  while (!AcceptNext()) {
    seen.push_back(CurrentEvent());
    if (on_event) on_event(CurrentEvent());
    if (seen.size() >= limit) break;
  }
  return seen;
}

// Only the events of interest, in order.
inline std::vector<EventCode> Only(const std::vector<EventCode>& seen,
                                   std::initializer_list<EventCode> wanted) {
  std::vector<EventCode> out;
  for (EventCode e : seen) {
    for (EventCode w : wanted) {
      if (e == w) out.push_back(e);
    }
  }
  return out;
}

// Polls pred with the runtime lock given up in between; false on time-out.
inline bool WaitUntil(std::function<bool()> pred, int timeout_ms = 10000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    RuntimeLockRelease unlocked;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(5);
  }
  return true;
}

}  // namespace korvex::test
