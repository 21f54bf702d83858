#include "data/brisken/run_length.h"

#include <gtest/gtest.h>

#include <random>

namespace korvex::brisken {
namespace {

std::string Bytes(std::initializer_list<int> v) {
  std::string s;
  for (int b : v) s.push_back(static_cast<char>(b));
  return s;
}

TEST(RunLengthTest, EncodesLiteralsThroughTheRunsFirstByteThenTheRepeat) {
  std::string out;
  ASSERT_TRUE(RunLengthCompress("ABBBBBC", &out));
  EXPECT_EQ(out, Bytes({2, 'A', 'B', 4, 1, 'C'}));
  // A run at the very end still closes with a literal count of 0.
  ASSERT_TRUE(RunLengthCompress("xyzzzzzzzz", &out));
  EXPECT_EQ(out, Bytes({3, 'x', 'y', 'z', 7, 0}));
  // Long runs take multi-byte counts, low group first.
  ASSERT_TRUE(RunLengthCompress(std::string(201, ' '), &out));
  EXPECT_EQ(out, Bytes({1, ' ', 0xC8, 0x01, 0}));
}

// The compressor as first written, one position at a time: the stored bytes of
// every page depend on it, so the faster one must agree to the byte.
bool ReferenceCompress(std::string_view in, std::string* out) {
  out->clear();
  bool any_run = false;
  size_t literal_start = 0, i = 0;
  while (i < in.size()) {
    size_t run = 1;
    while (i + run < in.size() && in[i + run] == in[i]) ++run;
    if (run < 4) {
      i += run;
      continue;
    }
    any_run = true;
    PutVarCount(out, i + 1 - literal_start);
    out->append(in.substr(literal_start, i + 1 - literal_start));
    PutVarCount(out, run - 1);
    i += run;
    literal_start = i;
    if (out->size() >= in.size()) return false;
  }
  if (!any_run) return false;
  PutVarCount(out, in.size() - literal_start);
  out->append(in.substr(literal_start));
  return out->size() < in.size();
}

TEST(RunLengthTest, AgreesToTheByteWithTheOnePositionAtATimeCompressor) {
  std::mt19937 rng(3);
  for (int round = 0; round < 5000; ++round) {
    std::string in;
    size_t target = rng() % 300;
    while (in.size() < target) {
      // Runs of every length around the minimum, pairs and triples that are
      // not runs, and noise, at every alignment.
      char c = static_cast<char>(rng() % 4 == 0 ? ' ' : rng() % 256);
      in.append(rng() % 3 == 0 ? 1 + rng() % 9 : 1, c);
    }
    std::string fast, slow;
    bool f = RunLengthCompress(in, &fast);
    bool s = ReferenceCompress(in, &slow);
    ASSERT_EQ(f, s) << round;
    if (f) {
      ASSERT_EQ(fast, slow) << round;
    }
  }
}

TEST(RunLengthTest, KeepsInputWithoutGainUncompressed) {
  std::string out;
  EXPECT_FALSE(RunLengthCompress("abcabcabc", &out));  // no run at all
  EXPECT_FALSE(RunLengthCompress("aaa", &out));        // runs of three stay literal
  EXPECT_FALSE(RunLengthCompress("aaaa", &out));       // 1 a 3 0 is no shorter
  EXPECT_TRUE(RunLengthCompress("aaaaa", &out));
}

TEST(RunLengthTest, RoundTripsRandomBlankPaddedRecords) {
  std::mt19937 rng(7);
  for (int n = 0; n < 300; ++n) {
    std::string in;
    int parts = rng() % 20;
    for (int p = 0; p < parts; ++p) {
      in.append(rng() % 40, static_cast<char>(rng() % 3 ? ' ' : rng() % 256));
      in.push_back(static_cast<char>(rng() % 256));
    }
    std::string packed, back;
    if (!RunLengthCompress(in, &packed)) continue;
    ASSERT_LT(packed.size(), in.size());
    ASSERT_TRUE(RunLengthExpand(packed, in.size(), &back).ok());
    EXPECT_EQ(back, in);
  }
}

TEST(RunLengthTest, CountsBeyondTheExpectedBytesAreCorruption) {
  std::string out;
  EXPECT_EQ(RunLengthExpand(Bytes({5, 'a', 'b'}), 2, &out).check(), 522);   // literal too long
  EXPECT_EQ(RunLengthExpand(Bytes({3, 'a', 'b'}), 8, &out).check(), 522);   // input ends early
  EXPECT_EQ(RunLengthExpand(Bytes({1, 'a', 9}), 5, &out).check(), 530);     // repeat too long
  EXPECT_EQ(RunLengthExpand(Bytes({0, 3}), 3, &out).check(), 530);          // nothing to repeat
  EXPECT_EQ(RunLengthExpand(Bytes({1, 'a'}), 4, &out).check(), 530);        // repeat missing
  EXPECT_EQ(RunLengthExpand(Bytes({0x80, 0x80, 0x80, 0x80, 0x80, 0x01}), 4, &out).check(), 522);
  // The stream may end after a repeat or after a final empty literal.
  ASSERT_TRUE(RunLengthExpand(Bytes({1, 'a', 3}), 4, &out).ok());
  EXPECT_EQ(out, "aaaa");
  ASSERT_TRUE(RunLengthExpand(Bytes({1, 'a', 3, 0}), 4, &out).ok());
  EXPECT_EQ(out, "aaaa");
}

}  // namespace
}  // namespace korvex::brisken
