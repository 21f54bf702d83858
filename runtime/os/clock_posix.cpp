#include <time.h>

#include "runtime/os/clock.h"

namespace korvex::os {

LocalDateTime LocalNow() {
  struct timespec now = {};
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm local = {};
  localtime_r(&now.tv_sec, &local);
  LocalDateTime out;
  out.year = local.tm_year + 1900;
  out.month = local.tm_mon + 1;
  out.day = local.tm_mday;
  out.hour = local.tm_hour;
  out.minute = local.tm_min;
  // A leap second (60) would be an invalid time everywhere else.
  out.second = local.tm_sec < 60 ? local.tm_sec : 59;
  out.millisecond = static_cast<int>(now.tv_nsec / 1000000);
  out.day_of_week = local.tm_wday;
  return out;
}

uint32_t TickHundredths() {
  struct timespec now = {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t hundredths = static_cast<uint64_t>(now.tv_sec) * 100 +
                        static_cast<uint64_t>(now.tv_nsec) / 10000000;
  return static_cast<uint32_t>(hundredths);  // wraps, like the platform tick
}

}  // namespace korvex::os
