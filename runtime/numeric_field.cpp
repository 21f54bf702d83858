#include "runtime/numeric_field.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "runtime/date_time.h"
#include "runtime/number_text.h"

namespace korvex {

namespace {

// ---------------------------------------------------------------------------
// Little-endian access.

uint64_t LoadLE(const uint8_t* bytes, uint32_t size) {
  uint64_t value = 0;
  for (uint32_t i = size; i-- > 0;) value = value << 8 | bytes[i];
  return value;
}

void StoreLE(uint64_t value, uint8_t* bytes, uint32_t size) {
  for (uint32_t i = 0; i < size; ++i, value >>= 8) bytes[i] = static_cast<uint8_t>(value);
}

// ---------------------------------------------------------------------------
// Unsigned big integers, just enough for exact binary <-> decimal conversion
// of the older float layout, whose 56-bit mantissa no native type we can
// count on (long double is only a double on some compilers) holds exactly.

class BigUInt {
 public:
  explicit BigUInt(uint64_t value = 0) {
    for (; value != 0; value >>= 32) limbs_.push_back(static_cast<uint32_t>(value));
  }

  static BigUInt FromDigits(std::string_view digits) {
    BigUInt n;
    size_t i = 0;
    while (i < digits.size()) {
      uint32_t chunk = 0;
      uint32_t scale = 1;
      for (int k = 0; k < 9 && i < digits.size(); ++k, ++i) {
        chunk = chunk * 10 + static_cast<uint32_t>(digits[i] - '0');
        scale *= 10;
      }
      n.MultiplyAdd(scale, chunk);
    }
    return n;
  }

  void MultiplyAdd(uint32_t factor, uint32_t addend) {
    uint64_t carry = addend;
    for (auto& limb : limbs_) {
      uint64_t v = static_cast<uint64_t>(limb) * factor + carry;
      limb = static_cast<uint32_t>(v);
      carry = v >> 32;
    }
    if (carry != 0) limbs_.push_back(static_cast<uint32_t>(carry));
  }

  void MultiplyPow10(int64_t k) {
    for (; k >= 9; k -= 9) MultiplyAdd(1000000000u, 0);
    uint32_t factor = 1;
    for (; k > 0; --k) factor *= 10;
    MultiplyAdd(factor, 0);
  }

  void MultiplyPow5(int64_t k) {
    for (; k >= 13; k -= 13) MultiplyAdd(1220703125u, 0);  // 5^13
    uint32_t factor = 1;
    for (; k > 0; --k) factor *= 5;
    MultiplyAdd(factor, 0);
  }

  void ShiftLeft(int64_t bits) {
    if (limbs_.empty() || bits <= 0) return;
    size_t words = static_cast<size_t>(bits / 32);
    int rest = static_cast<int>(bits % 32);
    if (rest != 0) {
      uint32_t carry = 0;
      for (auto& limb : limbs_) {
        uint32_t next = limb >> (32 - rest);
        limb = limb << rest | carry;
        carry = next;
      }
      if (carry != 0) limbs_.push_back(carry);
    }
    limbs_.insert(limbs_.begin(), words, 0);
  }

  void ShiftRightOne() {
    for (size_t i = 0; i < limbs_.size(); ++i) {
      uint32_t next = i + 1 < limbs_.size() ? limbs_[i + 1] : 0;
      limbs_[i] = limbs_[i] >> 1 | next << 31;
    }
    if (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
  }

  int64_t BitLength() const {
    if (limbs_.empty()) return 0;
    int64_t bits = static_cast<int64_t>(limbs_.size() - 1) * 32;
    for (uint32_t top = limbs_.back(); top != 0; top >>= 1) ++bits;
    return bits;
  }

  static int Compare(const BigUInt& a, const BigUInt& b) {
    if (a.limbs_.size() != b.limbs_.size()) return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
    for (size_t i = a.limbs_.size(); i-- > 0;) {
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    }
    return 0;
  }

  // REQUIRES *this >= other.
  void Subtract(const BigUInt& other) {
    int64_t borrow = 0;
    for (size_t i = 0; i < limbs_.size(); ++i) {
      int64_t v = static_cast<int64_t>(limbs_[i]) - borrow -
                  (i < other.limbs_.size() ? static_cast<int64_t>(other.limbs_[i]) : 0);
      borrow = v < 0;
      limbs_[i] = static_cast<uint32_t>(v < 0 ? v + (int64_t{1} << 32) : v);
    }
    while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
  }

  std::string ToDecimal() const {
    if (limbs_.empty()) return "0";
    std::vector<uint32_t> rest = limbs_;
    std::vector<uint32_t> chunks;  // base 10^9, least significant first
    while (!rest.empty()) {
      uint64_t remainder = 0;
      for (size_t i = rest.size(); i-- > 0;) {
        uint64_t v = remainder << 32 | rest[i];
        rest[i] = static_cast<uint32_t>(v / 1000000000u);
        remainder = v % 1000000000u;
      }
      chunks.push_back(static_cast<uint32_t>(remainder));
      while (!rest.empty() && rest.back() == 0) rest.pop_back();
    }
    std::string text = std::to_string(chunks.back());
    char buffer[16];
    for (size_t i = chunks.size() - 1; i-- > 0;) {
      std::snprintf(buffer, sizeof buffer, "%09u", static_cast<unsigned>(chunks[i]));
      text += buffer;
    }
    return text;
  }

 private:
  std::vector<uint32_t> limbs_;  // least significant first, no high zero limbs
};

// ---------------------------------------------------------------------------
// The older binary-float layout (see the header), `precision` = 24 or 56 bits
// including the hidden one.

constexpr size_t kMaxExactDigits = 800;  // more digits only ever matter as "non-zero"

struct BFloatParts {
  bool negative = false;
  int exponent = 0;    // the stored exponent byte, 0 for zero
  uint64_t mantissa = 0;  // with the hidden bit, precision bits long
};

uint64_t BFloatWord(const BFloatParts& parts, int precision) {
  if (parts.exponent == 0) return 0;
  uint64_t hidden = uint64_t{1} << (precision - 1);
  return static_cast<uint64_t>(parts.exponent) << precision |
         static_cast<uint64_t>(parts.negative) << (precision - 1) | (parts.mantissa - hidden);
}

BFloatParts BFloatSplit(uint64_t word, int precision) {
  BFloatParts parts;
  parts.exponent = static_cast<int>((word >> precision) & 0xFF);
  if (parts.exponent == 0) return parts;
  uint64_t hidden = uint64_t{1} << (precision - 1);
  parts.negative = (word >> (precision - 1)) & 1;
  parts.mantissa = (word & (hidden - 1)) | hidden;
  return parts;
}

// Nearest value, ties to even; false when the magnitude is 2^127 or more.
bool EncodeBFloat(const ScannedNumber& number, int precision, uint64_t* word) {
  *word = 0;
  if (number.digits.empty()) return true;
  std::string_view digits = number.digits;
  int64_t exponent = number.exponent;
  std::string capped;
  if (digits.size() > kMaxExactDigits) {
    // The cut digits end in a non-zero one: a trailing 1 keeps the value
    // strictly between the same two neighbours, which is all rounding needs.
    capped.assign(digits.substr(0, kMaxExactDigits));
    capped.push_back('1');
    exponent += static_cast<int64_t>(digits.size()) - static_cast<int64_t>(capped.size());
    digits = capped;
  }
  int64_t order = static_cast<int64_t>(digits.size()) + exponent;  // value < 10^order
  // Quick answers far outside the range keep huge exponents away from the arithmetic.
  if (order - 1 >= 39) return false;  // >= 1e39 > 2^127
  if (order < -40) return true;       // < 1e-40 < 2^-128: zero
  BigUInt num = BigUInt::FromDigits(digits);
  BigUInt den(1);
  if (exponent >= 0) {
    num.MultiplyPow10(exponent);
  } else {
    den.MultiplyPow10(-exponent);
  }
  // Scale so that num / den lies in [2^(precision-1), 2^precision): value = q * 2^k.
  int64_t k = num.BitLength() - den.BitLength() - precision;
  if (k > 0) {
    den.ShiftLeft(k);
  } else {
    num.ShiftLeft(-k);
  }
  BigUInt top = den;
  top.ShiftLeft(precision);
  if (BigUInt::Compare(num, top) >= 0) {
    den.ShiftLeft(1);
    ++k;
  }
  uint64_t q = 0;
  BigUInt step = den;
  step.ShiftLeft(precision - 1);
  for (int bit = precision - 1; bit >= 0; --bit) {
    if (BigUInt::Compare(num, step) >= 0) {
      num.Subtract(step);
      q |= uint64_t{1} << bit;
    }
    step.ShiftRightOne();
  }
  num.ShiftLeft(1);  // twice the remainder
  int half = BigUInt::Compare(num, den);
  if (half > 0 || (half == 0 && (q & 1) != 0)) {
    ++q;
    if (q == uint64_t{1} << precision) {
      q >>= 1;
      ++k;
    }
  }
  int64_t stored_exponent = k + precision + 128;
  if (stored_exponent > 255) return false;
  if (stored_exponent < 1) return true;  // below the smallest magnitude: zero
  BFloatParts parts;
  parts.negative = number.negative;
  parts.exponent = static_cast<int>(stored_exponent);
  parts.mantissa = q;
  *word = BFloatWord(parts, precision);
  return true;
}

// mantissa * 2^k exactly, as digits * 10^exponent (positive).
ScannedNumber ExactBinary(uint64_t mantissa, int64_t k) {
  ScannedNumber number;
  BigUInt n(mantissa);
  if (k >= 0) {
    n.ShiftLeft(k);
  } else {
    n.MultiplyPow5(-k);  // mantissa * 2^k = mantissa * 5^-k * 10^k
    number.exponent = k;
  }
  number.digits = n.ToDecimal();
  size_t last = number.digits.find_last_not_of('0');
  if (last == std::string::npos) return ScannedNumber{};
  number.exponent += static_cast<int64_t>(number.digits.size() - last - 1);
  number.digits.resize(last + 1);
  return number;
}

// Orders two non-negative numbers of the ScannedNumber form.
int CompareScanned(const ScannedNumber& a, const ScannedNumber& b) {
  if (a.digits.empty() || b.digits.empty()) {
    return a.digits.empty() == b.digits.empty() ? 0 : (a.digits.empty() ? -1 : 1);
  }
  int64_t order_a = static_cast<int64_t>(a.digits.size()) + a.exponent;
  int64_t order_b = static_cast<int64_t>(b.digits.size()) + b.exponent;
  if (order_a != order_b) return order_a < order_b ? -1 : 1;
  size_t n = std::max(a.digits.size(), b.digits.size());
  for (size_t i = 0; i < n; ++i) {
    char da = i < a.digits.size() ? a.digits[i] : '0';
    char db = i < b.digits.size() ? b.digits[i] : '0';
    if (da != db) return da < db ? -1 : 1;
  }
  return 0;
}

// The first `count` digits of `number`, plus one unit in the last when `up`.
ScannedNumber Prefix(const ScannedNumber& number, size_t count, bool up) {
  ScannedNumber result;
  result.negative = number.negative;
  result.digits = number.digits.substr(0, count);
  result.exponent = number.exponent + static_cast<int64_t>(number.digits.size() - count);
  if (up) {
    size_t i = count;
    while (i > 0 && result.digits[i - 1] == '9') result.digits[--i] = '0';
    if (i == 0) {
      result.digits.insert(result.digits.begin(), '1');
    } else {
      ++result.digits[i - 1];
    }
  }
  size_t last = result.digits.find_last_not_of('0');
  result.exponent += static_cast<int64_t>(result.digits.size() - last - 1);
  result.digits.resize(last + 1);
  return result;
}

// The shortest digits that encode back to the same word: the fewest digits that
// fall between the halfway points to the neighbours (a halfway point itself
// counts when ties go to this mantissa, i.e. it is even), the nearer of two.
ScannedNumber ShortestBFloat(uint64_t word, int precision) {
  BFloatParts parts = BFloatSplit(word, precision);
  if (parts.exponent == 0) return ScannedNumber{};
  int64_t k = parts.exponent - 128 - precision;  // value = mantissa * 2^k
  uint64_t q = parts.mantissa;
  ScannedNumber exact = ExactBinary(q, k);
  exact.negative = parts.negative;
  ScannedNumber high = ExactBinary(2 * q + 1, k - 1);
  ScannedNumber low;
  bool lowest_mantissa = q == uint64_t{1} << (precision - 1);
  bool low_inclusive = q % 2 == 0;
  if (lowest_mantissa && parts.exponent == 1) {
    low = exact;  // anything smaller is written as zero
    low_inclusive = true;
  } else if (lowest_mantissa) {
    low = ExactBinary(4 * q - 1, k - 2);  // the neighbour below is half as far
  } else {
    low = ExactBinary(2 * q - 1, k - 1);
  }
  bool high_inclusive = q % 2 == 0;
  auto inside = [&](const ScannedNumber& c) {
    int lo = CompareScanned(c, low);
    int hi = CompareScanned(c, high);
    return (lo > 0 || (lo == 0 && low_inclusive)) && (hi < 0 || (hi == 0 && high_inclusive));
  };
  for (size_t count = 1; count < exact.digits.size(); ++count) {
    ScannedNumber down = Prefix(exact, count, false);
    ScannedNumber up = Prefix(exact, count, true);
    bool down_in = inside(down);
    bool up_in = inside(up);
    if (down_in && up_in) return exact.digits[count] >= '5' ? up : down;
    if (down_in) return down;
    if (up_in) return up;
  }
  return exact;
}

int BFloatPrecision(TypeCode type) { return type == kTypeBFloat4 ? 24 : 56; }

// ---------------------------------------------------------------------------
// IEEE fields.

template <typename Float>
bool ParseIeee(const ScannedNumber& number, Float* out) {
  *out = 0;
  if (number.digits.empty()) return true;
  int64_t order = static_cast<int64_t>(number.digits.size()) + number.exponent;
  constexpr int64_t kMaxOrder = sizeof(Float) == 4 ? 39 : 309;   // 10^(order-1) overflows
  constexpr int64_t kMinOrder = sizeof(Float) == 4 ? -50 : -330;  // rounds to zero
  if (order - 1 >= kMaxOrder) return false;
  if (order < kMinOrder) return true;
  std::string text = number.negative ? "-" : "";
  text += number.digits;
  text += 'e';
  text += std::to_string(number.exponent);
  Float value = 0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) return order <= 0;  // underflow gives zero
  if (result.ec != std::errc() || std::isinf(value)) return false;
  *out = value == 0 ? Float(0) : value;  // no negative zero
  return true;
}

template <typename Float>
bool IeeeText(Float value, std::string* text) {
  // One assign from a local buffer for every case: assigning literals here trips
  // a false -Wrestrict of g++ 12 at -O3.
  char buffer[64];
  char* end = buffer;
  bool finite = std::isfinite(value);
  if (std::isnan(value)) {
    end = std::copy_n("nan", 3, buffer);
  } else if (!finite) {
    if (value < 0) *end++ = '-';
    end = std::copy_n("inf", 3, end);
  } else if (value == 0) {
    *end++ = '0';
  } else {
    end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  }
  text->assign(buffer, end);
  return finite;
}

// ---------------------------------------------------------------------------

bool IsIntegerType(TypeCode type) {
  switch (type) {
    case kTypeByte:
    case kTypeShort:
    case kTypeUShort:
    case kTypeLong:
    case kTypeULong:
    case kTypeDate:
    case kTypeTime:
      return true;
    default:
      return false;
  }
}

bool SizeValid(TypeCode type, uint32_t size, uint32_t places) {
  if (type == kTypeDecimal || type == kTypePDecimal) {
    return size >= 1 && size <= 31 && places <= 2 * size - 1;
  }
  uint32_t expected = NumericFieldSize(type);
  return expected != 0 && size == expected;
}

// The integer a field holds (serial for DATE and TIME).
bool ReadInteger(TypeCode type, const uint8_t* bytes, int64_t* value) {
  switch (type) {
    case kTypeByte:
      *value = bytes[0];
      return true;
    case kTypeShort:
      *value = static_cast<int16_t>(LoadLE(bytes, 2));
      return true;
    case kTypeUShort:
      *value = static_cast<uint16_t>(LoadLE(bytes, 2));
      return true;
    case kTypeLong:
      *value = static_cast<int32_t>(LoadLE(bytes, 4));
      return true;
    case kTypeULong:
      *value = static_cast<uint32_t>(LoadLE(bytes, 4));
      return true;
    case kTypeDate:
      *value = PackedToDateSerial(static_cast<uint32_t>(LoadLE(bytes, 4)));
      return true;
    case kTypeTime:
      *value = PackedToTimeSerial(static_cast<uint32_t>(LoadLE(bytes, 4)));
      return *value >= 0;
    default:
      return false;
  }
}

bool WriteInteger(TypeCode type, int64_t value, uint8_t* bytes) {
  switch (type) {
    case kTypeByte:
      if (value < 0 || value > UINT8_MAX) return false;
      bytes[0] = static_cast<uint8_t>(value);
      return true;
    case kTypeShort:
      if (value < INT16_MIN || value > INT16_MAX) return false;
      StoreLE(static_cast<uint64_t>(value), bytes, 2);
      return true;
    case kTypeUShort:
      if (value < 0 || value > UINT16_MAX) return false;
      StoreLE(static_cast<uint64_t>(value), bytes, 2);
      return true;
    case kTypeLong:
      if (value < INT32_MIN || value > INT32_MAX) return false;
      StoreLE(static_cast<uint64_t>(value), bytes, 4);
      return true;
    case kTypeULong:
      if (value < 0 || value > UINT32_MAX) return false;
      StoreLE(static_cast<uint64_t>(value), bytes, 4);
      return true;
    case kTypeDate: {
      if (value != 0 && (value < kFirstDateSerial || value > kLastDateSerial)) return false;
      StoreLE(DateSerialToPacked(static_cast<int32_t>(value)), bytes, 4);
      return true;
    }
    case kTypeTime: {
      if (value < 0 || value > kLastTimeSerial) return false;
      uint32_t packed = 0;
      TimeSerialToPacked(static_cast<int32_t>(value), &packed);  // 0 gives 0
      StoreLE(packed, bytes, 4);
      return true;
    }
    default:
      return false;
  }
}

bool IntegerFromDecimal(TypeCode type, const Decimal& value, uint8_t* bytes) {
  int64_t integer = 0;
  if (value.Overflowed() || value.Places() != 0 || !value.ToInt64(&integer)) return false;
  return WriteInteger(type, integer, bytes);
}

bool FloatFromScanned(TypeCode type, const ScannedNumber& number, uint8_t* bytes) {
  switch (type) {
    case kTypeSReal: {
      float value;
      if (!ParseIeee(number, &value)) return false;
      uint32_t bits;
      std::memcpy(&bits, &value, sizeof bits);
      StoreLE(bits, bytes, 4);
      return true;
    }
    case kTypeReal: {
      double value;
      if (!ParseIeee(number, &value)) return false;
      uint64_t bits;
      std::memcpy(&bits, &value, sizeof bits);
      StoreLE(bits, bytes, 8);
      return true;
    }
    case kTypeBFloat4:
    case kTypeBFloat8: {
      uint64_t word;
      if (!EncodeBFloat(number, BFloatPrecision(type), &word)) return false;
      StoreLE(word, bytes, NumericFieldSize(type));
      return true;
    }
    default:
      return false;
  }
}

bool IsFloatType(TypeCode type) {
  return type == kTypeSReal || type == kTypeReal || type == kTypeBFloat4 || type == kTypeBFloat8;
}

// Shortest text of a floating field; false when it holds no number.
bool FloatText(TypeCode type, const uint8_t* bytes, std::string* text) {
  switch (type) {
    case kTypeSReal: {
      uint32_t bits = static_cast<uint32_t>(LoadLE(bytes, 4));
      float value;
      std::memcpy(&value, &bits, sizeof value);
      return IeeeText(value, text);
    }
    case kTypeReal: {
      uint64_t bits = LoadLE(bytes, 8);
      double value;
      std::memcpy(&value, &bits, sizeof value);
      return IeeeText(value, text);
    }
    case kTypeBFloat4:
    case kTypeBFloat8: {
      ScannedNumber n = ShortestBFloat(LoadLE(bytes, NumericFieldSize(type)), BFloatPrecision(type));
      *text = ShortNumberText(n.negative, n.digits, n.exponent);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

bool IsNumericFieldType(TypeCode type) {
  return IsIntegerType(type) || IsFloatType(type) || type == kTypeDecimal ||
         type == kTypePDecimal;
}

uint32_t NumericFieldSize(TypeCode type) {
  switch (type) {
    case kTypeByte:
      return 1;
    case kTypeShort:
    case kTypeUShort:
      return 2;
    case kTypeDate:
    case kTypeTime:
    case kTypeLong:
    case kTypeULong:
    case kTypeSReal:
    case kTypeBFloat4:
      return 4;
    case kTypeReal:
    case kTypeBFloat8:
      return 8;
    default:
      return 0;
  }
}

bool NumericFieldToText(TypeCode type, const uint8_t* bytes, uint32_t size, uint32_t places,
                        std::string* text) {
  if (!SizeValid(type, size, places)) return false;
  if (IsIntegerType(type)) {
    int64_t value = 0;
    if (!ReadInteger(type, bytes, &value)) return false;
    *text = std::to_string(value);
    return true;
  }
  if (IsFloatType(type)) return FloatText(type, bytes, text);
  Decimal value;
  if (!NumericFieldToDecimal(type, bytes, size, places, &value)) return false;
  *text = value.ToString(static_cast<int>(places));
  return true;
}

bool NumericFieldFromText(TypeCode type, std::string_view text, uint8_t* bytes, uint32_t size,
                          uint32_t places) {
  if (!SizeValid(type, size, places)) return false;
  if (IsFloatType(type)) {
    ScannedNumber number;
    return ScanNumber(text, &number) && FloatFromScanned(type, number, bytes);
  }
  Decimal value;
  if (type == kTypeDecimal || type == kTypePDecimal) {
    // One rounding, from the full text, straight to the field's places.
    if (!Decimal::ParseRounded(text, static_cast<int>(places), &value)) return false;
  } else if (!Decimal::Parse(text, &value)) {
    return false;
  }
  return NumericFieldFromDecimal(type, value, bytes, size, places);
}

bool NumericFieldToDecimal(TypeCode type, const uint8_t* bytes, uint32_t size, uint32_t places,
                           Decimal* value) {
  if (!SizeValid(type, size, places)) return false;
  int p = static_cast<int>(places);
  int s = static_cast<int>(size);
  if (type == kTypeDecimal) return Decimal::ReadPacked(bytes, s, p, value);
  if (type == kTypePDecimal) return Decimal::ReadPackedP(bytes, s, p, value);
  if (IsIntegerType(type)) {
    int64_t integer = 0;
    if (!ReadInteger(type, bytes, &integer)) return false;
    *value = Decimal::FromInt(integer);
    return true;
  }
  std::string text;
  if (!FloatText(type, bytes, &text)) return false;
  return Decimal::ParseRounded(text, Decimal::kMaxDigits, value);
}

bool NumericFieldFromDecimal(TypeCode type, const Decimal& value, uint8_t* bytes, uint32_t size,
                             uint32_t places) {
  if (!SizeValid(type, size, places) || value.Overflowed()) return false;
  int p = static_cast<int>(places);
  int s = static_cast<int>(size);
  if (type == kTypeDecimal) return value.WritePacked(bytes, s, p);
  if (type == kTypePDecimal) return value.WritePackedP(bytes, s, p);
  if (IsIntegerType(type)) return IntegerFromDecimal(type, value, bytes);
  ScannedNumber number;
  ScanNumber(value.ToString(), &number);
  return FloatFromScanned(type, number, bytes);
}

}  // namespace korvex
