// The runtime lock: the id of the thread that holds it, taken without a
// system call when it is free; waiters sleep on an event. A thread holds it except while it waits for messages (and while a
// modal box runs). Waiting for it still serves messages sent to the thread's
// windows, so a thread that sends to a waiting thread is never stuck.
#pragma once

#include <windows.h>

#include <atomic>

namespace korvex {

class RuntimeLock {
 public:
  static RuntimeLock& Instance();

  // Takes the lock, serving sent messages while it waits. REQUIRES: the
  // calling thread does not hold it.
  void Acquire();
  // Gives the lock up. REQUIRES: the calling thread holds it.
  void Release();

  bool HeldByMe() const { return owner_.load() == GetCurrentThreadId(); }
  DWORD owner() const { return owner_.load(); }

 private:
  RuntimeLock();
  bool TryTake(DWORD me);
  HANDLE wake_;                  // auto-reset: set by a release while someone waits
  std::atomic<DWORD> owner_{0};  // 0 = free
  std::atomic<int> waiters_{0};
};

// For the duration of a window procedure: takes the lock when the thread does
// not hold it, or, when another thread that holds it is blocked sending to this
// thread, runs under that thread's hold with this thread's state.
class WindowProcLockScope {
 public:
  WindowProcLockScope();
  ~WindowProcLockScope();
  WindowProcLockScope(const WindowProcLockScope&) = delete;
  WindowProcLockScope& operator=(const WindowProcLockScope&) = delete;

 private:
  bool acquired_ = false;
};

// Gives the lock up for a blocking wait (a modal box, a wait for another
// thread) and takes it back afterwards, when the thread holds it.
class RuntimeLockRelease {
 public:
  RuntimeLockRelease();
  ~RuntimeLockRelease();
  RuntimeLockRelease(const RuntimeLockRelease&) = delete;
  RuntimeLockRelease& operator=(const RuntimeLockRelease&) = delete;

 private:
  bool released_ = false;
};

}  // namespace korvex
