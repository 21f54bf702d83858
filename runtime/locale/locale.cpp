#include "runtime/locale/locale.h"

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

char LocaleUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

char LocaleLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace korvex
