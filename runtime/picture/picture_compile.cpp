// Compiling picture texts into templates.
#include <cctype>
#include <string>

#include "runtime/locale/locale.h"
#include "runtime/picture/picture.h"

namespace korvex {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// Reads up to `max_digits` digits at text[*i]; false when there is none or more.
bool ReadNumber(std::string_view text, size_t* i, int max_digits, int* value) {
  size_t start = *i;
  int number = 0;
  while (*i < text.size() && IsDigit(text[*i])) {
    if (static_cast<int>(*i - start) >= max_digits) return false;
    number = number * 10 + (text[*i] - '0');
    ++*i;
  }
  if (*i == start) return false;
  *value = number;
  return true;
}

// A separator or fill mark as the picture stores it.
char MapMark(char c) {
  switch (c) {
    case '_': return ' ';
    case '`': return ',';
    case 'v': return '0';
    default: return c;
  }
}

using Template = std::vector<PicturePosition>;

void Add(Template* t, char fill, uint8_t code, int count = 1) {
  for (int k = 0; k < count; ++k) t->push_back({fill, code});
}

// The fixed templates of @D1..@D16.
Template DateTemplate(int n) {
  Template t;
  auto d9 = [&t] {
    Add(&t, '0', kPosYear, 2); Add(&t, '/', kPosSeparator); Add(&t, '0', kPosMonth, 2);
    Add(&t, '/', kPosSeparator); Add(&t, '0', kPosDay, 2);
  };
  switch (n) {
    case 1: case 2:
      Add(&t, ' ', kPosMonth); Add(&t, '0', kPosMonth); Add(&t, '/', kPosSeparator);
      Add(&t, '0', kPosDay, 2); Add(&t, '/', kPosSeparator); Add(&t, '0', kPosYear, n == 2 ? 4 : 2);
      break;
    case 3:
      Add(&t, ' ', kPosMonthName, 3); Add(&t, ' ', kPosLiteral); Add(&t, ' ', kPosDay);
      Add(&t, '0', kPosDay); Add(&t, ',', kPosSeparator); Add(&t, '0', kPosYear, 4);
      break;
    case 4:
      Add(&t, ' ', kPosMonthName, 12); Add(&t, ' ', kPosLiteral); Add(&t, ' ', kPosDay);
      Add(&t, '0', kPosDay); Add(&t, ',', kPosSeparator); Add(&t, ' ', kPosLiteral);
      Add(&t, '0', kPosYear, 4);
      break;
    case 5: case 6:
      Add(&t, ' ', kPosDay); Add(&t, '0', kPosDay); Add(&t, '/', kPosSeparator);
      Add(&t, '0', kPosMonth, 2); Add(&t, '/', kPosSeparator); Add(&t, '0', kPosYear, n == 6 ? 4 : 2);
      break;
    case 7: case 8:
      Add(&t, ' ', kPosDay); Add(&t, '0', kPosDay); Add(&t, ' ', kPosSeparator);
      Add(&t, ' ', kPosMonthName, 3); Add(&t, ' ', kPosSeparator); Add(&t, '0', kPosYear, n == 8 ? 4 : 2);
      break;
    case 9: d9(); break;
    case 10: Add(&t, '0', kPosYear, 2); d9(); break;
    case 11: case 12:
      Add(&t, '0', kPosYear, n == 12 ? 4 : 2); Add(&t, '0', kPosMonth, 2); Add(&t, '0', kPosDay, 2);
      break;
    case 13: case 14:
      Add(&t, '0', kPosMonth, 2); Add(&t, '/', kPosSeparator); Add(&t, '0', kPosYear, n == 14 ? 4 : 2);
      break;
    case 15: d9(); t.resize(5); break;
    case 16: Add(&t, '0', kPosYear, 2); d9(); t.resize(7); break;
    default: break;
  }
  return t;
}

// A locale date format ("MM/dd/yy", "ddd', 'MMMM' 'dd', 'yyyy") as a template.
// Day names have no position of their own: they are left out together with the
// literal text that follows them.
Template LocaleDateTemplate(std::string_view format) {
  Template t;
  bool after_day_name = false;
  size_t i = 0;
  while (i < format.size()) {
    char c = format[i];
    if (c == '\'') {
      std::string literal;
      ++i;
      while (i < format.size()) {
        if (format[i] == '\'') {
          if (i + 1 < format.size() && format[i + 1] == '\'') {
            literal += '\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        literal += format[i++];
      }
      if (!after_day_name) {
        for (char l : literal) Add(&t, l, kPosLiteral);
      }
      continue;
    }
    size_t run = 1;
    while (i + run < format.size() && format[i + run] == c) ++run;
    i += run;
    switch (c) {
      case 'd':
        if (run >= 3) {
          after_day_name = true;
          continue;
        }
        Add(&t, run == 1 ? ' ' : '0', kPosDay); Add(&t, '0', kPosDay);
        break;
      case 'M':
        if (run >= 4) Add(&t, ' ', kPosMonthName, 12);
        else if (run == 3) Add(&t, ' ', kPosMonthName, 3);
        else { Add(&t, run == 1 ? ' ' : '0', kPosMonth); Add(&t, '0', kPosMonth); }
        break;
      case 'y':
        Add(&t, '0', kPosYear, run <= 2 ? 2 : 4);
        break;
      case 'g':
        continue;  // era names are not shown
      default:
        if (!after_day_name) {
          bool letter = std::isalpha(static_cast<unsigned char>(c)) != 0;
          for (size_t k = 0; k < run; ++k) Add(&t, c, letter ? kPosLiteral : kPosSeparator);
        }
        continue;
    }
    after_day_name = false;
  }
  return t;
}

Template TimeTemplate(int n) {
  Template t;
  const LocaleSettings& locale = CurrentLocale();
  bool hhmm_only = n == 2 || n == 5;
  bool seconds = n == 4 || n == 5 || n == 6 || n == 8;
  bool am_pm = n == 3 || n == 6 || ((n == 7 || n == 8) && !locale.clock_24_hour);
  char separator = (n == 7 || n == 8) ? locale.time_separator : ':';
  char hour_fill = ((n == 7 || n == 8) && locale.hour_leading_zero) ? '0' : ' ';
  Add(&t, hour_fill, kPosHour); Add(&t, '0', kPosHour);
  if (!hhmm_only) Add(&t, separator, kPosSeparator);
  Add(&t, '0', kPosMinute, 2);
  if (seconds) {
    if (!hhmm_only) Add(&t, separator, kPosSeparator);
    Add(&t, '0', kPosSecond, 2);
  }
  if (am_pm) { Add(&t, 'X', kPosAmPm); Add(&t, 'M', kPosLiteral); }
  return t;
}

}  // namespace

class PictureCompiler {
 public:
  static Picture Compile(std::string_view text);

 private:
  static bool String(std::string_view rest, Picture* p);
  static bool Date(std::string_view rest, Picture* p);
  static bool Time(std::string_view rest, Picture* p);
  static bool Numeric(std::string_view rest, bool scientific, Picture* p);
  static bool Pattern(std::string_view body, Picture* p);
  static bool KeyIn(std::string_view body, Picture* p);
  static bool Finish(Picture* p);
};

Picture Picture::Compile(std::string_view text) { return PictureCompiler::Compile(text); }

uint8_t Picture::flags() const {
  switch (kind_) {
    case PictureKind::kDate: case PictureKind::kTime: return 8;
    case PictureKind::kScientific: return 16;
    case PictureKind::kNumeric: case PictureKind::kPattern: return 24;
    default: return 0;
  }
}

Picture PictureCompiler::Compile(std::string_view text) {
  Picture p;
  if (text.empty()) {  // no picture: a string as long as any
    p.kind_ = PictureKind::kString;
    p.length_ = 255;
    return p;
  }
  if (text[0] != '@') return Picture();
  std::string_view body = text.substr(1);
  if (body.empty() || body.size() >= 255) return Picture();
  if (body.back() == 'B' || body.back() == 'b') {
    body.remove_suffix(1);
    p.blank_when_zero_ = true;
    if (body.size() < 2) return Picture();
  }
  bool ok = false;
  switch (Upper(body[0])) {
    case 'S': ok = String(body.substr(1), &p); break;
    case 'D': ok = Date(body.substr(1), &p); break;
    case 'T': ok = Time(body.substr(1), &p); break;
    case 'N': ok = Numeric(body.substr(1), false, &p); break;
    case 'E': ok = Numeric(body.substr(1), true, &p); break;
    case 'P': ok = Pattern(body, &p); break;
    case 'K': ok = KeyIn(body, &p); break;
    default: break;
  }
  if (!ok || !Finish(&p)) return Picture();
  return p;
}

// Sets the length from the template; false when it is empty or too long.
bool PictureCompiler::Finish(Picture* p) {
  if (p->kind_ == PictureKind::kString) return true;
  int columns = 0;
  for (const PicturePosition& pos : p->positions_) {
    if (pos.code != kPosImpliedPoint && pos.code != kPosKeyStop) ++columns;
  }
  if (columns < 1 || columns > 255) return false;
  p->length_ = static_cast<uint8_t>(columns);
  return true;
}

bool PictureCompiler::String(std::string_view rest, Picture* p) {
  size_t i = 0;
  int n = 0;
  if (!ReadNumber(rest, &i, 3, &n) || n < 1 || n > 255) return false;
  for (; i < rest.size(); ++i) {
    if (rest[i] != ' ') return false;
  }
  p->kind_ = PictureKind::kString;
  p->length_ = static_cast<uint8_t>(n);
  return true;
}

bool PictureCompiler::Date(std::string_view rest, Picture* p) {
  size_t i = 0;
  char fill = 0;
  if (i < rest.size() && (rest[i] == '0' || rest[i] == '_' || rest[i] == '*')) fill = MapMark(rest[i++]);
  int n = 0;
  if (!ReadNumber(rest, &i, 2, &n) || n < 1 || n > 18) return false;
  int window = Picture::kDefaultWindow;
  if (i < rest.size() && (rest[i] == '<' || rest[i] == '>')) {
    bool later = rest[i++] == '>';
    int w = 0;
    if (i < rest.size() && IsDigit(rest[i]) && !ReadNumber(rest, &i, 2, &w)) return false;
    if (later) window = w == 0 ? 19 : 99 - w;
    else window = w == 0 ? 80 : w;
  }
  char separator = 0;
  if (i < rest.size() && (rest[i] == '.' || rest[i] == '-' || rest[i] == '_' || rest[i] == '`')) {
    separator = MapMark(rest[i++]);
  }
  if (i != rest.size()) return false;

  Template t;
  if (n <= 16) {
    t = DateTemplate(n);
  } else {
    const LocaleSettings& locale = CurrentLocale();
    t = LocaleDateTemplate(n == 17 ? locale.short_date : locale.long_date);
    if (t.empty() || t.size() > 255) {
      t = LocaleDateTemplate(n == 17 ? LocaleSettings().short_date : LocaleSettings().long_date);
    }
  }
  for (PicturePosition& pos : t) {
    if (fill && (pos.code == kPosMonth || pos.code == kPosDay || pos.code == kPosYear ||
                 pos.code == kPosMonthName)) {
      pos.fill = fill;
    }
    if (separator && pos.code == kPosSeparator) pos.fill = separator;
  }
  p->kind_ = PictureKind::kDate;
  p->number_ = static_cast<uint8_t>(n);
  p->century_window_ = static_cast<uint8_t>(window);
  p->upper_month_names_ = n != 4 && n != 18;
  p->positions_ = std::move(t);
  return true;
}

bool PictureCompiler::Time(std::string_view rest, Picture* p) {
  size_t i = 0;
  char fill = 0;
  if (i < rest.size() && (rest[i] == '0' || rest[i] == '_' || rest[i] == '*')) fill = MapMark(rest[i++]);
  int n = 0;
  if (!ReadNumber(rest, &i, 1, &n) || n < 1 || n > 8) return false;
  char separator = 0;
  if (i + 1 == rest.size() &&
      (rest[i] == '.' || rest[i] == '-' || rest[i] == '_' || rest[i] == '`')) {
    separator = MapMark(rest[i++]);
  }
  if (i != rest.size()) return false;
  Template t = TimeTemplate(n);
  for (PicturePosition& pos : t) {
    if (fill && (pos.code == kPosHour || pos.code == kPosMinute || pos.code == kPosSecond)) pos.fill = fill;
    if (separator && pos.code == kPosSeparator) pos.fill = separator;
  }
  p->kind_ = PictureKind::kTime;
  p->number_ = static_cast<uint8_t>(n);
  p->positions_ = std::move(t);
  return true;
}

bool PictureCompiler::Numeric(std::string_view s, bool scientific, Picture* p) {
  size_t i = 0, n = s.size();
  // 0 none, 1 read, -1 malformed.
  auto read_currency = [&](std::string* out) {
    if (scientific || i >= n) return 0;
    if (s[i] == '$') {
      out->assign(1, '$');  // (assigning a literal trips a false -Wrestrict in g++ 12)
      ++i;
      return 1;
    }
    if (s[i] != '~') return 0;
    size_t close = s.find('~', i + 1);
    if (close == std::string_view::npos || close == i + 1) return -1;
    *out = std::string(s.substr(i + 1, close - i - 1));
    i = close + 1;
    return 1;
  };
  std::string lead_currency, trail_currency;
  if (read_currency(&lead_currency) < 0) return false;
  char lead_sign = 0;
  if (!scientific && i < n && (s[i] == '-' || s[i] == '(')) lead_sign = s[i++];
  if (i < n && (s[i] == '-' || s[i] == '(')) return false;
  char fill = 0;
  if (!scientific && i < n && (s[i] == '0' || s[i] == '_' || s[i] == '*')) fill = s[i++];
  int width = 0;
  if (!ReadNumber(s, &i, 3, &width) || width < 1 || width > 254) return false;

  auto is_decimal_mark = [](char c) { return c == '.' || c == '`' || c == 'v' || c == 'V'; };
  char grouping_mark = 0, decimal_mark = 0;
  int decimals = 0;
  if (i < n && (s[i] == '_' || s[i] == '.' || s[i] == '`' || s[i] == 'v')) {
    if (i + 1 < n && is_decimal_mark(s[i + 1])) grouping_mark = s[i++];
    else if (s[i] == '_') grouping_mark = s[i++];
  }
  if (i < n && is_decimal_mark(s[i])) {
    char mark = s[i++];
    if (i < n && IsDigit(s[i])) {
      if (!ReadNumber(s, &i, 3, &decimals) || decimals > 253) return false;
      decimal_mark = mark;
    } else {
      if (grouping_mark) return false;
      grouping_mark = mark;  // a decimal mark without decimals groups
    }
  }
  char trail_sign = 0;
  if (!scientific && i < n && (s[i] == '-' || s[i] == ')')) {
    if (s[i] == ')' ? lead_sign != '(' : lead_sign != 0) return false;
    trail_sign = s[i++];
  }
  if (lead_sign == '(' && trail_sign != ')') return false;
  int currency = read_currency(&trail_currency);
  if (currency < 0 || (currency > 0 && !lead_currency.empty())) return false;
  if (i != n) return false;

  bool implied = decimal_mark == 'v' || decimal_mark == 'V';
  if (decimals == 0) implied = false;
  char decimal_char = decimal_mark == '`' ? ',' : '.';
  char grouping = 0;
  if (grouping_mark) {
    grouping = grouping_mark == 'v' ? 0 : MapMark(grouping_mark);
  } else if (!scientific && (fill == 0 || fill == '*')) {
    grouping = decimal_mark == '`' ? '.' : ',';
  }
  char digit_fill = (fill == '0' || fill == '*') ? fill : ' ';
  uint8_t digit_code = digit_fill == ' ' ? kPosDigitBlank : kPosDigit;

  int fixed = static_cast<int>(lead_currency.size() + trail_currency.size()) + (lead_sign ? 1 : 0) +
              (trail_sign ? 1 : 0) + (decimals > 0 ? decimals + (implied ? 0 : 1) : 0);
  if (scientific) fixed += 1 + 5;  // sign, then "E", exponent sign, three digits
  int integer_positions = width - fixed;
  if (integer_positions < 1) return false;
  if (scientific && width < 7) return false;

  // Built right to left, then turned around.
  Template t;
  for (auto it = trail_currency.rbegin(); it != trail_currency.rend(); ++it) Add(&t, *it, kPosCurrency);
  if (scientific) {
    Add(&t, '0', kPosDigit, 3);
    Add(&t, '+', kPosExponentSign);
    Add(&t, 'E', kPosLiteral);
  }
  if (trail_sign) Add(&t, ' ', kPosSign);
  if (decimals > 0) {
    Add(&t, '0', kPosDigit, decimals);
    if (implied) Add(&t, '.', kPosImpliedPoint);
    else Add(&t, decimal_char, kPosPoint);
  }
  if (implied) Add(&t, ' ', kPosDigitBlank);
  else Add(&t, '0', kPosDigit);
  for (int j = 1; j < integer_positions; ++j) {
    if (scientific) Add(&t, ' ', kPosDigitBlank);
    else if (grouping && j % 4 == 3) Add(&t, digit_fill, kPosGrouping);
    else Add(&t, digit_fill, digit_code);
  }
  if (lead_sign || scientific) Add(&t, ' ', kPosSign);
  for (auto it = lead_currency.rbegin(); it != lead_currency.rend(); ++it) Add(&t, *it, kPosCurrency);
  p->positions_.assign(t.rbegin(), t.rend());

  p->kind_ = scientific ? PictureKind::kScientific : PictureKind::kNumeric;
  p->decimals_ = static_cast<uint8_t>(decimals);
  p->decimal_char_ = decimal_char;
  p->grouping_char_ = grouping;
  p->leading_sign_ = scientific ? '-' : lead_sign;
  p->trailing_sign_ = trail_sign;
  return true;
}

bool PictureCompiler::Pattern(std::string_view body, Picture* p) {
  if (body.size() < 3 || Upper(body.back()) != 'P') return false;
  for (char c : body.substr(1, body.size() - 2)) {
    if (c == '#') Add(&p->positions_, '0', kPosDigit);
    else if (c == '<') Add(&p->positions_, ' ', kPosDigitBlank);
    else Add(&p->positions_, c, kPosLiteral);
  }
  p->kind_ = PictureKind::kPattern;
  return true;
}

bool PictureCompiler::KeyIn(std::string_view body, Picture* p) {
  if (body.size() < 3 || Upper(body.back()) != 'K') return false;
  std::string_view pattern = body.substr(1, body.size() - 2);
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    switch (c) {
      case '#': Add(&p->positions_, ' ', kPosDigit); break;
      case '<': Add(&p->positions_, ' ', kPosDigitBlank); break;
      case '@': Add(&p->positions_, ' ', kPosKeyLetter); break;
      case '^': Add(&p->positions_, ' ', kPosKeyUpper); break;
      case '_': Add(&p->positions_, ' ', kPosKeyLower); break;
      case '?': Add(&p->positions_, ' ', kPosKeyAny); break;
      case '|': Add(&p->positions_, ' ', kPosKeyStop); break;
      case '\\':
        if (++i == pattern.size()) return false;
        Add(&p->positions_, pattern[i], kPosLiteral);
        break;
      default: Add(&p->positions_, c, kPosLiteral); break;
    }
  }
  p->kind_ = PictureKind::kKeyIn;
  return true;
}

}  // namespace korvex
