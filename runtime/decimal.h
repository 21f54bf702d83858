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

  // Canonical text: no exponent, no trailing fractional zeros, "-" for negatives, "0" for zero.
  std::string ToString() const;
  // Text with exactly `places` fractional digits, rounded half away from zero.
  std::string ToString(int places) const;
  double ToDouble() const;
  // False when the value is not an integer in range after truncation toward zero fails.
  bool ToInt64(int64_t* out) const;

  bool IsZero() const;
  bool IsNegative() const;
  int Places() const;           // fractional digits held
  int IntegerDigits() const;    // digits before the point (0 for |x| < 1)

  Decimal Negated() const;
  // Rounded half away from zero to `places` fractional digits.
  Decimal Rounded(int places) const;
  Decimal Truncated(int places) const;

  friend Decimal operator+(const Decimal& a, const Decimal& b);
  friend Decimal operator-(const Decimal& a, const Decimal& b);
  friend Decimal operator*(const Decimal& a, const Decimal& b);
  // Quotient with `places` fractional digits, rounded; false on division by zero.
  static bool Divide(const Decimal& a, const Decimal& b, int places, Decimal* out);
  // -1, 0, 1.
  static int Compare(const Decimal& a, const Decimal& b);

  // DECIMAL field of `size` bytes with `places` decimals: sign nibble first,
  // then 2*size-1 digits. Read: false when a digit nibble is above 9.
  // Write: the value rounded to `places`; false (field untouched) when it does not fit.
  static bool ReadPacked(const uint8_t* bytes, int size, int places, Decimal* out);
  bool WritePacked(uint8_t* bytes, int size, int places) const;
  // PDECIMAL field: 2*size-1 digits, then the sign nibble in the low half of the
  // last byte (0xD negative, anything else positive; written as 0xC or 0xD).
  static bool ReadPackedP(const uint8_t* bytes, int size, int places, Decimal* out);
  bool WritePackedP(uint8_t* bytes, int size, int places) const;

 private:
  bool negative_ = false;
  uint8_t count_ = 0;              // significant digits held in digits_
  uint8_t places_ = 0;             // how many of them are fractional
  uint8_t digits_[kMaxDigits] = {};  // most significant first
};

}  // namespace korvex
