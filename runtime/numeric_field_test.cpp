#include "runtime/numeric_field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace korvex {
namespace {

using Bytes = std::vector<uint8_t>;

// Writes text into a field of the type's size (or `size`), returning the bytes.
bool Write(TypeCode type, const char* text, Bytes* bytes, uint32_t size = 0, uint32_t places = 0) {
  if (size == 0) size = NumericFieldSize(type);
  bytes->assign(size, 0xEE);
  return NumericFieldFromText(type, text, bytes->data(), size, places);
}

std::string Read(TypeCode type, const Bytes& bytes, uint32_t places = 0) {
  std::string text;
  EXPECT_TRUE(NumericFieldToText(type, bytes.data(), static_cast<uint32_t>(bytes.size()), places,
                                 &text));
  return text;
}

// A small deterministic generator for the sweeps.
uint64_t Next(uint64_t* state) {
  *state = *state * 6364136223846793005u + 1442695040888963407u;
  return *state ^ (*state >> 29);
}

TEST(NumericField, IntegersRejectWhatDoesNotFitAndNeverWrap) {
  Bytes b;
  ASSERT_TRUE(Write(kTypeLong, "-1", &b));
  EXPECT_EQ(b, Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
  ASSERT_TRUE(Write(kTypeShort, "-32768", &b));
  EXPECT_EQ(b, Bytes({0x00, 0x80}));
  ASSERT_TRUE(Write(kTypeULong, "4294967295", &b));
  EXPECT_EQ(Read(kTypeULong, b), "4294967295");
  ASSERT_TRUE(Write(kTypeLong, "1.2e1", &b));
  EXPECT_EQ(Read(kTypeLong, b), "12");
  ASSERT_TRUE(Write(kTypeByte, " 255 ", &b));
  EXPECT_EQ(Read(kTypeByte, b), "255");
  const std::pair<TypeCode, const char*> refused[] = {
      {kTypeByte, "256"},        {kTypeByte, "-1"},           {kTypeShort, "32768"},
      {kTypeShort, "-32769"},    {kTypeUShort, "65536"},      {kTypeUShort, "-1"},
      {kTypeLong, "2147483648"}, {kTypeLong, "-2147483649"},  {kTypeULong, "4294967296"},
      {kTypeULong, "-1"},        {kTypeLong, "12.5"},         {kTypeLong, "abc"},
      {kTypeLong, "1e100"},      {kTypeLong, ""},
  };
  for (const auto& [type, text] : refused) {
    EXPECT_FALSE(Write(type, text, &b)) << TypeName(type) << " " << text;
    EXPECT_EQ(b, Bytes(NumericFieldSize(type), 0xEE)) << "field changed";
  }
  // Every value at the ends of each range round-trips.
  const std::pair<TypeCode, const char*> ends[] = {
      {kTypeShort, "32767"}, {kTypeUShort, "65535"}, {kTypeLong, "-2147483648"},
      {kTypeLong, "2147483647"}, {kTypeULong, "0"}};
  for (const auto& [type, text] : ends) {
    ASSERT_TRUE(Write(type, text, &b));
    EXPECT_EQ(Read(type, b), text);
  }
}

TEST(NumericField, IeeeFloatsTakeTheNearestAndPrintTheShortest) {
  Bytes b;
  ASSERT_TRUE(Write(kTypeSReal, "0.1", &b));
  float f;
  std::memcpy(&f, b.data(), 4);
  EXPECT_EQ(f, 0.1f);
  EXPECT_EQ(Read(kTypeSReal, b), "0.1");
  ASSERT_TRUE(Write(kTypeReal, "0.1", &b));
  EXPECT_EQ(Read(kTypeReal, b), "0.1");
  ASSERT_TRUE(Write(kTypeReal, "1e20", &b));
  EXPECT_EQ(Read(kTypeReal, b), "1e+20");
  ASSERT_TRUE(Write(kTypeReal, "4.9e-324", &b));
  EXPECT_EQ(b, Bytes({1, 0, 0, 0, 0, 0, 0, 0}));
  ASSERT_TRUE(Write(kTypeSReal, "3.4028235e38", &b));
  EXPECT_FALSE(Write(kTypeSReal, "3.5e38", &b));
  EXPECT_FALSE(Write(kTypeReal, "1e309", &b));
  EXPECT_FALSE(Write(kTypeReal, "-1e99999999", &b));
  // Too small for the field: zero, and never a negative zero.
  ASSERT_TRUE(Write(kTypeSReal, "-1e-50", &b));
  EXPECT_EQ(b, Bytes(4, 0));
  ASSERT_TRUE(Write(kTypeReal, "-0", &b));
  EXPECT_EQ(b, Bytes(8, 0));
  // No number in the bytes.
  double nan = std::nan("");
  b.assign(8, 0);
  std::memcpy(b.data(), &nan, 8);
  std::string text;
  EXPECT_FALSE(NumericFieldToText(kTypeReal, b.data(), 8, 0, &text));
  EXPECT_EQ(text, "nan");
}

// The older layout's 24-bit mantissa is the one of an IEEE single, so every
// normal single must encode to the same sign, exponent (moved) and mantissa.
TEST(NumericField, OlderFloatLayoutAgreesWithSingles) {
  Bytes b;
  ASSERT_TRUE(Write(kTypeBFloat4, "1", &b));
  EXPECT_EQ(b, Bytes({0x00, 0x00, 0x00, 0x81}));
  ASSERT_TRUE(Write(kTypeBFloat4, "-1", &b));
  EXPECT_EQ(b, Bytes({0x00, 0x00, 0x80, 0x81}));
  ASSERT_TRUE(Write(kTypeBFloat4, "0.5", &b));
  EXPECT_EQ(b, Bytes({0x00, 0x00, 0x00, 0x80}));
  uint64_t state = 1;
  for (int i = 0; i < 10000; ++i) {
    uint32_t bits = static_cast<uint32_t>(Next(&state));
    uint32_t exponent = bits >> 23 & 0xFF;
    if (exponent == 0 || exponent > 253) continue;  // subnormal, beyond the layout, inf/nan
    float value;
    std::memcpy(&value, &bits, 4);
    Bytes single(4);
    std::memcpy(single.data(), &bits, 4);
    std::string text = Read(kTypeSReal, single);
    ASSERT_TRUE(Write(kTypeBFloat4, text.c_str(), &b)) << text;
    uint32_t word = (exponent + 2) << 24 | (bits >> 31) << 23 | (bits & 0x7FFFFF);
    uint32_t got = static_cast<uint32_t>(b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24);
    ASSERT_EQ(got, word) << text;
    // Its own shortest text may differ in form ("125120815000" for "125120815104")
    // but is the same single.
    Bytes again;
    ASSERT_TRUE(Write(kTypeSReal, Read(kTypeBFloat4, b).c_str(), &again));
    EXPECT_EQ(again, single) << text;
  }
}

TEST(NumericField, OlderFloatLayoutEdges) {
  Bytes b;
  ASSERT_TRUE(Write(kTypeBFloat8, "0.1", &b));
  EXPECT_EQ(Read(kTypeBFloat8, b), "0.1");
  ASSERT_TRUE(Write(kTypeBFloat8, "1", &b));
  EXPECT_EQ(b, Bytes({0, 0, 0, 0, 0, 0, 0, 0x81}));
  // 56 bits: one unit in the last place of 1 is 2^-55, beyond a double.
  ASSERT_TRUE(Write(kTypeBFloat8, "1.0000000000000000277555756156289135105907917022705078125", &b));
  EXPECT_EQ(b, Bytes({1, 0, 0, 0, 0, 0, 0, 0x81}));
  std::string text = Read(kTypeBFloat8, b);
  EXPECT_EQ(text, "1.00000000000000003");
  // Ties go to the even mantissa: 1 + 2^-56 to 1, 1 + 3 * 2^-56 to 1 + 2^-54.
  ASSERT_TRUE(Write(kTypeBFloat8, "1.00000000000000001387778780781445675529539585113525390625", &b));
  EXPECT_EQ(b, Bytes({0, 0, 0, 0, 0, 0, 0, 0x81}));
  ASSERT_TRUE(
      Write(kTypeBFloat8, "1.00000000000000004163336342344337026588618755340576171875", &b));
  EXPECT_EQ(b, Bytes({2, 0, 0, 0, 0, 0, 0, 0x81}));
  // The range: 2^-128 is the smallest, 2^127 is too large, exponent 0 is zero.
  ASSERT_TRUE(Write(kTypeBFloat4, "2.938735877055718769921841343055614194546663891930218803771879265696043148636817932128906250e-39", &b));
  EXPECT_EQ(b, Bytes({0, 0, 0, 0x01}));
  ASSERT_TRUE(Write(kTypeBFloat4, "1e-39", &b));
  EXPECT_EQ(b, Bytes(4, 0));
  EXPECT_FALSE(Write(kTypeBFloat4, "1.7014118346046923e38", &b));
  ASSERT_TRUE(Write(kTypeBFloat4, "1.7014117e38", &b));
  EXPECT_EQ(b, Bytes({0xFF, 0xFF, 0x7F, 0xFF}));
  EXPECT_EQ(Read(kTypeBFloat4, Bytes({0x12, 0x34, 0xF6, 0x00})), "0");
}

TEST(NumericField, EveryStoredFloatRoundTripsThroughItsText) {
  uint64_t state = 7;
  const TypeCode types[] = {kTypeSReal, kTypeReal, kTypeBFloat4, kTypeBFloat8};
  for (TypeCode type : types) {
    uint32_t size = NumericFieldSize(type);
    for (int i = 0; i < 5000; ++i) {
      uint64_t word = Next(&state);
      Bytes b(size);
      std::memcpy(b.data(), &word, size);
      std::string text;
      if (!NumericFieldToText(type, b.data(), size, 0, &text)) continue;  // inf, nan
      if (text == "0") continue;  // any zero reads "0" and writes the one zero
      Bytes back;
      ASSERT_TRUE(Write(type, text.c_str(), &back)) << TypeName(type) << " " << text;
      EXPECT_EQ(back, b) << TypeName(type) << " " << text;
    }
  }
}

TEST(NumericField, DatesAndTimesReadAsSerials) {
  Bytes b;
  ASSERT_TRUE(Write(kTypeDate, "4", &b));
  EXPECT_EQ(b, Bytes({0x01, 0x01, 0x09, 0x07}));  // 1 January 1801
  EXPECT_EQ(Read(kTypeDate, b), "4");
  ASSERT_TRUE(Write(kTypeDate, "0", &b));
  EXPECT_EQ(b, Bytes(4, 0));
  EXPECT_FALSE(Write(kTypeDate, "3", &b));
  EXPECT_FALSE(Write(kTypeDate, "2994627", &b));
  EXPECT_EQ(Read(kTypeDate, Bytes({30, 2, 0xE7, 0x07})), "0");  // 30 February 2023
  ASSERT_TRUE(Write(kTypeTime, "8640000", &b));
  EXPECT_EQ(b, Bytes({0x63, 0x3B, 0x3B, 0x17}));
  EXPECT_EQ(Read(kTypeTime, b), "8640000");
  ASSERT_TRUE(Write(kTypeTime, "1", &b));  // midnight is stored as "no time"
  EXPECT_EQ(Read(kTypeTime, b), "0");
  EXPECT_FALSE(Write(kTypeTime, "8640001", &b));
  std::string text;
  Bytes hour24 = {0, 0, 0, 24};
  EXPECT_FALSE(NumericFieldToText(kTypeTime, hour24.data(), 4, 0, &text));
}

TEST(NumericField, PackedDecimalsRoundToTheirPlaces) {
  Bytes b;
  ASSERT_TRUE(Write(kTypeDecimal, "12.345", &b, 3, 2));
  EXPECT_EQ(b, Bytes({0x00, 0x12, 0x35}));
  EXPECT_EQ(Read(kTypeDecimal, b, 2), "12.35");
  ASSERT_TRUE(Write(kTypeDecimal, "0.1", &b, 3, 2));
  EXPECT_EQ(Read(kTypeDecimal, b, 2), "0.10");
  ASSERT_TRUE(Write(kTypePDecimal, "-7", &b, 2, 0));
  EXPECT_EQ(b, Bytes({0x00, 0x7D}));
  EXPECT_EQ(Read(kTypePDecimal, b, 0), "-7");
  EXPECT_FALSE(Write(kTypeDecimal, "1000", &b, 3, 2));
  EXPECT_FALSE(Write(kTypeDecimal, "1", &b, 3, 6));
  EXPECT_FALSE(Write(kTypeDecimal, "1", &b, 32, 0));
  EXPECT_FALSE(Write(kTypeLong, "1", &b, 2, 0));  // wrong size for the type
  EXPECT_FALSE(Write(kTypeString, "1", &b, 4, 0));
}

TEST(NumericField, DecimalValuesKeepTheirDigits) {
  Bytes b(8);
  float tenth = 0.1f;
  std::memcpy(b.data(), &tenth, 4);
  Decimal value;
  ASSERT_TRUE(NumericFieldToDecimal(kTypeSReal, b.data(), 4, 0, &value));
  EXPECT_EQ(value.ToString(), "0.1");
  ASSERT_TRUE(NumericFieldFromDecimal(kTypeReal, value, b.data(), 8, 0));
  double d;
  std::memcpy(&d, b.data(), 8);
  EXPECT_EQ(d, 0.1);
  d = 1e300;
  std::memcpy(b.data(), &d, 8);
  EXPECT_FALSE(NumericFieldToDecimal(kTypeReal, b.data(), 8, 0, &value));
  ASSERT_TRUE(Decimal::Parse("1.5", &value));
  EXPECT_FALSE(NumericFieldFromDecimal(kTypeLong, value, b.data(), 4, 0));
  ASSERT_TRUE(NumericFieldFromDecimal(kTypeBFloat8, value, b.data(), 8, 0));
  ASSERT_TRUE(NumericFieldToDecimal(kTypeBFloat8, b.data(), 8, 0, &value));
  EXPECT_EQ(value.ToString(), "1.5");
}

TEST(NumericField, TypesAndSizes) {
  EXPECT_TRUE(IsNumericFieldType(kTypeDecimal));
  EXPECT_TRUE(IsNumericFieldType(kTypeBFloat8));
  EXPECT_FALSE(IsNumericFieldType(kTypeDum1));
  EXPECT_FALSE(IsNumericFieldType(kTypeString));
  EXPECT_EQ(NumericFieldSize(kTypeByte), 1u);
  EXPECT_EQ(NumericFieldSize(kTypeUShort), 2u);
  EXPECT_EQ(NumericFieldSize(kTypeTime), 4u);
  EXPECT_EQ(NumericFieldSize(kTypeBFloat8), 8u);
  EXPECT_EQ(NumericFieldSize(kTypeDecimal), 0u);
}

}  // namespace
}  // namespace korvex
