#include "window/runtime_lock.h"

namespace korvex {

RuntimeLock& RuntimeLock::Instance() {
  static RuntimeLock lock;
  return lock;
}

RuntimeLock::RuntimeLock() : wake_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

bool RuntimeLock::TryTake(DWORD me) {
  DWORD expected = 0;
  return owner_.compare_exchange_strong(expected, me);
}

void RuntimeLock::Acquire() {
  const DWORD me = GetCurrentThreadId();
  if (TryTake(me)) return;
  waiters_.fetch_add(1);
  // A release between the first try and the count above is seen here.
  while (!TryTake(me)) {
    DWORD woke = MsgWaitForMultipleObjects(1, &wake_, FALSE, INFINITE, QS_SENDMESSAGE);
    if (woke != WAIT_OBJECT_0) {
      // A message sent from another thread: looking at the queue serves it.
      MSG msg;
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
  }
  waiters_.fetch_sub(1);
}

void RuntimeLock::Release() {
  owner_.store(0);
  if (waiters_.load() > 0) SetEvent(wake_);
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
