// Local date and time and the tick count.
#pragma once

#include <cstdint>

namespace korvex::os {

struct LocalDateTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int day_of_week = 0;  // 0 = Sunday
};

LocalDateTime LocalNow();

// Hundredths of a second since an arbitrary start; only differences matter.
uint32_t TickHundredths();

}  // namespace korvex::os
