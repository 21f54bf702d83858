// Date and time serials, their components and packed field forms.
//
// A date serial counts days with 4 = 1 January 1801 (proleptic Gregorian);
// valid serials are 4..2994626 and 0 means "no date". A time serial counts
// hundredths of a second since midnight plus one: 1..8640000, 0 = "no time".
#pragma once

#include <cstdint>
#include <string>

namespace korvex {

inline constexpr int32_t kFirstDateSerial = 4;        // 1 January 1801
inline constexpr int32_t kLastDateSerial = 2994626;   // 31 December 9999
inline constexpr int32_t kLastTimeSerial = 8640000;   // 23:59:59.99
inline constexpr int kDefaultCenturyWindow = 80;

struct DateParts {
  int32_t year = 0;
  uint8_t month = 0;
  uint8_t day = 0;
};

struct TimeParts {
  uint8_t hour = 0;
  uint8_t minute = 0;
  uint8_t second = 0;
  uint8_t hundredths = 0;
};

// Also sets this thread's February length and "last examined year was leap" flag.
bool LeapYear(int32_t year);
// The flag set by the last LeapYear (or any date conversion) on this thread.
bool LastExaminedYearWasLeap();
// Expands a year 0..99 around the cached current year Y with the century window W:
// the result lies in Y - W + 1 .. Y + 100 - W. Other years are returned as they are.
int32_t ExpandYear(int32_t year, int window = kDefaultCenturyWindow);
// The current local year, read once and cached for the life of the process.
int32_t CurrentYear();
// Tests only: replaces the cached current year (0 restores the real one).
void SetCurrentYearForTesting(int32_t year);

int DaysInMonth(int32_t year, int month);

// DATE(month, day, year): -1 when invalid.
int32_t Date(int32_t month, int32_t day, int32_t year);
// Components of a serial; all 0 (and false) outside 4..2994626.
bool DateComponents(int32_t serial, DateParts* parts);
int32_t Day(int32_t serial);
int32_t Month(int32_t serial);
int32_t Year(int32_t serial);

int32_t Today();
int32_t Clock();

// AGE(birth [, base]); base 0 means today. 255 asterisks when either date is invalid
// or birth is later than base even a century earlier.
std::string Age(int32_t birth, int32_t base = 0);

// Packed DATE field value: year * 65536 + month * 256 + day (0 for an invalid serial).
uint32_t DateSerialToPacked(int32_t serial);
int32_t PackedToDateSerial(uint32_t packed);

// Packed TIME field value: bytes hour, minute, second, hundredths from the most significant.
// Returns false (and *packed = 0) for an invalid serial.
bool TimeSerialToPacked(int32_t serial, uint32_t* packed);
// 0 for all-zero, -1 for out-of-range components.
int32_t PackedToTimeSerial(uint32_t packed);
bool TimeComponents(int32_t serial, TimeParts* parts);

// Default month names and markers, which the locale may later replace.
const char* MonthName(int month);       // "January".."December"; "" outside 1..12
const char* MonthShortName(int month);  // "Jan".."Dec"
const char* AmMarker();                 // "AM"
const char* PmMarker();                 // "PM"

}  // namespace korvex
