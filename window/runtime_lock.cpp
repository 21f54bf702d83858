#include "window/runtime_lock.h"

namespace korvex {

RuntimeLock& RuntimeLock::Instance() {
  static RuntimeLock lock;
  return lock;
}

RuntimeLock::RuntimeLock() : semaphore_(CreateSemaphoreA(nullptr, 1, 1, nullptr)) {}

void RuntimeLock::Acquire() {
  for (;;) {
    DWORD woke = MsgWaitForMultipleObjects(1, &semaphore_, FALSE, INFINITE, QS_SENDMESSAGE);
    if (woke == WAIT_OBJECT_0) break;
    // A message sent from another thread: looking at the queue serves it.
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  }
  owner_.store(GetCurrentThreadId());
}

void RuntimeLock::Release() {
  owner_.store(0);
  ReleaseSemaphore(semaphore_, 1, nullptr);
}

WindowProcLockScope::WindowProcLockScope() {
  RuntimeLock& lock = RuntimeLock::Instance();
  if (lock.HeldByMe()) return;
  // Sent from the thread that holds the lock: that thread is blocked until we
  // answer, so we run under its hold (waiting for the lock would deadlock).
  if (InSendMessage() && lock.owner() != 0) return;
  lock.Acquire();
  acquired_ = true;
}

WindowProcLockScope::~WindowProcLockScope() {
  if (acquired_) RuntimeLock::Instance().Release();
}

RuntimeLockRelease::RuntimeLockRelease() {
  RuntimeLock& lock = RuntimeLock::Instance();
  if (!lock.HeldByMe()) return;
  lock.Release();
  released_ = true;
}

RuntimeLockRelease::~RuntimeLockRelease() {
  if (released_) RuntimeLock::Instance().Acquire();
}

}  // namespace korvex
