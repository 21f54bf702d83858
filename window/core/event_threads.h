// The runtime's table of 64 thread slots. Slot 0 is the program's first
// thread, slots 1 to 63 go to started procedures. Thread numbers are slot
// numbers plus 1. The table is used under the runtime lock only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace korvex {

class WindowEventState;

inline constexpr int kThreadSlotCount = 64;
inline constexpr size_t kDefaultThreadStack = 20000;

// A started procedure receives its (up to three) text arguments.
using ThreadProcedure = void (*)(const std::string& arg1, const std::string& arg2,
                                 const std::string& arg3);

struct ThreadSlot {
  bool used = false;
  uint32_t threadId = 0;             // the platform's thread id
  uintptr_t handle = 0;              // the platform's thread handle
  size_t stackSize = 0;
  ThreadProcedure procedure = nullptr;
  std::array<std::string, 3> args;
  // Per-thread runtime state.
  WindowEventState* topWindow = nullptr;     // the thread's current window
  WindowEventState* acceptWindow = nullptr;  // window of the running ACCEPT step
  WindowEventState* handlerWindow = nullptr; // window whose handlers are running
  uint32_t lastKey = 0;                      // the last key the thread saw
};

inline constexpr int ThreadNumberOfSlot(int slot) { return slot + 1; }
inline constexpr int SlotOfThreadNumber(int number) { return number - 1; }
// The stack a procedure gets: 0 asks for the default.
inline constexpr size_t EffectiveStackSize(size_t requested) {
  return requested == 0 ? kDefaultThreadStack : requested;
}

class ThreadTable {
 public:
  ThreadTable();

  // Takes the first free slot from 1 to 63 and clears it; -1 when all are used.
  int Claim();
  // Frees a started thread's slot (slot 0 stays the first thread's).
  void Release(int slot);
  // The slot of a platform thread id, -1 when none.
  int FindThread(uint32_t thread_id) const;
  int usedCount() const;

  ThreadSlot& at(int slot) { return slots_.at(static_cast<size_t>(slot)); }
  const ThreadSlot& at(int slot) const { return slots_.at(static_cast<size_t>(slot)); }
  static bool ValidSlot(int slot) { return slot >= 0 && slot < kThreadSlotCount; }

 private:
  std::array<ThreadSlot, kThreadSlotCount> slots_;
};

}  // namespace korvex
