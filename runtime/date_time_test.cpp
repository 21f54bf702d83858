#include "runtime/date_time.h"

#include <gtest/gtest.h>

#include <thread>

#include "runtime/os/clock.h"

namespace korvex {
namespace {

class DateTime : public ::testing::Test {
 protected:
  void TearDown() override { SetCurrentYearForTesting(0); }
};

TEST_F(DateTime, DateAtTheEndsOfTheRangeAndAroundLeapDays) {
  EXPECT_EQ(Date(1, 1, 1801), 4);
  EXPECT_EQ(Date(1, 2, 1801), 5);
  EXPECT_EQ(Date(12, 31, 9999), 2994626);
  // 199 years of 365 days and 48 leap days (1804..1996 without 1900).
  EXPECT_EQ(Date(1, 1, 2000), 4 + 199 * 365 + 48);
  EXPECT_EQ(Date(2, 29, 1900), -1);
  EXPECT_EQ(Date(2, 29, 2000), Date(2, 28, 2000) + 1);
  EXPECT_EQ(Date(3, 1, 2000), Date(2, 28, 2000) + 2);
  EXPECT_EQ(Date(3, 1, 1900), Date(2, 28, 1900) + 1);
  for (auto [m, d, y] : {std::tuple{0, 1, 2000}, {13, 1, 2000}, {1, 0, 2000}, {1, 32, 2000},
                         {4, 31, 2000}, {12, 31, 1800}, {1, 1, 10000}, {1, 1, -5}}) {
    EXPECT_EQ(Date(m, d, y), -1) << m << "/" << d << "/" << y;
  }
}

TEST_F(DateTime, SerialsOutsideTheRangeHaveNoComponents) {
  for (int32_t serial : {0, 3, 2994627, -1}) {
    DateParts parts{7, 7, 7};
    EXPECT_FALSE(DateComponents(serial, &parts));
    EXPECT_EQ(parts.year, 0);
    EXPECT_EQ(parts.month, 0);
    EXPECT_EQ(parts.day, 0);
    EXPECT_EQ(Day(serial) + Month(serial) + Year(serial), 0);
    EXPECT_EQ(DateSerialToPacked(serial), 0u);
  }
  EXPECT_EQ(Day(2994626), 31);
  EXPECT_EQ(Month(2994626), 12);
  EXPECT_EQ(Year(2994626), 9999);
}

// Every valid serial goes through its components, DATE and the packed form and
// back, and consecutive serials are consecutive calendar days.
TEST_F(DateTime, EverySerialRoundTrips) {
  DateParts previous{1800, 12, 31};
  for (int32_t serial = kFirstDateSerial; serial <= kLastDateSerial; ++serial) {
    DateParts parts;
    ASSERT_TRUE(DateComponents(serial, &parts)) << serial;
    bool next_day = parts.year == previous.year && parts.month == previous.month &&
                    parts.day == previous.day + 1;
    bool next_month = parts.day == 1 && ((parts.year == previous.year &&
                                          parts.month == previous.month + 1) ||
                                         (parts.year == previous.year + 1 && parts.month == 1 &&
                                          previous.month == 12));
    ASSERT_TRUE(next_day || next_month) << serial;
    if (next_month) {
      ASSERT_EQ(previous.day, DaysInMonth(previous.year, previous.month)) << serial;
    }
    ASSERT_EQ(Date(parts.month, parts.day, parts.year), serial);
    uint32_t packed = DateSerialToPacked(serial);
    ASSERT_EQ(packed, static_cast<uint32_t>(parts.year) << 16 | parts.month << 8 | parts.day);
    ASSERT_EQ(PackedToDateSerial(packed), serial);
    previous = parts;
  }
  EXPECT_EQ(previous.year, 9999);
}

TEST_F(DateTime, PackedDatesThatAreNotDates) {
  EXPECT_EQ(PackedToDateSerial(0), 0);
  EXPECT_EQ(PackedToDateSerial(2023u << 16 | 2 << 8 | 29), 0);
  EXPECT_EQ(PackedToDateSerial(2023u << 16 | 13 << 8 | 1), 0);
  // Years above 9999 become the last day.
  EXPECT_EQ(PackedToDateSerial(10000u << 16 | 1 << 8 | 1), kLastDateSerial);
  EXPECT_EQ(PackedToDateSerial(0xFFFFFFFFu), kLastDateSerial);
}

TEST_F(DateTime, TwoDigitYearsFollowTheWindow) {
  SetCurrentYearForTesting(1999);
  EXPECT_EQ(CurrentYear(), 1999);
  EXPECT_EQ(ExpandYear(19), 2019);
  EXPECT_EQ(ExpandYear(20), 1920);
  EXPECT_EQ(ExpandYear(99), 1999);
  EXPECT_EQ(ExpandYear(0), 2000);
  EXPECT_EQ(ExpandYear(100), 100);
  EXPECT_EQ(ExpandYear(49, 50), 2049);
  EXPECT_EQ(ExpandYear(50, 50), 1950);
  EXPECT_EQ(Date(1, 1, 19), Date(1, 1, 2019));
  SetCurrentYearForTesting(2024);  // years above the current two digits
  EXPECT_EQ(ExpandYear(44), 2044);
  EXPECT_EQ(ExpandYear(45), 1945);
  EXPECT_EQ(ExpandYear(24), 2024);
  for (int year = 0; year < 100; ++year) {
    int32_t full = ExpandYear(year);
    EXPECT_GE(full, 2024 - 79);
    EXPECT_LE(full, 2024 + 20);
    EXPECT_EQ(full % 100, year);
  }
}

TEST_F(DateTime, LeapYearSetsFebruaryAndTheFlagPerThread) {
  EXPECT_FALSE(LeapYear(1900));
  EXPECT_FALSE(LastExaminedYearWasLeap());
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_TRUE(LeapYear(2000));
  EXPECT_TRUE(LeapYear(2024));
  EXPECT_TRUE(LastExaminedYearWasLeap());
  std::thread([] { LeapYear(2023); }).join();
  EXPECT_TRUE(LastExaminedYearWasLeap());
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(2024, 13), 0);
}

TEST_F(DateTime, TimeSerialsAndPackedTimes) {
  uint32_t packed = 99;
  // Midnight packs to all zeros, which reads back as "no time".
  EXPECT_TRUE(TimeSerialToPacked(1, &packed));
  EXPECT_EQ(packed, 0u);
  EXPECT_EQ(PackedToTimeSerial(packed), 0);
  EXPECT_TRUE(TimeSerialToPacked(kLastTimeSerial, &packed));
  EXPECT_EQ(packed, 0x173B3B63u);  // 23:59:59.99
  for (int32_t bad : {0, -1, kLastTimeSerial + 1}) {
    packed = 99;
    EXPECT_FALSE(TimeSerialToPacked(bad, &packed));
    EXPECT_EQ(packed, 0u);
  }
  EXPECT_EQ(PackedToTimeSerial(0x18000000u), -1);  // hour 24
  EXPECT_EQ(PackedToTimeSerial(0x003C0000u), -1);  // minute 60
  EXPECT_EQ(PackedToTimeSerial(0x00003C00u), -1);  // second 60
  EXPECT_EQ(PackedToTimeSerial(0x00000064u), -1);  // hundredths 100
  for (int32_t serial = 2; serial <= kLastTimeSerial; ++serial) {
    ASSERT_TRUE(TimeSerialToPacked(serial, &packed));
    ASSERT_EQ(PackedToTimeSerial(packed), serial);
  }
  TimeParts parts;
  EXPECT_TRUE(TimeComponents(13 * 360000 + 5 * 6000 + 7 * 100 + 9 + 1, &parts));
  EXPECT_EQ(parts.hour, 13);
  EXPECT_EQ(parts.minute, 5);
  EXPECT_EQ(parts.second, 7);
  EXPECT_EQ(parts.hundredths, 9);
}

TEST_F(DateTime, AgeInDaysMonthsAndYears) {
  int32_t base = Date(3, 2, 2023);
  EXPECT_EQ(Age(base - 60, base), "60 DAYS");
  EXPECT_EQ(Age(base - 61, base), "2 MOS");  // 1 January 2023
  EXPECT_EQ(Age(base, base), "0 DAYS");
  EXPECT_EQ(Age(Date(1, 15, 2022), Date(3, 14, 2023)), "13 MOS");
  EXPECT_EQ(Age(Date(1, 15, 2022), Date(3, 15, 2023)), "14 MOS");
  EXPECT_EQ(Age(Date(1, 1, 2021), Date(1, 1, 2023)), "24 MOS");
  EXPECT_EQ(Age(Date(1, 1, 2021), Date(2, 2, 2023)), "2 YRS");
  EXPECT_EQ(Age(Date(6, 10, 1990), Date(6, 9, 2023)), "32 YRS");
  EXPECT_EQ(Age(Date(6, 10, 1990), Date(6, 10, 2023)), "33 YRS");
  // A birth after the base is taken a century earlier.
  EXPECT_EQ(Age(Date(1, 10, 2023), Date(1, 9, 2023)), "99 YRS");
  const std::string stars(255, '*');
  EXPECT_EQ(Age(Date(2, 29, 2000), Date(1, 1, 2000)), stars);  // 29 Feb 1900 does not exist
  EXPECT_EQ(Age(Date(1, 2, 1801), Date(1, 1, 1801)), stars);
  EXPECT_EQ(Age(0, base), stars);
  EXPECT_EQ(Age(base, 3), stars);
}

TEST_F(DateTime, TodayAndClockFollowTheLocalTime) {
  os::LocalDateTime now = os::LocalNow();
  int32_t today = Today();
  DateParts parts;
  ASSERT_TRUE(DateComponents(today, &parts));
  // The test may run across midnight; then the date moved on by one day.
  int32_t then = Date(now.month, now.day, now.year);
  EXPECT_TRUE(today == then || today == then + 1);
  EXPECT_EQ(Age(today - 5), "5 DAYS");
  int32_t clock = Clock();
  EXPECT_GE(clock, 1);
  EXPECT_LE(clock, kLastTimeSerial);
}

TEST_F(DateTime, MonthNames) {
  EXPECT_STREQ(MonthName(1), "January");
  EXPECT_STREQ(MonthName(9), "September");
  EXPECT_STREQ(MonthName(0), "");
  EXPECT_STREQ(MonthName(13), "");
  EXPECT_STREQ(MonthShortName(12), "Dec");
  EXPECT_STREQ(AmMarker(), "AM");
  EXPECT_STREQ(PmMarker(), "PM");
}

}  // namespace
}  // namespace korvex
