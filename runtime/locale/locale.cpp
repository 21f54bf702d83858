#include "runtime/locale/locale.h"

#include "runtime/char_tables.h"
#include "runtime/date_time.h"

namespace korvex {

namespace {
LocaleSettings& Settings() {
  static LocaleSettings settings;
  return settings;
}
}  // namespace

const LocaleSettings& CurrentLocale() { return Settings(); }

void SetLocale(const LocaleSettings& settings) { Settings() = settings; }

const char* LocaleMonthName(int month) {
  if (month < 1 || month > 12) return "";
  const std::string& name = Settings().month_names[month - 1];
  return name.empty() ? MonthName(month) : name.c_str();
}

const char* LocaleMonthShortName(int month) {
  if (month < 1 || month > 12) return "";
  const std::string& name = Settings().month_short_names[month - 1];
  return name.empty() ? MonthShortName(month) : name.c_str();
}

char LocaleUpper(char c) {
  return static_cast<char>(CurrentCharTables()->Upper(static_cast<uint8_t>(c)));
}

char LocaleLower(char c) {
  return static_cast<char>(CurrentCharTables()->Lower(static_cast<uint8_t>(c)));
}

}  // namespace korvex
