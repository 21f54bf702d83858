#include "runtime/eval/value.h"

#include <gtest/gtest.h>

#include <cmath>

#include "runtime/picture/picture.h"

namespace korvex {
namespace {

std::string Plain(std::string_view text) {
  std::string out;
  return NumberToPlainText(text, &out) ? out : "not a number";
}

TEST(NumberText, PlainTextShiftsTheExponentAndTrims) {
  EXPECT_EQ(Plain(" -12.50 "), "-12.5");
  EXPECT_EQ(Plain("1.5e3"), "1500");
  EXPECT_EQ(Plain("1.5E-3"), "0.0015");
  EXPECT_EQ(Plain("-0.000"), "0");
  EXPECT_EQ(Plain("007"), "7");
  EXPECT_EQ(Plain(".5"), "0.5");
  EXPECT_EQ(Plain("5."), "5");
  EXPECT_EQ(Plain("+3"), "3");
  for (const char* bad : {"", " ", "-", ".", "1e", "1e+", "1.2.3", "12x", "e5", "1 2"}) {
    EXPECT_EQ(Plain(bad), "not a number") << bad;
  }
}

TEST(NumberText, RealsPrintAsTheShortestTextThatReadsBack) {
  EXPECT_EQ(RealToText(0.1), "0.1");
  EXPECT_EQ(RealToText(-2.5), "-2.5");
  EXPECT_EQ(RealToText(1e21), "1000000000000000000000");
  EXPECT_EQ(RealToText(1.5e-7), "0.00000015");
  EXPECT_EQ(RealToText(0.0), "0");
  EXPECT_EQ(RealToText(-0.0), "0");
  EXPECT_EQ(RealToText(std::nan("")), "");
  EXPECT_EQ(RealToText(INFINITY), "");
  for (double v : {1.0 / 3, 2.0 / 3, 1e-300, 123456789.123456789, -9.87654321e200}) {
    EXPECT_EQ(std::strtod(RealToText(v).c_str(), nullptr), v) << v;
  }
}

TEST(Value, NumbersReadFromTextKeepTheirExactness) {
  Value v;
  ASSERT_TRUE(ParseNumberValue("42", &v));
  EXPECT_EQ(v.kind(), Value::Kind::kInteger);
  ASSERT_TRUE(ParseNumberValue("4.20", &v));
  EXPECT_EQ(v.kind(), Value::Kind::kDecimal);
  EXPECT_EQ(v.ToText(), "4.2");
  ASSERT_TRUE(ParseNumberValue("2.0", &v));
  EXPECT_EQ(v.kind(), Value::Kind::kInteger);  // whole decimals become integers
  ASSERT_TRUE(ParseNumberValue("99999999999999999999", &v));
  EXPECT_EQ(v.kind(), Value::Kind::kDecimal);
  ASSERT_TRUE(ParseNumberValue(std::string(80, '9'), &v));
  EXPECT_EQ(v.kind(), Value::Kind::kReal);  // more digits than exact decimals hold
  EXPECT_FALSE(ParseNumberValue("abc", &v));
  EXPECT_EQ(Value::String("abc").ToNumber().ToText(), "0");
}

TEST(Value, ComparisonIsConsistentBothWays) {
  const Value values[] = {Value::Integer(9),    Value::Integer(10),  Value::String("10"),
                          Value::String("9 "),  Value::String("abc"), Value::Real(9.5),
                          Value::String(""),    Value::Integer(-1)};
  for (const Value& a : values) {
    EXPECT_EQ(Compare(a, a), 0) << a.ToText();
    for (const Value& b : values) EXPECT_EQ(Compare(a, b), -Compare(b, a)) << a.ToText() << " " << b.ToText();
  }
  EXPECT_EQ(Compare(Value::String("10"), Value::Integer(9)), 1);
  EXPECT_EQ(Compare(Value::String(""), Value::String("   ")), 0);
}

TEST(Value, TruthOfEachKind) {
  EXPECT_FALSE(Value::Integer(0).IsTrue());
  EXPECT_TRUE(Value::Real(0.5).IsTrue());
  EXPECT_FALSE(Value::String("   ").IsTrue());
  EXPECT_TRUE(Value::String("0").IsTrue());
}

}  // namespace
}  // namespace korvex
