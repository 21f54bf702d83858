#include "runtime/date_time.h"

#include <atomic>

#include "runtime/os/clock.h"

namespace korvex {

namespace {

constexpr int kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

constexpr const char* kMonthNames[12] = {"January", "February", "March",     "April",
                                         "May",     "June",     "July",      "August",
                                         "September", "October", "November", "December"};
constexpr const char* kMonthShortNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Examining a year rewrites February and the leap flag. Every thread has its
// own copy, so one thread's conversion never sees another's February.
thread_local int t_days_per_month[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
thread_local bool t_last_year_was_leap = false;

std::atomic<int32_t> g_cached_year{0};    // 0 until first read
std::atomic<int32_t> g_year_override{0};  // tests only

// Leap days in years 1..y (proleptic Gregorian).
constexpr int64_t LeapDaysThrough(int64_t y) { return y / 4 - y / 100 + y / 400; }

// Days from 1 January 1801 to 1 January of `year`.
constexpr int64_t DaysBeforeYear(int64_t year) {
  return (year - 1801) * 365 + (LeapDaysThrough(year - 1) - LeapDaysThrough(1800));
}

void AppendNumber(std::string* out, int64_t value) { *out += std::to_string(value); }

}  // namespace

bool LeapYear(int32_t year) {
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  t_days_per_month[1] = leap ? 29 : 28;
  t_last_year_was_leap = leap;
  return leap;
}

bool LastExaminedYearWasLeap() { return t_last_year_was_leap; }

int32_t CurrentYear() {
  int32_t year = g_year_override.load(std::memory_order_relaxed);
  if (year != 0) return year;
  year = g_cached_year.load(std::memory_order_relaxed);
  if (year == 0) {
    year = os::LocalNow().year;
    // Two threads may both read the clock on first use; either answer is right.
    g_cached_year.store(year, std::memory_order_relaxed);
  }
  return year;
}

void SetCurrentYearForTesting(int32_t year) {
  g_year_override.store(year, std::memory_order_relaxed);
}

int32_t ExpandYear(int32_t year, int window) {
  // Negative years are left alone: no window makes them valid.
  if (year < 0 || year >= 100) return year;
  int32_t current = CurrentYear();
  int32_t d = current % 100 - year;
  int32_t result = current - d;
  // The window keeps W years back and 100 - W ahead: current - W + 1 ..
  // current + 100 - W, so with 80 in 1999 "19" is 2019 and "20" is 1920.
  if (d < window - 100) {
    result -= 100;
  } else if (d >= window) {
    result += 100;
  }
  return result;
}

int DaysInMonth(int32_t year, int month) {
  if (month < 1 || month > 12) return 0;
  LeapYear(year);
  return t_days_per_month[month - 1];
}

int32_t Date(int32_t month, int32_t day, int32_t year) {
  year = ExpandYear(year);
  if (year < 1801 || year > 9999 || month < 1 || month > 12) return -1;
  if (day < 1 || day > DaysInMonth(year, month)) return -1;
  int64_t serial = DaysBeforeYear(year) + kDaysBeforeMonth[month - 1] + day + 3;
  if (month > 2 && LeapYear(year)) ++serial;
  return static_cast<int32_t>(serial);
}

bool DateComponents(int32_t serial, DateParts* parts) {
  *parts = DateParts{};
  if (serial < kFirstDateSerial || serial > kLastDateSerial) return false;
  int64_t days = serial - kFirstDateSerial;  // from 1 January 1801
  int32_t year = static_cast<int32_t>(1801 + days * 400 / 146097);
  while (DaysBeforeYear(year) > days) --year;
  while (DaysBeforeYear(year + 1) <= days) ++year;
  int remaining = static_cast<int>(days - DaysBeforeYear(year));  // 0-based day of year
  LeapYear(year);
  int month = 0;
  while (remaining >= t_days_per_month[month]) {
    remaining -= t_days_per_month[month];
    ++month;
  }
  parts->year = year;
  parts->month = static_cast<uint8_t>(month + 1);
  parts->day = static_cast<uint8_t>(remaining + 1);
  return true;
}

int32_t Day(int32_t serial) {
  DateParts parts;
  DateComponents(serial, &parts);
  return parts.day;
}

int32_t Month(int32_t serial) {
  DateParts parts;
  DateComponents(serial, &parts);
  return parts.month;
}

int32_t Year(int32_t serial) {
  DateParts parts;
  DateComponents(serial, &parts);
  return parts.year;
}

int32_t Today() {
  os::LocalDateTime now = os::LocalNow();
  return Date(now.month, now.day, now.year);
}

int32_t Clock() {
  os::LocalDateTime now = os::LocalNow();
  return now.hour * 360000 + now.minute * 6000 + now.second * 100 + now.millisecond / 10 + 1;
}

std::string Age(int32_t birth, int32_t base) {
  const std::string kUnknown(255, '*');
  if (base == 0) base = Today();
  DateParts base_parts;
  DateParts birth_parts;
  // An invalid date has no age; without this check a zero birth date would
  // read as the year 0 and give an age of some two thousand years.
  if (!DateComponents(base, &base_parts) || !DateComponents(birth, &birth_parts)) {
    return kUnknown;
  }
  if (birth > base) {
    birth = Date(birth_parts.month, birth_parts.day, birth_parts.year - 100);
    if (birth < 0 || birth > base) return kUnknown;
    DateComponents(birth, &birth_parts);
  }
  std::string text;
  int32_t days = base - birth;
  if (days < 61) {
    AppendNumber(&text, days);
    return text + " DAYS";
  }
  if (base_parts.year <= birth_parts.year + 2) {
    int32_t months = (base_parts.year - birth_parts.year) * 12 + (base_parts.month - birth_parts.month);
    if (base_parts.day < birth_parts.day) --months;
    if (months <= 24) {
      AppendNumber(&text, months);
      return text + " MOS";
    }
  }
  int32_t years = base_parts.year - birth_parts.year;
  if (base_parts.month < birth_parts.month ||
      (base_parts.month == birth_parts.month && base_parts.day < birth_parts.day)) {
    --years;
  }
  AppendNumber(&text, years);
  return text + " YRS";
}

uint32_t DateSerialToPacked(int32_t serial) {
  DateParts parts;
  if (!DateComponents(serial, &parts)) return 0;
  return static_cast<uint32_t>(parts.year) * 65536u + parts.month * 256u + parts.day;
}

int32_t PackedToDateSerial(uint32_t packed) {
  int32_t year = static_cast<int32_t>(packed >> 16);
  int32_t month = static_cast<int32_t>((packed >> 8) & 0xFF);
  int32_t day = static_cast<int32_t>(packed & 0xFF);
  if (year > 9999) {
    year = 9999;
    month = 12;
    day = 31;
  }
  int32_t serial = Date(month, day, year);
  return serial < 0 ? 0 : serial;
}

bool TimeSerialToPacked(int32_t serial, uint32_t* packed) {
  TimeParts parts;
  if (!TimeComponents(serial, &parts)) {
    *packed = 0;
    return false;
  }
  *packed = static_cast<uint32_t>(parts.hour) << 24 | static_cast<uint32_t>(parts.minute) << 16 |
            static_cast<uint32_t>(parts.second) << 8 | parts.hundredths;
  return true;
}

int32_t PackedToTimeSerial(uint32_t packed) {
  if (packed == 0) return 0;
  int32_t hour = static_cast<int32_t>(packed >> 24);
  int32_t minute = static_cast<int32_t>((packed >> 16) & 0xFF);
  int32_t second = static_cast<int32_t>((packed >> 8) & 0xFF);
  int32_t hundredths = static_cast<int32_t>(packed & 0xFF);
  if (hour > 23 || minute > 59 || second > 59 || hundredths > 99) return -1;
  return hour * 360000 + minute * 6000 + second * 100 + hundredths + 1;
}

bool TimeComponents(int32_t serial, TimeParts* parts) {
  *parts = TimeParts{};
  if (serial < 1 || serial > kLastTimeSerial) return false;
  int32_t rest = serial - 1;
  parts->hour = static_cast<uint8_t>(rest / 360000);
  rest %= 360000;
  parts->minute = static_cast<uint8_t>(rest / 6000);
  rest %= 6000;
  parts->second = static_cast<uint8_t>(rest / 100);
  parts->hundredths = static_cast<uint8_t>(rest % 100);
  return true;
}

const char* MonthName(int month) {
  if (month < 1 || month > 12) return "";
  return kMonthNames[month - 1];
}

const char* MonthShortName(int month) {
  if (month < 1 || month > 12) return "";
  return kMonthShortNames[month - 1];
}

const char* AmMarker() { return "AM"; }
const char* PmMarker() { return "PM"; }

}  // namespace korvex
