#include "framework/scroll_step.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace korvex::framework {
namespace {

TEST(NumericScrollStep, ConvertsBetweenValuesAndPositions) {
  NumericScrollStep step(kStepLetters);
  EXPECT_TRUE(step.WantsLimits());
  step.SetLimits("10", "50");
  EXPECT_EQ(step.ValueAt(50), "30");
  EXPECT_EQ(step.PositionOf("30"), 50);
  EXPECT_EQ(step.PositionOf("10"), 1);    // a computed 0 is position 1
  EXPECT_EQ(step.PositionOf("50"), 100);
  EXPECT_EQ(step.PositionOf("3"), 1);     // values beyond the limits stay on the scale
  EXPECT_EQ(step.PositionOf("999"), 100);
  EXPECT_EQ(step.ValueAt(100), "50");
  EXPECT_EQ(step.ValueAt(-7), step.ValueAt(1));
  EXPECT_EQ(step.ValueAt(500), "50");
}

TEST(NumericScrollStep, EqualLimitsGiveTheMiddleInBothDirections) {
  for (uint8_t controls : {uint8_t{kStepLetters}, uint8_t{kStepLetters | kStepDescending}}) {
    NumericScrollStep step(controls);
    step.SetLimits("7", "7");
    EXPECT_EQ(step.PositionOf("7"), 50);
    EXPECT_EQ(step.PositionOf("-1000"), 50);
    EXPECT_EQ(step.ValueAt(80), "7");
  }
}

TEST(NumericScrollStep, DescendingKeyIsReversedOnce) {
  NumericScrollStep step(kStepLetters | kStepDescending);
  step.SetLimits("50", "10");  // a descending view starts with its highest value
  EXPECT_EQ(step.low(), 10);
  EXPECT_EQ(step.high(), 50);
  EXPECT_EQ(step.ValueAt(1), "50");
  EXPECT_EQ(step.PositionOf("50"), 1);
  EXPECT_EQ(step.PositionOf("10"), 100);
  for (int p = 1; p <= 100; ++p) EXPECT_LE(step.NumberAt(p + 1), step.NumberAt(p)) << p;
}

TEST(NumericScrollStep, WholeLongRangeDoesNotOverflow) {
  NumericScrollStep step(0);
  step.SetNumericLimits(INT32_MIN, INT32_MAX);
  EXPECT_EQ(step.NumberAt(50), -1);
  EXPECT_EQ(step.NumberAt(100), INT32_MAX);
  EXPECT_EQ(step.PositionOfNumber(0), 50);
  EXPECT_EQ(step.PositionOfNumber(INT64_MAX), 100);
  EXPECT_EQ(step.PositionOfNumber(INT64_MIN), 1);
  step.SetNumericLimits(INT64_MIN, INT64_MAX);  // clamped to the LONG limits
  EXPECT_EQ(step.low(), INT32_MIN);
  EXPECT_EQ(step.high(), INT32_MAX);
}

TEST(NumericScrollStep, ReadsKeyTextsAsLongs) {
  EXPECT_EQ(ReadLongValue(" -12.7 "), -12);
  EXPECT_EQ(ReadLongValue("+5"), 5);
  EXPECT_EQ(ReadLongValue("99999999999999999999"), INT32_MAX);
  EXPECT_EQ(ReadLongValue("-99999999999999999999"), INT32_MIN);
  for (const char* bad : {"", " ", "abc", "12x", ".", "-", "1 2"}) EXPECT_EQ(ReadLongValue(bad), 0) << bad;
}

TEST(AlphaScrollStep, Mode3SpreadsFourCharactersBetweenTheLimits) {
  AlphaScrollStep step(kStepLetters, 3);
  EXPECT_TRUE(step.WantsLimits());
  EXPECT_EQ(step.sort_chars(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  step.SetLimits("ADAMS", "YOUNG");
  EXPECT_EQ(step.root(), "");
  EXPECT_EQ(step.Entry(1), "ADAM");
  EXPECT_EQ(step.Entry(2), "AJJT");
  EXPECT_EQ(step.Entry(50), "MCMR");
  EXPECT_EQ(step.Entry(100), "YIID");
  EXPECT_EQ(step.ValueAt(50), "MCMR");
  EXPECT_EQ(step.PositionOf("ADAMS"), 1);
  EXPECT_EQ(step.PositionOf("mcmr"), 50);  // upper-cased: the step is case-insensitive
  EXPECT_EQ(step.PositionOf("YOUNG"), 100);
}

TEST(AlphaScrollStep, Mode3KeepsTheCommonPrefixAsRoot) {
  AlphaScrollStep step(kStepLetters, 3);
  step.SetLimits("smythe", "smith");  // either order, either case
  EXPECT_EQ(step.root(), "SM");
  EXPECT_EQ(step.Entry(1), "ITHA");
  EXPECT_EQ(step.Entry(100), "YPCG");
  EXPECT_EQ(step.ValueAt(1), "SMITHA");
  EXPECT_EQ(step.PositionOf("SMITH"), 1);
  EXPECT_EQ(step.PositionOf("SMYTHE"), 100);
  EXPECT_EQ(step.PositionOf("SAAB"), 1);     // before the root
  EXPECT_EQ(step.PositionOf("TAYLOR"), 100); // after it

  AlphaScrollStep descending(kStepLetters | kStepDescending, 3);
  descending.SetLimits("SMYTHE", "SMITH");
  EXPECT_EQ(descending.ValueAt(1), "SMYPCG");  // position 1 is the highest value
  EXPECT_EQ(descending.PositionOf("SMYTHE"), 1);
  EXPECT_EQ(descending.PositionOf("SMITH"), 100);
  EXPECT_EQ(descending.PositionOf("TAYLOR"), 1);

  step.Kill();  // back to the table without limits
  EXPECT_EQ(step.root(), "");
  EXPECT_EQ(step.Entry(1), "AAAA");
}

TEST(AlphaScrollStep, Mode2SplitsEachLetterInFour) {
  AlphaScrollStep step(kStepLetters, 2);
  EXPECT_FALSE(step.WantsLimits());
  EXPECT_EQ(step.test_length(), 2u);
  EXPECT_EQ(step.Entry(1), "  ");
  EXPECT_EQ(step.Entry(2), "AF");
  EXPECT_EQ(step.Entry(4), "AT");
  EXPECT_EQ(step.Entry(5), "B ");
  EXPECT_EQ(step.Entry(8), "BT");
  EXPECT_EQ(step.Entry(97), "Y ");
  EXPECT_EQ(step.Entry(100), "YT");
  EXPECT_EQ(step.PositionOf("AARON"), 1);
  EXPECT_EQ(step.PositionOf("B"), 5);  // "B" equals "B " as the runtime compares
  EXPECT_EQ(step.PositionOf("brown"), 7);
  EXPECT_EQ(step.PositionOf("ZEBRA"), 100);
  step.SetLimits("ADAMS", "YOUNG");  // fixed tables ignore limits
  EXPECT_EQ(step.Entry(2), "AF");
}

TEST(AlphaScrollStep, FixedTablesAscend) {
  AlphaScrollStep names(kStepLetters, 1);
  EXPECT_EQ(names.Entry(1), "ALB");
  EXPECT_EQ(names.Entry(10), "BRO");
  EXPECT_EQ(names.Entry(98), "WIM");
  EXPECT_EQ(names.Entry(100), "YOR");
  for (uint8_t mode : {1, 2}) {
    AlphaScrollStep step(kStepLetters, mode);
    for (int i = 1; i < 100; ++i) {
      EXPECT_LT(step.Entry(i), step.Entry(i + 1)) << int{mode} << " entry " << i;
      EXPECT_EQ(step.PositionOf(step.ValueAt(i)), i) << int{mode} << " entry " << i;
    }
  }
}

TEST(AlphaScrollStep, CharacterSetFollowsTheControlsFlags) {
  EXPECT_EQ(AlphaScrollStep(kStepLetters | kStepDigits, 3).sort_chars(), "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  EXPECT_EQ(AlphaScrollStep(kStepLetters | kStepCaseSensitive, 3).sort_chars(),
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  EXPECT_EQ(AlphaScrollStep(kStepPunctuation, 3).sort_chars(), std::string(kStepPunctuationChars));
  // No character class at all would leave no table: letters are taken.
  EXPECT_EQ(AlphaScrollStep(kStepDescending, 3).sort_chars(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ");

  AlphaScrollStep exact(kStepLetters | kStepCaseSensitive, 3);
  exact.SetLimits("Adams", "Young");
  EXPECT_EQ(exact.root(), "");
  EXPECT_EQ(exact.Entry(1), "Adam");
  EXPECT_LT(exact.PositionOf("Adams"), exact.PositionOf("adams"));  // lower case sorts after
}

// Any pair of limits, however odd its characters, gives an ascending table whose
// entries map back to their own positions.
TEST(AlphaScrollStep, RandomLimitsGiveAnAscendingTable) {
  std::mt19937 random(16);
  const std::string alphabet = "ABCMNZabz09 '-\x7f\xc4\xe9";
  for (int round = 0; round < 300; ++round) {
    auto text = [&] {
      std::string s(random() % 9, ' ');
      for (char& c : s) c = alphabet[random() % alphabet.size()];
      return s;
    };
    uint8_t controls = static_cast<uint8_t>(random() % 32);
    AlphaScrollStep step(controls, 3);
    std::string first = text(), last = text();
    step.SetLimits(first, last);
    EXPECT_LE(step.root().size(), AlphaScrollStep::kMaxRoot);
    for (int i = 1; i < 100; ++i) ASSERT_LE(step.Entry(i), step.Entry(i + 1)) << first << "|" << last;
    if (step.Entry(1) != step.Entry(2)) {
      for (int p = 1; p <= 100; ++p) ASSERT_EQ(step.PositionOf(step.ValueAt(p)), p) << first << "|" << last;
    }
    int position = step.PositionOf(text());
    EXPECT_GE(position, 1);
    EXPECT_LE(position, 100);
  }
}

}  // namespace
}  // namespace korvex::framework
