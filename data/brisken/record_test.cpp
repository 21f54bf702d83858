#include "data/brisken/record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace korvex::brisken {
namespace {

Record R(std::string bytes, uint16_t header_len) { return Record{std::move(bytes), header_len}; }

TEST(RecordTest, HeadersCompareAsUnsignedBytesShorterFirst) {
  EXPECT_LT(CompareHeaders("ab", "abc"), 0);
  EXPECT_GT(CompareHeaders("\xF3", "\x10"), 0);  // unsigned
  EXPECT_EQ(CompareHeaders("abc", "abc"), 0);
  EXPECT_LT(CompareHeaders("", std::string_view("\0", 1)), 0);
}

TEST(RecordTest, HeaderComparisonAgreesWithBytewiseOrderAtEveryLengthAndPosition) {
  // The comparison works eight bytes at a time: a difference in any byte of a
  // word, high bytes and lengths around the word size must all order as bytes do.
  std::mt19937 rng(7);
  auto reference = [](std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
      auto x = static_cast<uint8_t>(a[i]), y = static_cast<uint8_t>(b[i]);
      if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
  };
  for (int round = 0; round < 20000; ++round) {
    std::string a(rng() % 20, '\0');
    for (char& c : a) c = static_cast<char>(rng() % 4 == 0 ? 0x80 + rng() % 128 : 'a' + rng() % 3);
    std::string b = a.substr(0, rng() % (a.size() + 1));
    while (b.size() < a.size() + 2 && rng() % 3) b.push_back(static_cast<char>(rng()));
    if (!b.empty() && rng() % 2) b[rng() % b.size()] ^= static_cast<char>(1 << (rng() % 8));
    ASSERT_EQ(CompareHeaders(a, b), reference(a, b)) << round;
    ASSERT_EQ(CompareHeaders(b, a), reference(b, a)) << round;
  }
}

TEST(RecordTest, AreaSharesPrefixesAndRepeatsLengthsOnlyWhenTheyChange) {
  std::vector<Record> records{R("KEY1data", 4), R("KEY2data", 4), R("KEY3dat", 4)};
  std::string area;
  EncodeRecordArea(records, &area);
  std::string expected;
  expected += '\xC0';
  expected += std::string("\x08\x00\x04\x00", 4) + "KEY1data";
  expected += '\x03';  // same L and H, 3 bytes shared
  expected += "2data";
  expected += '\x83';  // new L, same H
  expected += std::string("\x07\x00", 2) + "3dat";
  EXPECT_EQ(area, expected);
  std::vector<Record> back;
  ASSERT_TRUE(DecodeRecordArea(area, 3, &back).ok());
  ASSERT_EQ(back.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(back[i].bytes, records[i].bytes);
    EXPECT_EQ(back[i].header_len, 4);
  }
}

TEST(RecordTest, PrefixIsCappedAt63) {
  std::string a(100, 'x'), b(100, 'x');
  b[99] = 'y';
  std::string area;
  EncodeRecordArea({R(a, 100), R(b, 100)}, &area);
  EXPECT_EQ(static_cast<uint8_t>(area[5 + 100]), 63);
  std::vector<Record> back;
  ASSERT_TRUE(DecodeRecordArea(area, 2, &back).ok());
  EXPECT_EQ(back[1].bytes, b);
}

TEST(RecordTest, ImpossibleAreasAreCorruption) {
  std::string area;
  EncodeRecordArea({R("abc", 3), R("abd", 3)}, &area);
  std::vector<Record> out;
  EXPECT_EQ(DecodeRecordArea(area + "z", 2, &out).check(), 1602);  // bytes left over
  EXPECT_EQ(DecodeRecordArea(area, 3, &out).check(), 1602);        // runs out
  std::vector<Record> unsized;
  EXPECT_EQ(DecodeRecordArea(area, 65535, &unsized).check(), 1602);  // a count no area can hold
  EXPECT_EQ(unsized.capacity(), 0u);
  std::string first_without_lengths = area;
  first_without_lengths[0] = 0x00;
  EXPECT_EQ(DecodeRecordArea(first_without_lengths, 2, &out).check(), 1611);
  std::string header_too_long = area;
  header_too_long[3] = 9;  // H = 9 > L = 3
  EXPECT_EQ(DecodeRecordArea(header_too_long, 2, &out).check(), 1611);
  std::string descending;
  EncodeRecordArea({R("b", 1), R("a", 1)}, &descending);
  EXPECT_EQ(DecodeRecordArea(descending, 2, &out).check(), 1612);
}

}  // namespace
}  // namespace korvex::brisken
