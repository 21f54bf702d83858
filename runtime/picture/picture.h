// Display pictures: "@N-14", "@D1", "@T3", "@S20", "@P###-####P", "@K@@##K"...
// A picture text is compiled once into a template of positions; FORMAT and
// DEFORMAT walk that template.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvex {

class Decimal;

enum class PictureKind : uint8_t {
  kNumeric = 0,
  kScientific = 1,
  kDate = 2,
  kTime = 3,
  kPattern = 4,
  kString = 5,
  kKeyIn = 6,
};

enum PositionCode : uint8_t {
  kPosLiteral = 0,
  kPosGrouping = 1,      // shown only between significant digits
  kPosPoint = 2,         // decimal point, shown
  kPosDigit = 3,         // digit, the fill when there is none
  kPosDigitBlank = 4,    // digit, a leading zero shows the fill
  kPosSign = 5,          // "-" or "(" / ")" for negatives
  kPosCurrency = 6,
  kPosMonth = 7,
  kPosDay = 8,
  kPosYear = 9,
  kPosMonthName = 10,
  kPosHour = 11,
  kPosMinute = 12,
  kPosSecond = 13,
  kPosKeyLetter = 14,    // "@"
  kPosKeyUpper = 15,     // "^"
  kPosKeyLower = 16,     // "_"
  kPosKeyAny = 17,       // "?"
  kPosSeparator = 19,    // date or time separator
  kPosAmPm = 20,
  kPosExponentSign = 21,
  kPosImpliedPoint = 22,  // takes no column: marks where the point is
  kPosKeyStop = 23,       // takes no column: where typing stops
};

struct PicturePosition {
  char fill;     // character shown when the position has nothing of its own
  uint8_t code;  // PositionCode
};

class Picture {
 public:
  static constexpr int kDefaultWindow = 80;

  Picture() = default;  // the invalid picture: numeric kind, length 0

  // Never fails: a text that breaks the picture rules yields the invalid picture.
  // An empty text is "no picture", a 255-character string picture.
  static Picture Compile(std::string_view text);

  bool valid() const { return length_ != 0; }
  PictureKind kind() const { return kind_; }
  // 8 date and time, 16 scientific, 24 numeric and pattern, 0 string and key-in.
  uint8_t flags() const;
  bool blank_when_zero() const { return blank_when_zero_; }
  // Columns that FORMAT produces (positions minus the zero-width ones).
  int length() const { return length_; }
  int century_window() const { return century_window_; }
  int number() const { return number_; }  // n of @Dn / @Tn
  const std::vector<PicturePosition>& positions() const { return positions_; }
  // Numeric and scientific pictures.
  int decimals() const { return decimals_; }
  char decimal_char() const { return decimal_char_; }
  char grouping_char() const { return grouping_char_; }  // 0 when none
  char leading_sign() const { return leading_sign_; }    // '-', '(' or 0
  char trailing_sign() const { return trailing_sign_; }  // '-', ')' or 0
  // Date pictures: month names in capitals (all but @D4 and @D18).
  bool upper_month_names() const { return upper_month_names_; }

 private:
  friend class PictureCompiler;

  PictureKind kind_ = PictureKind::kNumeric;
  bool blank_when_zero_ = false;
  uint8_t length_ = 0;
  uint8_t century_window_ = kDefaultWindow;
  uint8_t number_ = 0;
  uint8_t decimals_ = 0;
  char decimal_char_ = '.';
  char grouping_char_ = 0;
  bool upper_month_names_ = true;  // all but @D4 and @D18 show month names in capitals
  char leading_sign_ = 0;          // '-' or '(' (numeric pictures)
  char trailing_sign_ = 0;         // '-' or ')'
  std::vector<PicturePosition> positions_;
};

// FORMAT. Each returns exactly picture.length() characters.
// `number` is a plain decimal text ("-12.5"; an exponent is accepted); a text that
// is not a number counts as 0.
std::string FormatNumberText(const Picture& picture, std::string_view number);
std::string FormatInteger(const Picture& picture, int64_t value);
std::string FormatDecimal(const Picture& picture, const Decimal& value);
std::string FormatReal(const Picture& picture, double value);
// A string value: copied by string pictures, taken character by character by
// key-in pictures, its digits by pattern pictures, read as a number otherwise.
std::string FormatString(const Picture& picture, std::string_view text);

// DEFORMAT: the value's text form (a plain number, or a date or time serial).
std::string Deformat(std::string_view text, const Picture& picture);
// Without a picture: only the characters that can form a number are kept.
std::string Deformat(std::string_view text);

// Shortest plain decimal text (no exponent) that reads back as the same double;
// "" for infinities and NaN.
std::string RealToText(double value);
// Reads blanks, sign, digits, one point and an exponent into plain decimal text
// ("-0.0012"). False when the text is not such a number.
bool NumberToPlainText(std::string_view text, std::string* plain);

}  // namespace korvex
