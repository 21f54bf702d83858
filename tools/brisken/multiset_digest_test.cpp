#include "tools/brisken/multiset_digest.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace korvex::tool {
namespace {

MultisetDigest Of(const std::vector<std::pair<std::string, uint32_t>>& elements) {
  MultisetDigest d;
  for (const auto& [bytes, number] : elements) d.Add(bytes, number);
  return d;
}

TEST(MultisetDigestTest, TheOrderOfAddingDoesNotMatter) {
  EXPECT_EQ(Of({{"ADAMS", 1}, {"BAKER", 2}, {"CLARK", 3}}),
            Of({{"CLARK", 3}, {"ADAMS", 1}, {"BAKER", 2}}));
  EXPECT_EQ(Of({}), Of({}));
}

// The differences a damaged key shows: a missing, stray or repeated entry,
// record numbers swapped between two entries, bytes moved from one entry to
// the next, and a value that differs only in its length.
TEST(MultisetDigestTest, EveryKindOfDifferenceChangesTheDigest) {
  const MultisetDigest sound = Of({{"ADAMS", 1}, {"BAKER", 2}, {"CLARK", 3}});
  const std::vector<std::vector<std::pair<std::string, uint32_t>>> damaged = {
      {{"ADAMS", 1}, {"BAKER", 2}},
      {{"ADAMS", 1}, {"BAKER", 2}, {"CLARK", 3}, {"DUNN", 4}},
      {{"ADAMS", 1}, {"ADAMS", 1}, {"CLARK", 3}},
      {{"ADAMS", 2}, {"BAKER", 1}, {"CLARK", 3}},
      {{"ADAM", 1}, {"SBAKER", 2}, {"CLARK", 3}},
      {{std::string("ADAMS\0", 6), 1}, {"BAKER", 2}, {"CLARK", 3}},
      {{"BAKER", 1}, {"ADAMS", 2}, {"CLARK", 3}},
  };
  for (size_t i = 0; i < damaged.size(); ++i) {
    EXPECT_FALSE(Of(damaged[i]) == sound) << i;
  }
  // Equal sums of other elements: the same pair of entries counted twice
  // against two others counted twice (a sum without a good hash cancels).
  EXPECT_FALSE(Of({{"A", 1}, {"A", 1}, {"B", 2}, {"B", 2}}) ==
               Of({{"A", 2}, {"A", 2}, {"B", 1}, {"B", 1}}));
}

TEST(MultisetDigestTest, LongValuesDifferingInOneBitDiffer) {
  std::string value(300, 'x');
  std::string other = value;
  other[257] = static_cast<char>(other[257] ^ 1);
  EXPECT_NE(MultisetDigest::Hash(7, value, 1), MultisetDigest::Hash(7, other, 1));
  EXPECT_NE(MultisetDigest::Hash(7, value, 1), MultisetDigest::Hash(8, value, 1));
  EXPECT_FALSE(Of({{value, 1}}) == Of({{other, 1}}));
}

}  // namespace
}  // namespace korvex::tool
