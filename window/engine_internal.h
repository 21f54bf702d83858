// What the engine's own Win32 files share: the thread table and the calling
// thread's slot. Not for use outside window/.
#pragma once

#include <cstddef>

#include "window/core/event_threads.h"

namespace korvex::engine {

ThreadTable& Threads();
// The calling thread's slot (-1 for a thread the runtime did not start).
int MySlot();
void SetMySlot(int slot);
// Posted event records on their way through a window's message queue.
size_t InFlightPosts();
// The thread's windows are gone with it.
void ForgetThreadWindows(int slot);

}  // namespace korvex::engine
