#include "window/core/event_threads.h"

namespace korvex {

ThreadTable::ThreadTable() { slots_[0].used = true; }

int ThreadTable::Claim() {
  for (int slot = 1; slot < kThreadSlotCount; ++slot) {
    ThreadSlot& s = slots_[static_cast<size_t>(slot)];
    if (!s.used) {
      s = ThreadSlot{};
      s.used = true;
      return slot;
    }
  }
  return -1;
}

void ThreadTable::Release(int slot) {
  if (slot <= 0 || slot >= kThreadSlotCount) return;
  slots_[static_cast<size_t>(slot)] = ThreadSlot{};
}

int ThreadTable::FindThread(uint32_t thread_id) const {
  for (int slot = 0; slot < kThreadSlotCount; ++slot) {
    const ThreadSlot& s = slots_[static_cast<size_t>(slot)];
    if (s.used && s.threadId == thread_id) return slot;
  }
  return -1;
}

int ThreadTable::usedCount() const {
  int count = 0;
  for (const ThreadSlot& s : slots_) count += s.used ? 1 : 0;
  return count;
}

}  // namespace korvex
