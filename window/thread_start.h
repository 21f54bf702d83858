// Starting a procedure on a thread of its own.
#pragma once

#include <cstddef>
#include <string>

#include "window/core/event_threads.h"

namespace korvex {

// Starts procedure on a new thread from the 64-slot table and answers its
// thread number (2 to 64), or 0 when every slot is taken or the thread cannot
// be created. stack_size is the committed stack (0: 20000 bytes). The new
// thread holds the runtime lock while the procedure runs; its slot is freed
// and its handle closed when the procedure returns.
int StartThread(ThreadProcedure procedure, size_t stack_size = 0, const std::string& arg1 = {},
                const std::string& arg2 = {}, const std::string& arg3 = {});

// How many started procedures are running.
int RunningThreads();

}  // namespace korvex
