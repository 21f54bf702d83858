// Reading and writing numbers as decimal text, shared by the exact decimal
// type and the numeric field conversions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvex {

// A number read from text: (-1)^negative * digits * 10^exponent. `digits` has
// no leading or trailing zeros; it is empty for zero (exponent is then 0).
struct ScannedNumber {
  bool negative = false;
  std::string digits;
  int64_t exponent = 0;
};

// Accepts optional blanks (space, tab), an optional sign, digits with at most
// one decimal point (at least one digit in all), an optional exponent ("e" or
// "E", optional sign, digits) and optional trailing blanks. Huge exponents are
// clamped to +-2^40, far beyond any value a field or a Decimal can hold.
bool ScanNumber(std::string_view text, ScannedNumber* out);

// Plain text ("-12.5", "0.001", "1200") of digits * 10^exponent.
std::string PlainNumberText(bool negative, std::string_view digits, int64_t exponent);
// The shorter of the plain text and the scientific one ("1.5e+20", "1e-07");
// the plain one when both are as long. Digits as in ScannedNumber.
std::string ShortNumberText(bool negative, std::string_view digits, int64_t exponent);

}  // namespace korvex
