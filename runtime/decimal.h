// Exact decimal numbers: what DECIMAL and PDECIMAL fields hold and what exact
// arithmetic needs. No binary floating point is involved unless asked for.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvex {

class Decimal {
 public:
  static constexpr int kMaxDigits = 62;  // enough for any stored field and products of two

  Decimal() = default;  // zero
  static Decimal FromInt(int64_t value);
  static Decimal FromUInt(uint64_t value);
  // Shortest decimal that round-trips the double (not its exact binary value).
  static Decimal FromDouble(double value);
  // Accepts optional blanks, sign, digits, one decimal point, optional exponent.
  // Returns false for anything else or more than kMaxDigits significant digits.
  static bool Parse(std::string_view text, Decimal* out);
  // Parse, then round half away from zero to `places` fractional digits (fewer when
  // the integer digits leave less room) in one step from the full text. False when
  // the text is not a number or its integer part needs more than kMaxDigits digits.
  static bool ParseRounded(std::string_view text, int places, Decimal* out);

  // Canonical text: no exponent, no trailing fractional zeros, "-" for negatives, "0" for zero.
  // An overflowed value gives "".
  std::string ToString() const;
  // Text with exactly `places` fractional digits (0 when negative), rounded half away
  // from zero. An overflowed value gives "".
  std::string ToString(int places) const;
  // The nearest double; +-infinity for an overflowed value.
  double ToDouble() const;
  // The value truncated toward zero; false when that is outside int64_t (or overflowed).
  bool ToInt64(int64_t* out) const;

  // Results are exact while they fit in kMaxDigits digits; beyond that fractional
  // digits are rounded half away from zero. A result whose integer part needs more
  // than kMaxDigits digits is "overflowed": it prints as "", converts and writes to
  // nothing, and every result computed from it is overflowed too. FromDouble gives
  // such a value for infinities and huge doubles (and zero for NaN).
  bool Overflowed() const { return overflow_; }

  bool IsZero() const;
  bool IsNegative() const;
  int Places() const;           // fractional digits held (trailing zeros are never held)
  int IntegerDigits() const;    // digits before the point (0 for |x| < 1)

  Decimal Negated() const;
  // Rounded half away from zero to `places` fractional digits (negative counts as 0).
  Decimal Rounded(int places) const;
  Decimal Truncated(int places) const;

  friend Decimal operator+(const Decimal& a, const Decimal& b);
  friend Decimal operator-(const Decimal& a, const Decimal& b);
  friend Decimal operator*(const Decimal& a, const Decimal& b);
  // The same, answering false (and an overflowed *out) when the result overflows.
  static bool Add(const Decimal& a, const Decimal& b, Decimal* out);
  static bool Subtract(const Decimal& a, const Decimal& b, Decimal* out);
  static bool Multiply(const Decimal& a, const Decimal& b, Decimal* out);
  // Quotient with `places` fractional digits (fewer when the integer part leaves less
  // room in kMaxDigits), rounded half away from zero in one step; false on division
  // by zero, on an overflowed operand and when the integer part does not fit.
  static bool Divide(const Decimal& a, const Decimal& b, int places, Decimal* out);
  // -1, 0, 1. An overflowed value compares beyond every other value of its sign.
  static int Compare(const Decimal& a, const Decimal& b);

  // DECIMAL field of `size` bytes (1..31) with `places` decimals (0..2*size-1): sign
  // nibble first, then 2*size-1 digits. Read: any non-zero sign nibble is negative;
  // false when a digit nibble is above 9 or size/places are out of range.
  // Write: the value rounded to `places`; false (field untouched) when it does not fit.
  // A negative value gets the sign nibble 0xF: four bits away from 0, so no single
  // flipped bit turns it positive. Zero, even after rounding a negative, is written
  // with sign 0 so that a zero has only one stored form (keys compare bytes).
  static bool ReadPacked(const uint8_t* bytes, int size, int places, Decimal* out);
  bool WritePacked(uint8_t* bytes, int size, int places) const;
  // PDECIMAL field: 2*size-1 digits, then the sign nibble in the low half of the
  // last byte (0xD negative, anything else positive; written as 0xC or 0xD; zero is
  // always 0xC). Same sizes, places and failures as the DECIMAL form.
  static bool ReadPackedP(const uint8_t* bytes, int size, int places, Decimal* out);
  bool WritePackedP(uint8_t* bytes, int size, int places) const;

 private:
  friend class DecimalMath;  // the arithmetic in decimal.cpp

  bool negative_ = false;
  bool overflow_ = false;          // integer part outgrew kMaxDigits
  uint8_t count_ = 0;              // digits held: integer digits, then places_ fractional
  uint8_t places_ = 0;             // how many of them are fractional
  uint8_t digits_[kMaxDigits] = {};  // most significant first
};

}  // namespace korvex
