#include "runtime/decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace korvex {
namespace {

Decimal D(const char* text) {
  Decimal value;
  EXPECT_TRUE(Decimal::Parse(text, &value)) << text;
  return value;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
  return std::vector<uint8_t>(list.begin(), list.end());
}

TEST(Decimal, ParsesAndPrintsCanonicalText) {
  const std::pair<const char*, const char*> cases[] = {
      {"0", "0"},          {" 12.50 ", "12.5"}, {"-0.0", "0"},       {"+.5", "0.5"},
      {"5.", "5"},         {"007", "7"},        {"1e3", "1000"},     {"1.5E-3", "0.0015"},
      {"-2.5e+1", "-25"},  {"\t-1\t", "-1"},    {"0e999999999999", "0"},
  };
  for (const auto& [text, canonical] : cases) EXPECT_EQ(D(text).ToString(), canonical) << text;
  EXPECT_EQ(D("1e61").ToString(), std::string("1").append(61, '0'));
  EXPECT_EQ(D("1e-62").ToString(), std::string("0.").append(61, '0').append("1"));
  EXPECT_EQ(D(std::string(62, '9').c_str()).IntegerDigits(), 62);
  Decimal value;
  for (const char* bad : {"", " ", ".", "-", "+", "1e", "1e+", "1.2.3", "12a", "- 5", "1 2", "e5",
                          "0x10", "1,5", "--1", "1e-63", "1e62"}) {
    EXPECT_FALSE(Decimal::Parse(bad, &value)) << bad;
  }
  EXPECT_FALSE(Decimal::Parse(std::string(63, '9'), &value));
}

TEST(Decimal, ParseRoundedRoundsOnceFromTheFullText) {
  Decimal value;
  ASSERT_TRUE(Decimal::ParseRounded("1.005", 2, &value));
  EXPECT_EQ(value.ToString(), "1.01");
  // Rounding to 62 digits first would make this 0.5 and then 1.
  std::string text = std::string("0.4").append(61, '9').append("5");
  ASSERT_TRUE(Decimal::ParseRounded(text, 0, &value));
  EXPECT_EQ(value.ToString(), "0");
  ASSERT_TRUE(Decimal::ParseRounded("1e-70", 80, &value));
  EXPECT_TRUE(value.IsZero());
  EXPECT_FALSE(Decimal::ParseRounded("1e62", 0, &value));
}

TEST(Decimal, AdditionAndSubtractionAreExact) {
  EXPECT_EQ(Decimal::Compare(D("0.1") + D("0.2"), D("0.3")), 0);
  EXPECT_EQ((D("0.1") + D("0.2")).ToString(), "0.3");
  EXPECT_EQ((D("1.5") - D("2.25")).ToString(), "-0.75");
  EXPECT_EQ((D("-1.5") - D("-1.5")).ToString(), "0");
  EXPECT_FALSE((D("-1.5") - D("-1.5")).IsNegative());
  EXPECT_EQ((D("999.99") + D("0.01")).ToString(), "1000");
  // A fractional digit beyond the 62 that fit is rounded half away from zero.
  std::string big = std::string("1").append(61, '0');
  EXPECT_EQ((D(big.c_str()) + D("0.5")).ToString(), std::string("1").append(60, '0').append("1"));
  EXPECT_EQ((D(std::string("-").append(big).c_str()) - D("0.5")).ToString(), std::string("-1").append(60, '0').append("1"));
  Decimal out;
  EXPECT_TRUE(Decimal::Add(D("1"), D("2"), &out));
  EXPECT_FALSE(Decimal::Add(D(std::string(62, '9').c_str()), D("1"), &out));
  EXPECT_TRUE(out.Overflowed());
  EXPECT_EQ(out.ToString(), "");
  EXPECT_TRUE((out + D("5")).Overflowed());
  EXPECT_GT(Decimal::Compare(out, D(std::string(62, '9').c_str())), 0);
}

TEST(Decimal, MultiplicationAndDivision) {
  EXPECT_EQ((D("0.1") * D("0.1")).ToString(), "0.01");
  EXPECT_EQ((D("-1.25") * D("4")).ToString(), "-5");
  // Two 31-digit values multiply exactly.
  std::string nines(31, '9');
  EXPECT_EQ((D(nines.c_str()) * D(nines.c_str())).ToString(),
            std::string(30, '9') + "8" + std::string(30, '0') + "1");
  Decimal out;
  EXPECT_FALSE(Decimal::Multiply(D(std::string("1").append(40, '0').c_str()), D("1e30"), &out));

  const struct {
    const char *a, *b;
    int places;
    const char* quotient;
  } cases[] = {
      {"1", "3", 5, "0.33333"},  {"2", "3", 5, "0.66667"},  {"-2", "3", 5, "-0.66667"},
      {"1", "8", 2, "0.13"},     {"-1", "8", 2, "-0.13"},   {"10", "4", 0, "3"},
      {"1", "4", 10, "0.25"},    {"0.5", "0.25", 0, "2"},   {"1", "-3", -2, "0"},
      {"123.456", "0.001", 0, "123456"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(Decimal::Divide(D(c.a), D(c.b), c.places, &out)) << c.a << "/" << c.b;
    EXPECT_EQ(out.ToString(), c.quotient) << c.a << "/" << c.b;
  }
  // More places than fit: as many as there is room for.
  ASSERT_TRUE(Decimal::Divide(D("1"), D("3"), 100, &out));
  EXPECT_EQ(out.ToString(), std::string("0.").append(62, '3'));
  EXPECT_FALSE(Decimal::Divide(D("1"), D("0"), 2, &out));
  EXPECT_FALSE(Decimal::Divide(D(std::string(62, '9').c_str()), D("0.1"), 0, &out));
}

TEST(Decimal, RoundingTruncationAndFixedPlaces) {
  EXPECT_EQ(D("2.345").Rounded(2).ToString(), "2.35");
  EXPECT_EQ(D("-2.345").Rounded(2).ToString(), "-2.35");
  EXPECT_EQ(D("-2.345").Truncated(2).ToString(), "-2.34");
  EXPECT_EQ(D("9.96").Rounded(1).ToString(), "10");
  EXPECT_EQ(D("2.5").Rounded(-1).ToString(), "3");
  EXPECT_EQ(D("1.005").ToString(2), "1.01");
  EXPECT_EQ(D("2").ToString(3), "2.000");
  EXPECT_EQ(D("-0.004").ToString(2), "0.00");
  EXPECT_EQ(D("0.5").ToString(0), "1");
  EXPECT_EQ(D("-0.5").ToString(0), "-1");
  EXPECT_EQ(D("0.05").ToString(1), "0.1");
}

TEST(Decimal, CompareOrdersValues) {
  const char* ascending[] = {"-10", "-1", "-0.5", "0", "0.05", "0.5", "9.99", "10"};
  for (size_t i = 0; i < std::size(ascending); ++i) {
    for (size_t j = 0; j < std::size(ascending); ++j) {
      int expected = i < j ? -1 : i > j ? 1 : 0;
      EXPECT_EQ(Decimal::Compare(D(ascending[i]), D(ascending[j])), expected)
          << ascending[i] << " " << ascending[j];
    }
  }
  EXPECT_EQ(Decimal::Compare(D("1.50"), D("1.5")), 0);
  EXPECT_EQ(Decimal::Compare(D("-0"), D("0")), 0);
}

TEST(Decimal, DoublesAndIntegers) {
  EXPECT_EQ(Decimal::FromDouble(0.1).ToString(), "0.1");
  EXPECT_EQ(D("0.1").ToDouble(), 0.1);
  EXPECT_EQ(Decimal::FromDouble(-2.5).ToString(), "-2.5");
  EXPECT_EQ(Decimal::FromDouble(123456789.125).ToString(), "123456789.125");
  EXPECT_TRUE(Decimal::FromDouble(1e300).Overflowed());
  EXPECT_TRUE(Decimal::FromDouble(1e-300).IsZero());
  EXPECT_TRUE(Decimal::FromDouble(std::nan("")).IsZero());

  EXPECT_EQ(Decimal::FromInt(INT64_MIN).ToString(), "-9223372036854775808");
  EXPECT_EQ(Decimal::FromUInt(UINT64_MAX).ToString(), "18446744073709551615");
  int64_t n = 0;
  EXPECT_TRUE(D("9223372036854775807").ToInt64(&n));
  EXPECT_EQ(n, INT64_MAX);
  EXPECT_TRUE(D("-9223372036854775808").ToInt64(&n));
  EXPECT_EQ(n, INT64_MIN);
  EXPECT_FALSE(D("9223372036854775808").ToInt64(&n));
  EXPECT_FALSE(D("-9223372036854775809").ToInt64(&n));
  EXPECT_TRUE(D("-12.9").ToInt64(&n));
  EXPECT_EQ(n, -12);
}

TEST(Decimal, PackedDecimalFields) {
  uint8_t b[3];
  ASSERT_TRUE(D("0.1").WritePacked(b, 3, 2));
  EXPECT_EQ(std::vector<uint8_t>(b, b + 3), Bytes({0x00, 0x00, 0x10}));
  ASSERT_TRUE(D("-12.34").WritePacked(b, 3, 2));
  EXPECT_EQ(std::vector<uint8_t>(b, b + 3), Bytes({0xF0, 0x12, 0x34}));
  Decimal value;
  ASSERT_TRUE(Decimal::ReadPacked(b, 3, 2, &value));
  EXPECT_EQ(value.ToString(), "-12.34");
  // Any non-zero sign nibble is negative.
  for (int sign = 1; sign <= 15; ++sign) {
    uint8_t s[2] = {static_cast<uint8_t>(sign << 4 | 1), 0x23};
    ASSERT_TRUE(Decimal::ReadPacked(s, 2, 1, &value));
    EXPECT_EQ(value.ToString(), "-12.3");
  }
  uint8_t bad[2] = {0x01, 0x2A};
  EXPECT_FALSE(Decimal::ReadPacked(bad, 2, 0, &value));
  // Rounding, overflow refused with the field untouched, zero always positive.
  ASSERT_TRUE(D("999.994").WritePacked(b, 3, 2));
  EXPECT_EQ(std::vector<uint8_t>(b, b + 3), Bytes({0x09, 0x99, 0x99}));
  EXPECT_FALSE(D("999.995").WritePacked(b, 3, 2));
  EXPECT_FALSE(D("-1000").WritePacked(b, 3, 2));
  EXPECT_EQ(std::vector<uint8_t>(b, b + 3), Bytes({0x09, 0x99, 0x99}));
  ASSERT_TRUE(D("-0.001").WritePacked(b, 3, 2));
  EXPECT_EQ(std::vector<uint8_t>(b, b + 3), Bytes({0x00, 0x00, 0x00}));
  // Sizes and places the form cannot have.
  EXPECT_FALSE(D("1").WritePacked(b, 0, 0));
  EXPECT_FALSE(D("1").WritePacked(b, 3, 6));
  EXPECT_FALSE(Decimal::ReadPacked(b, 3, 6, &value));
  uint8_t wide[32] = {};
  EXPECT_FALSE(D("1").WritePacked(wide, 32, 0));
}

TEST(Decimal, ThirtyOneDigitValuesRoundTrip) {
  uint8_t b[16];
  for (const char* text : {"9999999999999999999999999999999", "-1234567890123456789012345678901",
                           "0.0000000000000000000000000000001", "-0.1"}) {
    Decimal value = D(text);
    int places = value.Places();
    ASSERT_TRUE(value.WritePacked(b, 16, places)) << text;
    Decimal back;
    ASSERT_TRUE(Decimal::ReadPacked(b, 16, places, &back));
    EXPECT_EQ(back.ToString(), value.ToString());
    ASSERT_TRUE(value.WritePackedP(b, 16, places));
    ASSERT_TRUE(Decimal::ReadPackedP(b, 16, places, &back));
    EXPECT_EQ(back.ToString(), value.ToString());
  }
}

TEST(Decimal, PackedSecondLayout) {
  uint8_t b[3];
  ASSERT_TRUE(D("-12.34").WritePackedP(b, 3, 2));
  EXPECT_EQ(std::vector<uint8_t>(b, b + 3), Bytes({0x01, 0x23, 0x4D}));
  ASSERT_TRUE(D("12.34").WritePackedP(b, 3, 2));
  EXPECT_EQ(std::vector<uint8_t>(b, b + 3), Bytes({0x01, 0x23, 0x4C}));
  ASSERT_TRUE(D("-0.001").WritePackedP(b, 3, 2));
  EXPECT_EQ(b[2], 0x0C);
  Decimal value;
  uint8_t other_sign[2] = {0x12, 0x3F};
  ASSERT_TRUE(Decimal::ReadPackedP(other_sign, 2, 0, &value));
  EXPECT_EQ(value.ToString(), "123");
  uint8_t bad_digit[2] = {0x1B, 0x3D};
  EXPECT_FALSE(Decimal::ReadPackedP(bad_digit, 2, 0, &value));
  EXPECT_FALSE(D("1000").WritePackedP(b, 3, 2));
}

}  // namespace
}  // namespace korvex
