#include "runtime/eval/value.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "runtime/char_tables.h"
#include "runtime/picture/picture.h"

namespace korvex {

Value Value::Integer(int64_t v) {
  Value value;
  value.integer_ = v;
  return value;
}

Value Value::Exact(const Decimal& d) {
  Value value;
  int64_t i = 0;
  // Whole numbers that fit are integers: they compare and print the same, and
  // integer arithmetic is cheaper.
  if (d.Places() == 0 && d.ToInt64(&i)) return Integer(i);
  value.kind_ = Kind::kDecimal;
  value.decimal_ = d;
  return value;
}

Value Value::Real(double v) {
  Value value;
  value.kind_ = Kind::kReal;
  value.real_ = v;
  return value;
}

Value Value::String(std::string s) {
  Value value;
  value.kind_ = Kind::kString;
  value.string_ = std::move(s);
  return value;
}

std::string Value::ToText() const {
  switch (kind_) {
    case Kind::kInteger: {
      char text[32];
      std::snprintf(text, sizeof text, "%" PRId64, integer_);
      return text;
    }
    case Kind::kDecimal: return decimal_.ToString();
    case Kind::kReal: return RealToText(real_);
    case Kind::kString: break;
  }
  return string_;
}

bool ParseNumberValue(std::string_view text, Value* out) {
  std::string plain;
  if (!NumberToPlainText(text, &plain)) return false;
  Decimal d;
  if (Decimal::Parse(text, &d) && !d.Overflowed()) {
    *out = Value::Exact(d);
    return true;
  }
  // More digits than an exact decimal holds: the nearest real.
  *out = Value::Real(std::strtod(std::string(text).c_str(), nullptr));
  return std::isfinite(out->real());
}

Value Value::ToNumber() const {
  if (kind_ != Kind::kString) return *this;
  Value number;
  if (!ParseNumberValue(string_, &number)) return Integer(0);
  return number;
}

Decimal Value::ToDecimal() const {
  if (kind_ == Kind::kDecimal) return decimal_;
  if (kind_ == Kind::kInteger) return Decimal::FromInt(integer_);
  return ToNumber().ToDecimal();
}

double Value::ToDouble() const {
  switch (kind_) {
    case Kind::kInteger: return static_cast<double>(integer_);
    case Kind::kDecimal: return decimal_.ToDouble();
    case Kind::kReal: return real_;
    case Kind::kString: break;
  }
  return ToNumber().ToDouble();
}

bool Value::IsTrue() const {
  switch (kind_) {
    case Kind::kInteger: return integer_ != 0;
    case Kind::kDecimal: return !decimal_.IsZero();
    case Kind::kReal: return real_ != 0;
    case Kind::kString: break;
  }
  return string_.find_first_not_of(' ') != std::string::npos;
}

bool RealResult(double v, Value* out, std::string* error) {
  if (std::isnan(v)) {
    *error = "no real result";
    return false;
  }
  if (!std::isfinite(v)) {
    *error = "numeric overflow";
    return false;
  }
  *out = Value::Real(v);
  return true;
}

namespace {

enum class Op { kAdd, kSubtract, kMultiply };

bool Arithmetic(Op op, const Value& a0, const Value& b0, Value* out, std::string* error) {
  Value a = a0.ToNumber(), b = b0.ToNumber();
  if (a.kind() == Value::Kind::kInteger && b.kind() == Value::Kind::kInteger) {
    int64_t r = 0;
    bool overflow = op == Op::kAdd        ? __builtin_add_overflow(a.integer(), b.integer(), &r)
                    : op == Op::kSubtract ? __builtin_sub_overflow(a.integer(), b.integer(), &r)
                                          : __builtin_mul_overflow(a.integer(), b.integer(), &r);
    if (!overflow) {
      *out = Value::Integer(r);
      return true;
    }
  }
  if (a.kind() != Value::Kind::kReal && b.kind() != Value::Kind::kReal) {
    Decimal r;
    bool ok = op == Op::kAdd        ? Decimal::Add(a.ToDecimal(), b.ToDecimal(), &r)
              : op == Op::kSubtract ? Decimal::Subtract(a.ToDecimal(), b.ToDecimal(), &r)
                                    : Decimal::Multiply(a.ToDecimal(), b.ToDecimal(), &r);
    if (ok && !r.Overflowed()) {
      *out = Value::Exact(r);
      return true;
    }
    // Beyond what an exact decimal holds: carry on in binary floating point.
  }
  double x = a.ToDouble(), y = b.ToDouble();
  return RealResult(op == Op::kAdd ? x + y : op == Op::kSubtract ? x - y : x * y, out, error);
}

bool IsZero(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::kInteger: return v.integer() == 0;
    case Value::Kind::kDecimal: return v.decimal().IsZero();
    default: return v.ToDouble() == 0;
  }
}

// Exact a^n for n >= 0 by squaring; false when it outgrows a Decimal.
bool ExactPower(const Decimal& a, int64_t n, Decimal* out) {
  Decimal result = Decimal::FromInt(1), base = a;
  while (n > 0) {
    if (n & 1) {
      if (!Decimal::Multiply(result, base, &result) || result.Overflowed()) return false;
    }
    n >>= 1;
    if (n > 0 && (!Decimal::Multiply(base, base, &base) || base.Overflowed())) return false;
  }
  *out = result;
  return true;
}

}  // namespace

bool Add(const Value& a, const Value& b, Value* out, std::string* error) {
  return Arithmetic(Op::kAdd, a, b, out, error);
}
bool Subtract(const Value& a, const Value& b, Value* out, std::string* error) {
  return Arithmetic(Op::kSubtract, a, b, out, error);
}
bool Multiply(const Value& a, const Value& b, Value* out, std::string* error) {
  return Arithmetic(Op::kMultiply, a, b, out, error);
}

bool Divide(const Value& a0, const Value& b0, Value* out, std::string* error) {
  Value a = a0.ToNumber(), b = b0.ToNumber();
  if (IsZero(b)) {
    *error = "division by zero";
    return false;
  }
  if (a.kind() != Value::Kind::kReal && b.kind() != Value::Kind::kReal) {
    Decimal q;
    if (Decimal::Divide(a.ToDecimal(), b.ToDecimal(), kDivisionPlaces, &q) && !q.Overflowed()) {
      *out = Value::Exact(q);
      return true;
    }
  }
  return RealResult(a.ToDouble() / b.ToDouble(), out, error);
}

bool Modulus(const Value& a0, const Value& b0, Value* out, std::string* error) {
  Value a = a0.ToNumber(), b = b0.ToNumber();
  if (IsZero(b)) {
    *error = "division by zero";
    return false;
  }
  if (a.kind() == Value::Kind::kInteger && b.kind() == Value::Kind::kInteger) {
    // INT64_MIN % -1 is the one case C++ leaves undefined.
    *out = Value::Integer(b.integer() == -1 ? 0 : a.integer() % b.integer());
    return true;
  }
  if (a.kind() != Value::Kind::kReal && b.kind() != Value::Kind::kReal) {
    // The remainder of the quotient truncated toward zero; it takes a's sign.
    Decimal x = a.ToDecimal(), y = b.ToDecimal(), q, product, r;
    if (Decimal::Divide(x, y, kDivisionPlaces, &q) && Decimal::Multiply(q.Truncated(0), y, &product) &&
        Decimal::Subtract(x, product, &r) && !r.Overflowed()) {
      // The quotient may have been rounded up to a whole number: step back once.
      if (!r.IsZero() && r.IsNegative() != x.IsNegative()) {
        Decimal fixed;
        bool ok = r.IsNegative() == y.IsNegative() ? Decimal::Subtract(r, y, &fixed) : Decimal::Add(r, y, &fixed);
        if (ok) r = fixed;
      }
      *out = Value::Exact(r);
      return true;
    }
  }
  return RealResult(std::fmod(a.ToDouble(), b.ToDouble()), out, error);
}

bool Power(const Value& a0, const Value& b0, Value* out, std::string* error) {
  Value a = a0.ToNumber(), b = b0.ToNumber();
  bool exact_exponent = b.kind() == Value::Kind::kInteger;
  if (a.kind() != Value::Kind::kReal && exact_exponent && b.integer() >= -100000 && b.integer() <= 100000) {
    int64_t n = b.integer();
    Decimal p;
    // A power of a non-zero base that rounds to zero has lost its digits: use reals.
    if (ExactPower(a.ToDecimal(), n < 0 ? -n : n, &p) && (!p.IsZero() || IsZero(a))) {
      if (n >= 0) {
        *out = Value::Exact(p);
        return true;
      }
      Decimal q;
      if (!p.IsZero() && Decimal::Divide(Decimal::FromInt(1), p, kDivisionPlaces, &q)) {
        *out = Value::Exact(q);
        return true;
      }
    }
  }
  if (IsZero(a) && b.ToDouble() < 0) {
    *error = "division by zero";
    return false;
  }
  // Long double keeps powers such as 10^70 correctly rounded on both targets.
  long double p = std::pow(static_cast<long double>(a.ToDouble()), static_cast<long double>(b.ToDouble()));
  return RealResult(static_cast<double>(p), out, error);
}

bool Negate(const Value& a0, Value* out, std::string* error) {
  Value a = a0.ToNumber();
  switch (a.kind()) {
    case Value::Kind::kInteger:
      if (a.integer() != INT64_MIN) {
        *out = Value::Integer(-a.integer());
        return true;
      }
      *out = Value::Exact(Decimal::FromInt(a.integer()).Negated());
      return true;
    case Value::Kind::kDecimal: *out = Value::Exact(a.decimal().Negated()); return true;
    default: return RealResult(-a.ToDouble(), out, error);
  }
}

namespace {

int CompareNumbers(const Value& a, const Value& b) {
  if (a.kind() == Value::Kind::kInteger && b.kind() == Value::Kind::kInteger) {
    return a.integer() < b.integer() ? -1 : a.integer() > b.integer() ? 1 : 0;
  }
  if (a.kind() != Value::Kind::kReal && b.kind() != Value::Kind::kReal) {
    return Decimal::Compare(a.ToDecimal(), b.ToDecimal());
  }
  double x = a.ToDouble(), y = b.ToDouble();
  return x < y ? -1 : x > y ? 1 : 0;
}

// Blank-padded, by the locale's collation and digraphs.
int CompareStrings(std::string_view a, std::string_view b) {
  return CurrentCharTables()->CompareText(a, b);
}

}  // namespace

int Compare(const Value& a, const Value& b) {
  if (a.IsNumber() && b.IsNumber()) return CompareNumbers(a, b);
  if (a.IsString() && b.IsString()) return CompareStrings(a.string(), b.string());
  const Value& text = a.IsString() ? a : b;
  Value number;
  if (ParseNumberValue(text.string(), &number)) {
    return a.IsString() ? CompareNumbers(number, b) : CompareNumbers(a, number);
  }
  return CompareStrings(a.ToText(), b.ToText());
}

}  // namespace korvex
