// The process-wide locale: month names, AM/PM markers and the date and time
// formats behind @D17, @D18, @T7 and @T8. Until the start-up step reads the
// system profile and the environment file, the defaults below stand.
#pragma once

#include <map>
#include <string>

namespace korvex {

struct LocaleSettings {
  std::string short_date = "MM/dd/yy";                    // behind @D17
  std::string long_date = "ddd', 'MMMM' 'dd', 'yyyy";     // behind @D18
  bool clock_24_hour = false;      // 12-hour clock with AM/PM in @T7/@T8 unless set
  bool hour_leading_zero = false;  // "09:05" rather than " 9:05"
  char time_separator = ':';
  std::string am = "AM";
  std::string pm = "PM";
  std::string month_names[12];        // empty entries fall back to MonthName
  std::string month_short_names[12];  // empty entries fall back to MonthShortName
  // Captions of the message box buttons OK, Yes, No, Abort, Retry, Ignore,
  // Cancel, Help; empty entries keep the built-in caption.
  std::string button_captions[8];
  std::map<int, std::string> runtime_messages;  // runtime error texts replaced by number
  bool oem_values = false;       // environment values are in the OEM code page
  bool long_file_names = false;  // long file names allowed
};

const LocaleSettings& CurrentLocale();
// Replaces the settings (start-up and tests). Callers hold the runtime lock.
void SetLocale(const LocaleSettings& settings);

// Full and short month names, 1..12; "" outside.
const char* LocaleMonthName(int month);
const char* LocaleMonthShortName(int month);

// Case mapping through the locale's case tables (plain ASCII letters for now).
char LocaleUpper(char c);
char LocaleLower(char c);

}  // namespace korvex
