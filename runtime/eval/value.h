// Values of the expression evaluator and the rules that mix their types
// (docs/expressions.md describes them for users).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/decimal.h"

namespace korvex {

class Value {
 public:
  enum class Kind : uint8_t {
    kInteger,  // exact, 64 bits
    kDecimal,  // exact, up to Decimal::kMaxDigits digits
    kReal,     // binary floating point: only from functions that are not exact
    kString,
  };

  Value() = default;  // integer 0
  static Value Integer(int64_t v);
  static Value Exact(const Decimal& d);
  static Value Real(double v);
  static Value String(std::string s);
  static Value Bool(bool b) { return Integer(b ? 1 : 0); }

  Kind kind() const { return kind_; }
  bool IsNumber() const { return kind_ != Kind::kString; }
  bool IsString() const { return kind_ == Kind::kString; }
  int64_t integer() const { return integer_; }
  const Decimal& decimal() const { return decimal_; }
  double real() const { return real_; }
  const std::string& string() const { return string_; }

  // The value as EVALUATE shows it: numbers in plain decimal, strings as they are.
  std::string ToText() const;
  // Numbers as they are; a string read as a number, 0 when it is not one.
  Value ToNumber() const;
  Decimal ToDecimal() const;  // REQUIRES: an exact number
  double ToDouble() const;
  // Numbers: not zero. Strings: not all blank.
  bool IsTrue() const;

 private:
  Kind kind_ = Kind::kInteger;
  int64_t integer_ = 0;
  double real_ = 0;
  Decimal decimal_;
  std::string string_;
};

// Reads a number as the evaluator does (blanks, sign, digits, point, exponent):
// an integer when it has no fraction and fits, else an exact decimal, else a real.
bool ParseNumberValue(std::string_view text, Value* out);

// Arithmetic on numbers (strings are read as numbers first). Exact operands give
// exact results; a real operand makes the result real. False with a reason when
// the operation has no value (division by zero, overflow of a real, no real result).
bool Add(const Value& a, const Value& b, Value* out, std::string* error);
bool Subtract(const Value& a, const Value& b, Value* out, std::string* error);
bool Multiply(const Value& a, const Value& b, Value* out, std::string* error);
bool Divide(const Value& a, const Value& b, Value* out, std::string* error);
bool Modulus(const Value& a, const Value& b, Value* out, std::string* error);
bool Power(const Value& a, const Value& b, Value* out, std::string* error);
bool Negate(const Value& a, Value* out, std::string* error);
// A real result as a value, refusing infinities and NaN.
bool RealResult(double v, Value* out, std::string* error);

// -1, 0, 1. Two numbers compare by value; two strings by their characters with
// trailing blanks ignored; a string against a number compares as numbers when
// the string is a number, else as strings with the number in its text form.
int Compare(const Value& a, const Value& b);

// The digits of an exact division's quotient after the point.
inline constexpr int kDivisionPlaces = 30;
// Longest string an expression may build.
inline constexpr size_t kMaxStringLength = 1 << 20;

}  // namespace korvex
