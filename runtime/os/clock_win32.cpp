#include <windows.h>

#include "runtime/os/clock.h"

namespace korvex::os {

LocalDateTime LocalNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  LocalDateTime out;
  out.year = now.wYear;
  out.month = now.wMonth;
  out.day = now.wDay;
  out.hour = now.wHour;
  out.minute = now.wMinute;
  out.second = now.wSecond;
  out.millisecond = now.wMilliseconds;
  out.day_of_week = now.wDayOfWeek;
  return out;
}

uint32_t TickHundredths() {
  return static_cast<uint32_t>(GetTickCount64() / 10);  // wraps, like the platform tick
}

}  // namespace korvex::os
