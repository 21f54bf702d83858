#include "runtime/os/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace korvex::os {
namespace {

TEST(ClockTest, LocalNowIsAValidDateAndTime) {
  LocalDateTime now = LocalNow();
  EXPECT_GE(now.year, 2020);
  EXPECT_LE(now.year, 2200);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
  EXPECT_GE(now.hour, 0);
  EXPECT_LE(now.hour, 23);
  EXPECT_GE(now.minute, 0);
  EXPECT_LE(now.minute, 59);
  EXPECT_GE(now.second, 0);
  EXPECT_LE(now.second, 59);
  EXPECT_GE(now.millisecond, 0);
  EXPECT_LE(now.millisecond, 999);
  EXPECT_GE(now.day_of_week, 0);
  EXPECT_LE(now.day_of_week, 6);
}

TEST(ClockTest, TickAdvancesInHundredths) {
  uint32_t before = TickHundredths();
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  uint32_t elapsed = TickHundredths() - before;  // unsigned: survives a wrap
  EXPECT_GE(elapsed, 10u);
  EXPECT_LE(elapsed, 200u);
}

}  // namespace
}  // namespace korvex::os
