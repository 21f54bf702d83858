// FORMAT and DEFORMAT: walking a compiled template.
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "runtime/date_time.h"
#include "runtime/decimal.h"
#include "runtime/locale/locale.h"
#include "runtime/picture/digit_number.h"
#include "runtime/picture/picture.h"

namespace korvex {

using picture_detail::DigitNumber;

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool ZeroWidth(uint8_t code) { return code == kPosImpliedPoint || code == kPosKeyStop; }

std::string Blanks(const Picture& p) { return std::string(static_cast<size_t>(p.length()), ' '); }
std::string Overflow(const Picture& p) { return std::string(static_cast<size_t>(p.length()), '#'); }

DigitNumber ReadNumberOrZero(std::string_view text) {
  DigitNumber number;
  if (!picture_detail::ParseNumber(text, &number)) number = DigitNumber();
  return number;
}

// The integer part of a number as a serial; false when it cannot be one.
bool SerialOf(const DigitNumber& number, int32_t* serial) {
  if (number.negative || number.integer.size() > 9) return false;
  *serial = number.integer.empty() ? 0 : std::stoi(number.integer);
  return true;
}

// Writes `value` right-aligned into the run of positions [first, first + count)
// with the given code. The first position of a two-digit month, day or hour
// run shows its fill instead of a leading zero unless the fill is "0".
void PutDigits(const std::vector<PicturePosition>& pos, size_t first, size_t count,
               const std::string& value, bool suppress_first, std::string* out) {
  for (size_t k = 0; k < count; ++k) {
    size_t from_right = count - k;
    char digit = from_right <= value.size() ? value[value.size() - from_right] : '0';
    if (k == 0 && suppress_first && count == 2 && digit == '0' && pos[first].fill == ' ') {
      out->push_back(pos[first].fill);
    } else {
      out->push_back(digit);
    }
  }
}

size_t RunLength(const std::vector<PicturePosition>& pos, size_t i) {
  size_t j = i;
  while (j < pos.size() && pos[j].code == pos[i].code) ++j;
  return j - i;
}

std::string Fit(std::string out, const Picture& p) {
  out.resize(static_cast<size_t>(p.length()), ' ');
  return out;
}

std::string FormatDate(const Picture& p, int32_t serial, bool valid_number) {
  if (serial == 0 && p.blank_when_zero()) return Blanks(p);
  DateParts parts;
  bool ok = valid_number && DateComponents(serial, &parts);
  const auto& pos = p.positions();
  size_t year_positions = 0;
  for (const PicturePosition& q : pos) year_positions += q.code == kPosYear;
  char text[16];
  std::string out;
  for (size_t i = 0; i < pos.size();) {
    uint8_t code = pos[i].code;
    size_t run = (code == kPosMonth || code == kPosDay || code == kPosYear || code == kPosMonthName)
                     ? RunLength(pos, i) : 1;
    if (code == kPosMonth || code == kPosDay || code == kPosYear) {
      if (!ok) {
        out.append(run, ' ');
      } else {
        int value = code == kPosMonth ? parts.month : code == kPosDay ? parts.day : parts.year;
        if (code == kPosYear && year_positions < 4) value %= 100;
        std::snprintf(text, sizeof text, "%02d", value);
        PutDigits(pos, i, run, text, code != kPosYear, &out);
      }
    } else if (code == kPosMonthName) {
      if (!ok) {
        out.append(run, ' ');
      } else {
        std::string name = LocaleMonthName(parts.month);
        for (size_t k = 0; k < run && k < name.size(); ++k) {
          out.push_back(p.upper_month_names() ? LocaleUpper(name[k]) : name[k]);
        }
      }
    } else {
      out.push_back(pos[i].fill);
    }
    i += run;
  }
  return Fit(out, p);
}

std::string FormatTime(const Picture& p, int32_t serial, bool valid_number) {
  if (serial == 0 && p.blank_when_zero()) return Blanks(p);
  TimeParts parts;
  bool ok = valid_number && TimeComponents(serial, &parts);
  const auto& pos = p.positions();
  bool has_am_pm = false;
  for (const PicturePosition& q : pos) has_am_pm |= q.code == kPosAmPm;
  int hour = parts.hour;
  bool pm = hour >= 12;
  if (has_am_pm) {
    hour %= 12;
    if (hour == 0) hour = 12;
  }
  const LocaleSettings& locale = CurrentLocale();
  const std::string& marker = pm ? locale.pm : locale.am;
  char text[16];
  std::string out;
  for (size_t i = 0; i < pos.size();) {
    uint8_t code = pos[i].code;
    if (code == kPosHour || code == kPosMinute || code == kPosSecond) {
      size_t run = RunLength(pos, i);
      if (!ok) {
        out.append(run, ' ');
      } else {
        int value = code == kPosHour ? hour : code == kPosMinute ? parts.minute : parts.second;
        std::snprintf(text, sizeof text, "%02d", value);
        PutDigits(pos, i, run, text, code == kPosHour, &out);
      }
      i += run;
    } else if (code == kPosAmPm) {
      // The marker's first letter, and its second in the position after.
      out.push_back(ok && !marker.empty() ? marker[0] : ' ');
      if (i + 1 < pos.size()) out.push_back(ok && marker.size() > 1 ? marker[1] : ' ');
      i += 2;
    } else {
      out.push_back(pos[i].fill);
      ++i;
    }
  }
  return Fit(out, p);
}

// The integer area of a numeric template: [start, end).
void IntegerArea(const std::vector<PicturePosition>& pos, size_t* start, size_t* end) {
  size_t i = 0;
  while (i < pos.size() && (pos[i].code == kPosCurrency || pos[i].code == kPosSign)) ++i;
  *start = i;
  while (i < pos.size() &&
         (pos[i].code == kPosGrouping || pos[i].code == kPosDigit || pos[i].code == kPosDigitBlank)) {
    ++i;
  }
  *end = i;
}

std::string Columns(const std::vector<PicturePosition>& pos, const std::string& cells) {
  std::string out;
  for (size_t i = 0; i < pos.size(); ++i) {
    if (!ZeroWidth(pos[i].code)) out.push_back(cells[i]);
  }
  return out;
}

std::string FormatNumeric(const Picture& p, DigitNumber number) {
  picture_detail::RoundTo(&number, p.decimals());
  bool zero = number.integer.empty() && number.fraction.find_first_not_of('0') == std::string::npos;
  if (zero && p.blank_when_zero()) return Blanks(p);
  const auto& pos = p.positions();
  size_t start = 0, end = 0;
  IntegerArea(pos, &start, &end);
  size_t digit_positions = 0;
  for (size_t i = start; i < end; ++i) digit_positions += pos[i].code != kPosGrouping;
  const std::string& digits = number.integer;
  if (digits.size() > digit_positions) return Overflow(p);

  std::string cells(pos.size(), ' ');
  for (size_t i = 0; i < pos.size(); ++i) {
    if (pos[i].code == kPosLiteral || pos[i].code == kPosCurrency || pos[i].code == kPosPoint) {
      cells[i] = pos[i].fill;
    }
  }
  // Integer digits right to left from the units position.
  int left = static_cast<int>(digits.size()) - 1;
  for (size_t i = end; i-- > start;) {
    if (pos[i].code == kPosGrouping) {
      bool digit_to_left = left >= 0;
      if (!digit_to_left && pos[i].fill == '0') {
        for (size_t j = start; j < i; ++j) digit_to_left |= pos[j].code != kPosGrouping;
      }
      cells[i] = digit_to_left ? p.grouping_char() : pos[i].fill;
    } else {
      cells[i] = left >= 0 ? digits[static_cast<size_t>(left--)] : pos[i].fill;
    }
  }
  // Fraction digits after the point.
  size_t point = end;
  if (point < pos.size() && (pos[point].code == kPosPoint || pos[point].code == kPosImpliedPoint)) {
    for (int k = 0; k < p.decimals() && point + 1 + static_cast<size_t>(k) < pos.size(); ++k) {
      cells[point + 1 + static_cast<size_t>(k)] = number.fraction[static_cast<size_t>(k)];
    }
  }
  if (number.negative) {
    size_t first = start;  // first column that shows something
    while (first < end && cells[first] == ' ') ++first;
    if (p.leading_sign()) {
      // The leading sign floats right to stand before the first digit.
      cells[first - 1] = p.leading_sign();
    } else if (!p.trailing_sign()) {
      // No sign position: the sign still must not get lost, so it takes the
      // free column before the digits, or the value does not fit.
      if (first > start) {
        cells[first - 1] = '-';
      } else if (digits.size() < digit_positions && pos[start].fill != ' ') {
        cells[start] = '-';
      } else {
        return Overflow(p);
      }
    }
    if (p.trailing_sign()) {
      for (size_t i = end; i < pos.size(); ++i) {
        if (pos[i].code == kPosSign) cells[i] = p.trailing_sign();
      }
    }
  }
  return Columns(pos, cells);
}

std::string FormatScientific(const Picture& p, const DigitNumber& number) {
  bool zero = number.IsZero();
  if (zero && p.blank_when_zero()) return Blanks(p);
  int decimals = p.decimals();
  DigitNumber mantissa;
  long exponent = 0;
  if (!zero) {
    std::string digits;
    if (!number.integer.empty()) {
      exponent = static_cast<long>(number.integer.size()) - 1;
      digits = number.integer + number.fraction;
    } else {
      size_t z = number.fraction.find_first_not_of('0');
      exponent = -static_cast<long>(z) - 1;
      digits = number.fraction.substr(z);
    }
    mantissa.integer = digits.substr(0, 1);
    mantissa.fraction = digits.substr(1);
    picture_detail::RoundTo(&mantissa, decimals);
    if (mantissa.integer.size() > 1) {  // 9.99 rounded up to 10.0
      ++exponent;
      mantissa.integer.assign(1, '1');
      mantissa.fraction.assign(static_cast<size_t>(decimals), '0');
    }
  } else {
    mantissa.integer.assign(1, '0');
    mantissa.fraction.assign(static_cast<size_t>(decimals), '0');
  }
  if (exponent > 999 || exponent < -999) return Overflow(p);
  const auto& pos = p.positions();
  size_t start = 0, end = 0;
  IntegerArea(pos, &start, &end);
  std::string cells(pos.size(), ' ');
  for (size_t i = 0; i < pos.size(); ++i) {
    if (pos[i].code == kPosLiteral || pos[i].code == kPosPoint) cells[i] = pos[i].fill;
  }
  size_t units = end - 1;
  cells[units] = mantissa.integer[0];
  if (number.negative && !zero) cells[units - 1] = '-';
  size_t i = end;
  if (i < pos.size() && (pos[i].code == kPosPoint || pos[i].code == kPosImpliedPoint)) {
    for (int k = 0; k < decimals; ++k) cells[i + 1 + static_cast<size_t>(k)] = mantissa.fraction[static_cast<size_t>(k)];
  }
  char text[8];
  std::snprintf(text, sizeof text, "%03ld", exponent < 0 ? -exponent : exponent);
  int digit = 0;
  for (size_t k = 0; k < pos.size(); ++k) {
    if (pos[k].code == kPosExponentSign) {
      cells[k] = exponent < 0 ? '-' : '+';
      digit = 0;
      for (size_t m = k + 1; m < pos.size() && digit < 3; ++m) cells[m] = text[digit++];
    }
  }
  return Columns(pos, cells);
}

std::string FormatPattern(const Picture& p, std::string digits, bool negative) {
  if (p.blank_when_zero() && digits.find_first_not_of('0') == std::string::npos) return Blanks(p);
  if (negative) return Overflow(p);
  const auto& pos = p.positions();
  size_t slots = 0;
  for (const PicturePosition& q : pos) slots += q.code == kPosDigit || q.code == kPosDigitBlank;
  size_t lead = digits.find_first_not_of('0');
  digits.erase(0, lead == std::string::npos ? digits.size() : lead);
  if (digits.size() > slots) return Overflow(p);
  digits.insert(0, slots - digits.size(), '0');
  std::string out;
  size_t next = 0;
  bool leading = true;
  for (const PicturePosition& q : pos) {
    if (q.code == kPosDigit || q.code == kPosDigitBlank) {
      char d = digits[next++];
      if (d != '0') leading = false;
      out.push_back(q.code == kPosDigitBlank && leading && d == '0' ? q.fill : d);
    } else {
      out.push_back(q.fill);
    }
  }
  return out;
}

bool Accepts(uint8_t code, char c) {
  switch (code) {
    case kPosDigit: case kPosDigitBlank: return IsDigit(c);
    case kPosKeyLetter: case kPosKeyUpper: case kPosKeyLower: return IsLetter(c);
    default: return true;
  }
}

std::string FormatKeyIn(const Picture& p, std::string_view text) {
  std::string out;
  size_t t = 0;
  for (const PicturePosition& q : p.positions()) {
    if (q.code == kPosKeyStop) continue;
    if (q.code == kPosLiteral) {
      out.push_back(q.fill);
      if (t < text.size() && text[t] == q.fill) ++t;  // a typed literal is the literal
      continue;
    }
    while (t < text.size() && !Accepts(q.code, text[t])) ++t;
    if (t == text.size()) {
      out.push_back(' ');
      continue;
    }
    char c = text[t++];
    if (q.code == kPosKeyUpper) c = LocaleUpper(c);
    if (q.code == kPosKeyLower) c = LocaleLower(c);
    out.push_back(c);
  }
  return Fit(out, p);
}

std::string FormatDigits(const Picture& p, const DigitNumber& number, std::string_view original) {
  switch (p.kind()) {
    case PictureKind::kNumeric: return FormatNumeric(p, number);
    case PictureKind::kScientific: return FormatScientific(p, number);
    case PictureKind::kDate: case PictureKind::kTime: {
      int32_t serial = 0;
      bool ok = SerialOf(number, &serial);
      return p.kind() == PictureKind::kDate ? FormatDate(p, serial, ok) : FormatTime(p, serial, ok);
    }
    case PictureKind::kPattern: {
      DigitNumber whole = number;
      picture_detail::RoundTo(&whole, 0);
      return FormatPattern(p, whole.integer, whole.negative);
    }
    case PictureKind::kKeyIn: return FormatKeyIn(p, original);
    case PictureKind::kString: break;
  }
  return Fit(std::string(original.substr(0, static_cast<size_t>(p.length()))), p);
}

}  // namespace

std::string FormatNumberText(const Picture& picture, std::string_view number) {
  if (!picture.valid()) return "";
  DigitNumber value = ReadNumberOrZero(number);
  if (picture.kind() == PictureKind::kKeyIn || picture.kind() == PictureKind::kString) {
    // Shown as the number's plain text.
    std::string plain = picture_detail::ToPlain(value);
    return FormatDigits(picture, value, plain);
  }
  return FormatDigits(picture, value, number);
}

std::string FormatInteger(const Picture& picture, int64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%" PRId64, value);
  return FormatNumberText(picture, text);
}

std::string FormatDecimal(const Picture& picture, const Decimal& value) {
  std::string text = value.ToString();
  if (text.empty()) return picture.valid() ? Overflow(picture) : "";  // beyond any picture
  return FormatNumberText(picture, text);
}

std::string FormatReal(const Picture& picture, double value) {
  std::string text = RealToText(value);
  if (text.empty()) return picture.valid() ? Overflow(picture) : "";
  return FormatNumberText(picture, text);
}

std::string FormatString(const Picture& picture, std::string_view text) {
  if (!picture.valid()) return "";
  switch (picture.kind()) {
    case PictureKind::kString:
    case PictureKind::kKeyIn:
      return FormatDigits(picture, DigitNumber(), text);
    case PictureKind::kPattern: {
      std::string digits;
      for (char c : text) {
        if (IsDigit(c)) digits.push_back(c);
      }
      return FormatPattern(picture, digits, false);
    }
    default:
      return FormatDigits(picture, ReadNumberOrZero(text), text);
  }
}

// ---- DEFORMAT ----

namespace {

// Digits with at most one point and an exponent, as collected from a text.
struct Collected {
  bool negative = false;
  std::string mantissa;
  bool point = false;
  std::string exponent;  // "e+" / "e-" and digits
  bool in_exponent = false;

  void Digit(char c) {
    if (in_exponent) exponent.push_back(c);
    else mantissa.push_back(c);
  }
  void Point() {
    if (!point && !in_exponent) {
      point = true;
      mantissa.push_back('.');
    }
  }
  std::string Result() const {
    std::string m = mantissa;
    size_t dot = m.find('.');
    std::string integer = m.substr(0, dot);
    std::string fraction = dot == std::string::npos ? "" : m.substr(dot);
    if (fraction == ".") fraction.clear();
    size_t lead = integer.find_first_not_of('0');
    integer.erase(0, lead == std::string::npos ? integer.size() : lead);
    if (integer.empty()) integer.assign(1, '0');
    bool zero = integer == "0" && fraction.find_first_not_of(".0") == std::string::npos;
    std::string out = (negative && !zero) ? "-" : "";
    out += integer + fraction;
    if (exponent.size() > 2) out += exponent;
    return out;
  }
};

std::string DeformatNumeric(std::string_view text, const Picture& p) {
  const auto& pos = p.positions();
  Collected c;
  if (text.size() == static_cast<size_t>(p.length())) {
    size_t t = 0;
    for (const PicturePosition& q : pos) {
      if (q.code == kPosImpliedPoint) {
        c.Point();
        continue;
      }
      if (q.code == kPosKeyStop) continue;
      char ch = text[t++];
      switch (q.code) {
        case kPosLiteral: case kPosCurrency: break;
        case kPosPoint: c.Point(); break;
        case kPosExponentSign:
          c.in_exponent = true;
          c.exponent.assign({'e', ch == '-' ? '-' : '+'});
          break;
        default:
          if (IsDigit(ch)) c.Digit(ch);
          else if (ch == ' ' && q.code != kPosGrouping && q.code != kPosSign) c.Digit('0');
          else if (ch == '-' || ch == '(') c.negative = true;
          else if (ch == '+') c.negative = false;
          break;
      }
    }
    return c.Result();
  }
  // Text typed or cut to another width: read it by its characters.
  bool implied = false;
  for (const PicturePosition& q : pos) implied |= q.code == kPosImpliedPoint;
  bool scientific = p.kind() == PictureKind::kScientific;
  for (size_t t = 0; t < text.size(); ++t) {
    char ch = text[t];
    if (IsDigit(ch)) {
      c.Digit(ch);
    } else if (!implied && p.decimals() > 0 && ch == p.decimal_char()) {
      c.Point();
    } else if (scientific && !c.in_exponent && (ch == 'e' || ch == 'E')) {
      c.in_exponent = true;
      c.exponent.assign({'e', '+'});
      if (t + 1 < text.size() && (text[t + 1] == '-' || text[t + 1] == '+')) c.exponent[1] = text[++t];
    } else if (ch == '-' || ch == '(') {
      c.negative = true;
    }
  }
  if (implied && !c.point) {
    std::string& m = c.mantissa;
    size_t places = static_cast<size_t>(p.decimals());
    if (m.size() < places) m.insert(0, places - m.size(), '0');
    m.insert(m.end() - static_cast<std::ptrdiff_t>(places), '.');
  }
  return c.Result();
}

// Pattern and key-in pictures: literals are the picture's own, never a sign.
std::string DeformatPatternKeyIn(std::string_view text, const Picture& p) {
  bool key_in = p.kind() == PictureKind::kKeyIn;
  std::string out;
  if (text.size() == static_cast<size_t>(p.length())) {
    size_t t = 0;
    for (const PicturePosition& q : p.positions()) {
      if (ZeroWidth(q.code)) continue;
      char ch = text[t++];
      if (q.code == kPosLiteral) continue;
      if (q.code == kPosDigit || q.code == kPosDigitBlank) {
        if (IsDigit(ch)) out.push_back(ch);
        else if (ch == ' ' && q.code == kPosDigitBlank) out.push_back('0');
      } else if (ch != ' ') {
        out.push_back(ch);
      }
    }
    return out;
  }
  for (char ch : text) {
    if (IsDigit(ch) || (key_in && IsLetter(ch))) out.push_back(ch);
  }
  return out;
}

struct Field {
  uint8_t code;
  size_t count;
  bool packed;  // another field follows with no separator between
};

std::vector<Field> Fields(const Picture& p, bool date) {
  std::vector<Field> fields;
  const auto& pos = p.positions();
  auto is_field = [date](uint8_t code) {
    return date ? (code == kPosMonth || code == kPosDay || code == kPosYear || code == kPosMonthName)
                : (code == kPosHour || code == kPosMinute || code == kPosSecond || code == kPosAmPm);
  };
  for (size_t i = 0; i < pos.size();) {
    if (!is_field(pos[i].code)) {
      ++i;
      continue;
    }
    size_t run = RunLength(pos, i);
    bool packed = i + run < pos.size() && is_field(pos[i + run].code) && pos[i + run].code != kPosAmPm;
    fields.push_back({pos[i].code, run, packed});
    i += run;
  }
  return fields;
}

// The text of each field of a date or time picture. Text as wide as the picture
// is read column by column; other text (typed, or shifted by a month name) is
// read by runs of digits and letters in the order of the fields.
std::vector<std::string> FieldTexts(std::string_view text, const Picture& p,
                                    const std::vector<Field>& fields) {
  std::vector<std::string> texts(fields.size());
  bool has_name = false;
  for (const Field& f : fields) has_name |= f.code == kPosMonthName;
  const auto& pos = p.positions();
  bool aligned = !has_name && text.size() == static_cast<size_t>(p.length());
  for (size_t i = 0; aligned && i < pos.size(); ++i) {
    uint8_t code = pos[i].code;
    bool field_column = code == kPosAmPm || (i > 0 && pos[i - 1].code == kPosAmPm);
    for (const Field& f : fields) field_column |= f.code == code;
    if (!field_column && LocaleUpper(text[i]) != LocaleUpper(pos[i].fill)) aligned = false;
  }
  if (aligned) {
    size_t field = 0;
    for (size_t i = 0; i < pos.size() && field < fields.size();) {
      if (pos[i].code != fields[field].code) {
        ++i;
        continue;
      }
      size_t count = pos[i].code == kPosAmPm ? 1 : fields[field].count;
      for (size_t k = 0; k < count; ++k) {
        char c = text[i + k];
        if (c != ' ') texts[field].push_back(c);
      }
      i += count;
      ++field;
    }
    return texts;
  }
  size_t t = 0;
  for (size_t n = 0; n < fields.size(); ++n) {
    const Field& f = fields[n];
    bool letters = f.code == kPosMonthName || f.code == kPosAmPm;
    auto wanted = [letters](char c) { return letters ? IsLetter(c) : IsDigit(c); };
    while (t < text.size() && !wanted(text[t])) ++t;
    size_t limit = (!letters && f.packed) ? f.count : 9;
    while (t < text.size() && wanted(text[t]) && texts[n].size() < limit) texts[n].push_back(text[t++]);
    if (letters) {
      while (t < text.size() && IsLetter(text[t])) ++t;
    }
  }
  return texts;
}

// The digits of a field as a number; false when it has none or holds other characters.
bool FieldNumber(const std::string& text, int* value) {
  if (text.empty() || text.size() > 9) return false;
  int number = 0;
  for (char c : text) {
    if (!IsDigit(c)) return false;
    number = number * 10 + (c - '0');
  }
  *value = number;
  return true;
}

std::string Upper3(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size() && i < 3; ++i) out.push_back(LocaleUpper(s[i]));
  return out;
}

std::string DeformatDate(std::string_view text, const Picture& p) {
  int month = 0, day = 0, year = 0;
  size_t year_digits = 0;
  bool found = false, has_day = false, bad = false;
  std::vector<Field> fields = Fields(p, true);
  std::vector<std::string> texts = FieldTexts(text, p, fields);
  for (size_t n = 0; n < fields.size(); ++n) {
    const Field& f = fields[n];
    if (f.code == kPosDay) has_day = true;
    if (texts[n].empty()) continue;
    found = true;
    if (f.code == kPosMonthName) {
      std::string typed = Upper3(texts[n]);
      for (int m = 1; m <= 12 && month == 0; ++m) {
        if (typed.size() == 3 && Upper3(LocaleMonthName(m)) == typed) month = m;
      }
      continue;
    }
    int value = 0;
    if (!FieldNumber(texts[n], &value)) {
      bad = true;
      continue;
    }
    if (f.code == kPosMonth) month = value;
    else if (f.code == kPosDay) day = value;
    else { year = value; year_digits = texts[n].size(); }
  }
  if (!found) return "0";
  if (bad) return "-1";
  if (!has_day) day = 1;
  if (year_digits <= 2) year = ExpandYear(year, p.century_window());
  return std::to_string(korvex::Date(month, day, year));
}

std::string DeformatTime(std::string_view text, const Picture& p) {
  int hour = 0, minute = 0, second = 0;
  char am_pm = 0;
  bool bad = false;
  const LocaleSettings& locale = CurrentLocale();
  std::vector<Field> fields = Fields(p, false);
  std::vector<std::string> texts = FieldTexts(text, p, fields);
  for (size_t n = 0; n < fields.size(); ++n) {
    const Field& f = fields[n];
    if (texts[n].empty()) continue;
    if (f.code == kPosAmPm) {
      char typed = LocaleUpper(texts[n][0]);
      if (!locale.am.empty() && typed == LocaleUpper(locale.am[0])) am_pm = 'A';
      else if (!locale.pm.empty() && typed == LocaleUpper(locale.pm[0])) am_pm = 'P';
      continue;
    }
    int value = 0;
    if (!FieldNumber(texts[n], &value)) {
      bad = true;
      continue;
    }
    if (f.code == kPosHour) hour = value;
    else if (f.code == kPosMinute) minute = value;
    else second = value;
  }
  if (am_pm == 'P' && hour != 12) hour += 12;
  if (am_pm == 'A' && hour == 12) hour = 0;
  if (bad || hour >= 24 || minute >= 60 || second >= 60) return "-1";
  if (hour == 0 && minute == 0 && second == 0) return "0";
  return std::to_string(hour * 360000 + minute * 6000 + second * 100 + 1);
}

}  // namespace

std::string Deformat(std::string_view text, const Picture& picture) {
  if (!picture.valid()) return Deformat(text);
  switch (picture.kind()) {
    case PictureKind::kNumeric:
    case PictureKind::kScientific: return DeformatNumeric(text, picture);
    case PictureKind::kPattern:
    case PictureKind::kKeyIn: return DeformatPatternKeyIn(text, picture);
    case PictureKind::kDate: return DeformatDate(text, picture);
    case PictureKind::kTime: return DeformatTime(text, picture);
    case PictureKind::kString: break;
  }
  return Deformat(text);
}

std::string Deformat(std::string_view text) {
  std::string out;
  bool point = false, exponent = false;
  for (char c : text) {
    char last = out.empty() ? 0 : out.back();
    bool after_e = last == 'e' || last == 'E';
    if (IsDigit(c)) out.push_back(c);
    else if (c == '-' && (out.empty() || after_e)) out.push_back(c);
    else if (c == '+' && after_e) out.push_back(c);
    else if ((c == 'e' || c == 'E') && !exponent) { exponent = true; out.push_back(c); }
    else if (c == '.' && !point) { point = true; out.push_back(c); }
  }
  return out;
}

}  // namespace korvex
