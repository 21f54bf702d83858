#include "window/thread_start.h"

#include <windows.h>

#include "window/core/event_codes.h"
#include "window/engine_internal.h"
#include "window/event_engine.h"
#include "window/runtime_lock.h"

namespace korvex {

namespace {

struct StartInfo {
  HANDLE started;  // the new thread releases it once its message queue exists
};

DWORD WINAPI ThreadEntry(LPVOID param) {
  auto* info = static_cast<StartInfo*>(param);
  MSG msg;
  // The queue exists before the starter goes on, so its 0x2414 is never lost.
  PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  ReleaseSemaphore(info->started, 1, nullptr);
  info = nullptr;  // the starter's; gone from here on
  while (GetMessageA(&msg, nullptr, kMsgThreadStarted, kMsgThreadStarted) <= 0) {
  }
  int slot = static_cast<int>(msg.wParam);
  RuntimeLock::Instance().Acquire();
  engine::SetMySlot(slot);
  ThreadSlot& s = engine::Threads().at(slot);
  ThreadProcedure procedure = s.procedure;
  auto args = s.args;
  procedure(args[0], args[1], args[2]);
  // The procedure returned: windows it left open and its slot go.
  ThreadSlot& done = engine::Threads().at(slot);
  for (int left = 0; left < 1000; ++left) {
    WindowEventState* w = ThreadWindow();
    if (w == nullptr) break;
    HWND hwnd = reinterpret_cast<HWND>(w->handle);
    if (IsWindow(hwnd)) DestroyWindow(hwnd);  // its WM_DESTROY detaches it
    if (ThreadWindow() == w) DetachWindow(hwnd);
    if (ThreadWindow() == w) break;
  }
  engine::ForgetThreadWindows(slot);
  HANDLE handle = reinterpret_cast<HANDLE>(done.handle);
  engine::Threads().Release(slot);
  if (handle != nullptr) CloseHandle(handle);
  RuntimeLock::Instance().Release();
  return 0;
}

// Waits for handle while still serving messages sent to this thread.
void WaitServingSent(HANDLE handle) {
  for (;;) {
    DWORD woke = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_SENDMESSAGE);
    if (woke == WAIT_OBJECT_0) return;
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  }
}

}  // namespace

int StartThread(ThreadProcedure procedure, size_t stack_size, const std::string& arg1,
                const std::string& arg2, const std::string& arg3) {
  StartEventEngine();
  if (procedure == nullptr) return 0;
  WindowProcLockScope locked;  // the slot table is shared
  ThreadTable& table = engine::Threads();
  int slot = table.Claim();
  if (slot < 0) return 0;
  ThreadSlot& s = table.at(slot);
  s.stackSize = EffectiveStackSize(stack_size);
  s.procedure = procedure;
  s.args = {arg1, arg2, arg3};
  StartInfo info{CreateSemaphoreA(nullptr, 0, 1, nullptr)};
  if (info.started == nullptr) {
    table.Release(slot);
    return 0;
  }
  DWORD id = 0;
  // Without STACK_SIZE_PARAM_IS_A_RESERVATION the size is the committed stack.
  HANDLE thread = CreateThread(nullptr, s.stackSize, ThreadEntry, &info, CREATE_SUSPENDED, &id);
  if (thread == nullptr) {
    CloseHandle(info.started);
    table.Release(slot);
    return 0;
  }
  s.threadId = id;
  s.handle = reinterpret_cast<uintptr_t>(thread);
  ResumeThread(thread);
  WaitServingSent(info.started);
  CloseHandle(info.started);
  PostThreadMessageA(id, kMsgThreadStarted, static_cast<WPARAM>(slot), 0);
  return ThreadNumberOfSlot(slot);
}

int RunningThreads() { return engine::Threads().usedCount() - 1; }

}  // namespace korvex
