// The runtime's number of the calling thread, counted from 1.
#pragma once

namespace korvex {

// 1 on every thread until the thread's owner (the event engine) numbers it.
int CurrentThreadNumber();

// Gives the calling thread its number.
void SetCurrentThreadNumber(int number);

}  // namespace korvex
