#include "runtime/thread_number.h"

namespace korvex {

namespace {
thread_local int thread_number = 1;
}  // namespace

int CurrentThreadNumber() { return thread_number; }

void SetCurrentThreadNumber(int number) { thread_number = number; }

}  // namespace korvex
