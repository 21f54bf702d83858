#include "runtime/decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "runtime/number_text.h"

namespace korvex {

namespace {

// Field sizes the packed forms accept: 2 * 31 - 1 = 61 digits still fit a Decimal.
constexpr int kMaxPackedSize = 31;
// ToString(places) pads with zeros; more than this is no sensible request.
constexpr int kMaxTextPlaces = 1000;

// An unsigned magnitude: digits least significant first, value = sum d[i] * 10^(i - scale).
struct Magnitude {
  std::vector<uint8_t> d;
  int64_t scale = 0;
};

void TrimHigh(std::vector<uint8_t>* d) {
  while (!d->empty() && d->back() == 0) d->pop_back();
}

// Multiplies by 10^count.
void ShiftUp(std::vector<uint8_t>* d, size_t count) {
  if (!d->empty()) d->insert(d->begin(), count, 0);
}

int CompareDigits(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  // Both trimmed of high zeros.
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (size_t i = a.size(); i-- > 0;) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

std::vector<uint8_t> AddDigits(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  std::vector<uint8_t> sum(std::max(a.size(), b.size()) + 1, 0);
  int carry = 0;
  for (size_t i = 0; i < sum.size(); ++i) {
    int v = carry + (i < a.size() ? a[i] : 0) + (i < b.size() ? b[i] : 0);
    sum[i] = static_cast<uint8_t>(v % 10);
    carry = v / 10;
  }
  TrimHigh(&sum);
  return sum;
}

// a - b, REQUIRES a >= b.
void SubtractDigits(std::vector<uint8_t>* a, const std::vector<uint8_t>& b) {
  int borrow = 0;
  for (size_t i = 0; i < a->size(); ++i) {
    int v = (*a)[i] - borrow - (i < b.size() ? b[i] : 0);
    borrow = v < 0;
    (*a)[i] = static_cast<uint8_t>(v < 0 ? v + 10 : v);
  }
  TrimHigh(a);
}

std::vector<uint8_t> MultiplyDigits(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.empty() || b.empty()) return {};
  std::vector<uint32_t> wide(a.size() + b.size(), 0);
  for (size_t i = 0; i < a.size(); ++i) {
    for (size_t j = 0; j < b.size(); ++j) wide[i + j] += static_cast<uint32_t>(a[i]) * b[j];
  }
  std::vector<uint8_t> product(wide.size() + 1, 0);
  uint32_t carry = 0;
  for (size_t i = 0; i < product.size(); ++i) {
    uint32_t v = carry + (i < wide.size() ? wide[i] : 0);
    product[i] = static_cast<uint8_t>(v % 10);
    carry = v / 10;
  }
  TrimHigh(&product);
  return product;
}

// Quotient and remainder of trimmed magnitudes, REQUIRES den non-empty.
void DivideDigits(const std::vector<uint8_t>& num, const std::vector<uint8_t>& den,
                  std::vector<uint8_t>* quotient, std::vector<uint8_t>* remainder) {
  quotient->assign(num.size(), 0);
  remainder->clear();
  for (size_t i = num.size(); i-- > 0;) {
    remainder->insert(remainder->begin(), num[i]);
    TrimHigh(remainder);
    uint8_t q = 0;
    while (CompareDigits(*remainder, den) >= 0) {
      SubtractDigits(remainder, den);
      ++q;
    }
    (*quotient)[i] = q;
  }
  TrimHigh(quotient);
}

// Adds one unit in the lowest place.
void Increment(std::vector<uint8_t>* d) {
  for (auto& digit : *d) {
    if (digit < 9) {
      ++digit;
      return;
    }
    digit = 0;
  }
  d->push_back(1);
}

// Drops fractional digits beyond `places`, rounding half away from zero unless truncating.
void RoundMagnitude(Magnitude* m, int64_t places, bool truncate) {
  if (places < 0) places = 0;
  if (m->scale <= places) return;
  size_t drop = static_cast<size_t>(m->scale - places);
  bool up = false;
  if (!truncate && drop <= m->d.size()) up = m->d[drop - 1] >= 5;
  if (drop >= m->d.size()) {
    m->d.clear();
  } else {
    m->d.erase(m->d.begin(), m->d.begin() + static_cast<std::ptrdiff_t>(drop));
  }
  m->scale = places;
  if (up) Increment(&m->d);
}

int64_t IntegerDigitsOf(const Magnitude& m) {
  int64_t n = static_cast<int64_t>(m.d.size()) - m.scale;
  return n > 0 ? n : 0;
}

}  // namespace

class DecimalMath {
 public:
  static Magnitude Of(const Decimal& x) {
    Magnitude m;
    m.d.assign(std::make_reverse_iterator(x.digits_ + x.count_), std::make_reverse_iterator(x.digits_));
    TrimHigh(&m.d);
    m.scale = x.places_;
    return m;
  }

  static Decimal Overflow(bool negative) {
    Decimal x;
    x.overflow_ = true;
    x.negative_ = negative;
    return x;
  }

  // Stores m (rounding fractional digits beyond capacity); an overflowed result when
  // the integer part needs more than kMaxDigits digits.
  static Decimal Build(bool negative, Magnitude m) {
    for (;;) {
      TrimHigh(&m.d);
      if (m.scale < 0) {
        ShiftUp(&m.d, static_cast<size_t>(-m.scale));
        m.scale = 0;
      }
      size_t low_zeros = 0;
      while (low_zeros < m.d.size() && static_cast<int64_t>(low_zeros) < m.scale &&
             m.d[low_zeros] == 0) {
        ++low_zeros;
      }
      m.d.erase(m.d.begin(), m.d.begin() + static_cast<std::ptrdiff_t>(low_zeros));
      m.scale -= static_cast<int64_t>(low_zeros);
      if (m.d.empty()) return Decimal();
      int64_t integer_digits = IntegerDigitsOf(m);
      if (integer_digits > Decimal::kMaxDigits) return Overflow(negative);
      if (integer_digits + m.scale <= Decimal::kMaxDigits) break;
      RoundMagnitude(&m, Decimal::kMaxDigits - integer_digits, false);
    }
    Decimal x;
    x.negative_ = negative;
    x.places_ = static_cast<uint8_t>(m.scale);
    x.count_ = static_cast<uint8_t>(IntegerDigitsOf(m) + m.scale);
    for (int j = 0; j < x.count_; ++j) {
      size_t index = static_cast<size_t>(x.count_ - 1 - j);
      x.digits_[j] = index < m.d.size() ? m.d[index] : 0;
    }
    return x;
  }

  // Brings both magnitudes to the larger scale.
  static void Align(Magnitude* a, Magnitude* b) {
    if (a->scale < b->scale) {
      ShiftUp(&a->d, static_cast<size_t>(b->scale - a->scale));
      a->scale = b->scale;
    } else if (b->scale < a->scale) {
      ShiftUp(&b->d, static_cast<size_t>(a->scale - b->scale));
      b->scale = a->scale;
    }
  }

  static Decimal Sum(const Decimal& a, bool a_negative, const Decimal& b, bool b_negative) {
    if (a.overflow_ || b.overflow_) {
      if (a.overflow_ && b.overflow_ && a_negative != b_negative) return Overflow(false);
      return Overflow(a.overflow_ ? a_negative : b_negative);
    }
    Magnitude ma = Of(a);
    Magnitude mb = Of(b);
    Align(&ma, &mb);
    Magnitude result;
    result.scale = ma.scale;
    bool negative = a_negative;
    if (a_negative == b_negative) {
      result.d = AddDigits(ma.d, mb.d);
    } else if (CompareDigits(ma.d, mb.d) >= 0) {
      result.d = ma.d;
      SubtractDigits(&result.d, mb.d);
    } else {
      result.d = mb.d;
      SubtractDigits(&result.d, ma.d);
      negative = b_negative;
    }
    return Build(negative, std::move(result));
  }

  static Decimal Product(const Decimal& a, const Decimal& b) {
    bool negative = a.negative_ != b.negative_;
    if (a.overflow_ || b.overflow_) {
      if ((!a.overflow_ && a.IsZero()) || (!b.overflow_ && b.IsZero())) return Decimal();
      return Overflow(negative);
    }
    Magnitude ma = Of(a);
    Magnitude mb = Of(b);
    Magnitude result;
    result.d = MultiplyDigits(ma.d, mb.d);
    result.scale = ma.scale + mb.scale;
    return Build(negative, std::move(result));
  }

  static bool Quotient(const Decimal& a, const Decimal& b, int places, Decimal* out) {
    if (a.overflow_ || b.overflow_ || b.IsZero()) return false;
    if (places < 0) places = 0;
    Magnitude ma = Of(a);
    Magnitude mb = Of(b);
    // a / b = (A / 10^sa) / (B / 10^sb) = A * 10^sb / (B * 10^sa).
    std::vector<uint8_t> num = ma.d;
    std::vector<uint8_t> den = mb.d;
    ShiftUp(&num, static_cast<size_t>(mb.scale));
    ShiftUp(&den, static_cast<size_t>(ma.scale));
    std::vector<uint8_t> quotient;
    std::vector<uint8_t> remainder;
    DivideDigits(num, den, &quotient, &remainder);
    int64_t integer_digits = static_cast<int64_t>(quotient.size());
    if (integer_digits > Decimal::kMaxDigits) return false;
    // Round once, to the places that fit, rather than twice.
    int64_t room = Decimal::kMaxDigits - integer_digits;
    if (places > room) places = static_cast<int>(room);
    ShiftUp(&num, static_cast<size_t>(places));
    DivideDigits(num, den, &quotient, &remainder);
    // Half away from zero: up when 2 * remainder >= den.
    if (CompareDigits(AddDigits(remainder, remainder), den) >= 0) Increment(&quotient);
    Magnitude result;
    result.d = std::move(quotient);
    result.scale = places;
    *out = Build(a.negative_ != b.negative_, std::move(result));
    return !out->overflow_;
  }

  static Decimal Round(const Decimal& x, int places, bool truncate) {
    if (x.overflow_ || x.places_ <= std::max(places, 0)) return x;
    Magnitude m = Of(x);
    RoundMagnitude(&m, places, truncate);
    return Build(x.negative_, std::move(m));
  }

  static int CompareMagnitude(const Decimal& a, const Decimal& b) {
    int ai = a.IntegerDigits();
    int bi = b.IntegerDigits();
    if (ai != bi) return ai < bi ? -1 : 1;
    int n = std::max<int>(a.count_, b.count_);
    for (int j = 0; j < n; ++j) {
      int da = j < a.count_ ? a.digits_[j] : 0;
      int db = j < b.count_ ? b.digits_[j] : 0;
      if (da != db) return da < db ? -1 : 1;
    }
    return 0;
  }

  // digits * 10^exponent, rounded to `places` when places >= 0, exactly otherwise.
  static bool FromScanned(const ScannedNumber& number, int64_t places, Decimal* out) {
    if (number.digits.empty()) {
      *out = Decimal();
      return true;
    }
    int64_t n = static_cast<int64_t>(number.digits.size());
    int64_t e = number.exponent;
    int64_t integer_digits = std::max<int64_t>(0, n + e);
    if (integer_digits > Decimal::kMaxDigits) return false;
    Magnitude m;
    std::vector<uint8_t> digits(number.digits.size());  // least significant first
    for (size_t i = 0; i < digits.size(); ++i) {
      digits[i] = static_cast<uint8_t>(number.digits[digits.size() - 1 - i] - '0');
    }
    int64_t exact_places = std::max<int64_t>(0, -e);
    if (places < 0) {
      if (integer_digits + exact_places > Decimal::kMaxDigits) return false;
      places = exact_places;
    }
    places = std::min(places, Decimal::kMaxDigits - integer_digits);
    int64_t keep = n + e + places;  // leading digits at or above the last kept place
    if (keep >= n) {
      m.d = std::move(digits);
      m.scale = -e;
    } else if (keep >= 0) {
      m.d.assign(digits.begin() + (n - keep), digits.end());
      if (number.digits[static_cast<size_t>(keep)] >= '5') Increment(&m.d);
      m.scale = places;
    }
    *out = Build(number.negative, std::move(m));
    return !out->overflow_;
  }

  static bool ReadNibbles(const uint8_t* bytes, int size, int places, bool sign_first,
                          Decimal* out) {
    if (size < 1 || size > kMaxPackedSize || places < 0 || places > 2 * size - 1) return false;
    int digit_count = 2 * size - 1;
    Magnitude m;
    m.scale = places;
    m.d.resize(static_cast<size_t>(digit_count));
    for (int k = 0; k < digit_count; ++k) {
      int nibble_index = sign_first ? k + 1 : k;
      uint8_t byte = bytes[nibble_index / 2];
      uint8_t nibble = (nibble_index % 2 == 0) ? byte >> 4 : byte & 0x0F;
      if (nibble > 9) return false;
      m.d[static_cast<size_t>(digit_count - 1 - k)] = nibble;
    }
    bool negative = sign_first ? (bytes[0] >> 4) != 0 : (bytes[size - 1] & 0x0F) == 0x0D;
    *out = Build(negative, std::move(m));
    return true;
  }

  static bool WriteNibbles(const Decimal& value, uint8_t* bytes, int size, int places,
                           bool sign_first) {
    if (value.overflow_ || size < 1 || size > kMaxPackedSize || places < 0 ||
        places > 2 * size - 1) {
      return false;
    }
    Decimal r = value.Rounded(places);
    int digit_count = 2 * size - 1;
    int integer_room = digit_count - places;
    int integer_digits = r.IntegerDigits();
    if (integer_digits > integer_room) return false;
    uint8_t nibbles[2 * kMaxPackedSize] = {};
    int first = sign_first ? 1 : 0;
    // Integer digits end at the point; fractional digits start there.
    int start = first + integer_room - integer_digits;
    for (int j = 0; j < r.count_; ++j) nibbles[start + j] = r.digits_[j];
    bool negative = r.IsNegative();
    if (sign_first) {
      nibbles[0] = negative ? 0x0F : 0x00;
    } else {
      nibbles[digit_count] = negative ? 0x0D : 0x0C;
    }
    for (int i = 0; i < size; ++i) {
      bytes[i] = static_cast<uint8_t>(nibbles[2 * i] << 4 | nibbles[2 * i + 1]);
    }
    return true;
  }
};

Decimal Decimal::FromInt(int64_t value) {
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  Decimal x = FromUInt(magnitude);
  x.negative_ = value < 0;
  return x;
}

Decimal Decimal::FromUInt(uint64_t value) {
  Magnitude m;
  for (; value != 0; value /= 10) m.d.push_back(static_cast<uint8_t>(value % 10));
  return DecimalMath::Build(false, std::move(m));
}

Decimal Decimal::FromDouble(double value) {
  if (std::isnan(value)) return Decimal();
  if (std::isinf(value)) return DecimalMath::Overflow(value < 0);
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  ScannedNumber number;
  ScanNumber(std::string_view(buffer, static_cast<size_t>(result.ptr - buffer)), &number);
  Decimal x;
  if (!DecimalMath::FromScanned(number, kMaxDigits, &x)) return DecimalMath::Overflow(value < 0);
  return x;
}

bool Decimal::Parse(std::string_view text, Decimal* out) {
  ScannedNumber number;
  if (!ScanNumber(text, &number)) return false;
  return DecimalMath::FromScanned(number, -1, out);
}

bool Decimal::ParseRounded(std::string_view text, int places, Decimal* out) {
  ScannedNumber number;
  if (!ScanNumber(text, &number)) return false;
  return DecimalMath::FromScanned(number, std::max(places, 0), out);
}

std::string Decimal::ToString() const {
  if (overflow_) return "";
  if (count_ == 0) return "0";
  std::string text = negative_ ? "-" : "";
  int integer_digits = count_ - places_;
  if (integer_digits == 0) text.push_back('0');
  for (int j = 0; j < integer_digits; ++j) text.push_back(static_cast<char>('0' + digits_[j]));
  if (places_ > 0) {
    text.push_back('.');
    for (int j = integer_digits; j < count_; ++j) text.push_back(static_cast<char>('0' + digits_[j]));
  }
  return text;
}

std::string Decimal::ToString(int places) const {
  places = std::clamp(places, 0, kMaxTextPlaces);
  Decimal r = Rounded(places);
  std::string text = r.ToString();
  if (text.empty() || places == 0) return text;
  int missing = places - r.places_;
  if (r.places_ == 0) text.push_back('.');
  text.append(static_cast<size_t>(missing), '0');
  return text;
}

double Decimal::ToDouble() const {
  if (overflow_) return negative_ ? -HUGE_VAL : HUGE_VAL;
  std::string text = ToString();
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

bool Decimal::ToInt64(int64_t* out) const {
  if (overflow_) return false;
  int integer_digits = IntegerDigits();
  if (integer_digits > 19) return false;
  uint64_t magnitude = 0;
  for (int j = 0; j < integer_digits; ++j) magnitude = magnitude * 10 + digits_[j];
  constexpr uint64_t kMaxPositive = static_cast<uint64_t>(INT64_MAX);
  if (magnitude > kMaxPositive + (IsNegative() ? 1 : 0)) return false;
  *out = IsNegative() ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

bool Decimal::IsZero() const { return !overflow_ && count_ == 0; }
bool Decimal::IsNegative() const { return negative_ && (overflow_ || count_ != 0); }
int Decimal::Places() const { return places_; }
int Decimal::IntegerDigits() const { return count_ - places_; }

Decimal Decimal::Negated() const {
  Decimal x = *this;
  if (overflow_ || count_ != 0) x.negative_ = !negative_;
  return x;
}

Decimal Decimal::Rounded(int places) const { return DecimalMath::Round(*this, places, false); }
Decimal Decimal::Truncated(int places) const { return DecimalMath::Round(*this, places, true); }

Decimal operator+(const Decimal& a, const Decimal& b) {
  return DecimalMath::Sum(a, a.negative_, b, b.negative_);
}

Decimal operator-(const Decimal& a, const Decimal& b) {
  return DecimalMath::Sum(a, a.negative_, b, !b.negative_);
}

Decimal operator*(const Decimal& a, const Decimal& b) { return DecimalMath::Product(a, b); }

bool Decimal::Add(const Decimal& a, const Decimal& b, Decimal* out) {
  *out = a + b;
  return !out->overflow_;
}

bool Decimal::Subtract(const Decimal& a, const Decimal& b, Decimal* out) {
  *out = a - b;
  return !out->overflow_;
}

bool Decimal::Multiply(const Decimal& a, const Decimal& b, Decimal* out) {
  *out = a * b;
  return !out->overflow_;
}

bool Decimal::Divide(const Decimal& a, const Decimal& b, int places, Decimal* out) {
  return DecimalMath::Quotient(a, b, places, out);
}

int Decimal::Compare(const Decimal& a, const Decimal& b) {
  bool an = a.IsNegative();
  bool bn = b.IsNegative();
  if (an != bn) return an ? -1 : 1;
  int magnitude;
  if (a.overflow_ || b.overflow_) {
    magnitude = a.overflow_ == b.overflow_ ? 0 : (a.overflow_ ? 1 : -1);
  } else {
    magnitude = DecimalMath::CompareMagnitude(a, b);
  }
  return an ? -magnitude : magnitude;
}

bool Decimal::ReadPacked(const uint8_t* bytes, int size, int places, Decimal* out) {
  return DecimalMath::ReadNibbles(bytes, size, places, true, out);
}

bool Decimal::WritePacked(uint8_t* bytes, int size, int places) const {
  return DecimalMath::WriteNibbles(*this, bytes, size, places, true);
}

bool Decimal::ReadPackedP(const uint8_t* bytes, int size, int places, Decimal* out) {
  return DecimalMath::ReadNibbles(bytes, size, places, false, out);
}

bool Decimal::WritePackedP(uint8_t* bytes, int size, int places) const {
  return DecimalMath::WriteNibbles(*this, bytes, size, places, false);
}

}  // namespace korvex
