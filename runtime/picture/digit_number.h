// Plain decimal numbers as digit strings: what numeric pictures format from.
#pragma once

#include <string>
#include <string_view>

namespace korvex::picture_detail {

struct DigitNumber {
  bool negative = false;
  std::string integer;   // no leading zeros ("" for zero)
  std::string fraction;  // no trailing zeros

  bool IsZero() const { return integer.empty() && fraction.empty(); }
};

// Blanks, sign, digits, one point, optional exponent (clamped to +-1000), blanks.
bool ParseNumber(std::string_view text, DigitNumber* out);
// Rounds half away from zero to `places` fractional digits; the fraction then
// has exactly `places` digits.
void RoundTo(DigitNumber* number, int places);
// "-12.5", "0", "0.001".
std::string ToPlain(const DigitNumber& number);

}  // namespace korvex::picture_detail
