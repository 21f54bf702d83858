#include "runtime/char_tables.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace korvex {
namespace {

class CharTablesTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetCharTables(); }
};

TEST_F(CharTablesTest, DefaultsKnowOnlyPlainLettersAndDigits) {
  CharTables t = CharTables::Defaults();
  EXPECT_EQ(t.Upper('a'), 'A');
  EXPECT_EQ(t.Upper('z'), 'Z');
  EXPECT_EQ(t.Upper('A'), 'A');
  EXPECT_EQ(t.Lower('Q'), 'q');
  EXPECT_EQ(t.Upper('1'), '1');
  EXPECT_EQ(t.char_class['5'], kCharDigit);
  EXPECT_EQ(t.char_class['@'], kCharOther);
  EXPECT_EQ(t.Upper(0xE9), 0xE9);  // e acute stays: only ASCII letters change case
  EXPECT_EQ(t.case_swap[0xE9], 0);
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(t.collation[static_cast<size_t>(c)], c);
    EXPECT_EQ(t.oem_collation[static_cast<size_t>(c)], c);
  }
}

TEST_F(CharTablesTest, CodePage1252LettersPairUpButSignsDoNot) {
  CharTables t = CharTables::Defaults();
  AddCodePage1252Letters(&t);
  EXPECT_EQ(t.Upper(0xE9), 0xC9);  // e acute
  EXPECT_EQ(t.Lower(0xC9), 0xE9);
  EXPECT_EQ(t.Upper(0xFF), 0x9F);  // y diaeresis
  EXPECT_EQ(t.Upper(0x9A), 0x8A);  // s caron
  EXPECT_EQ(t.Upper(0xF7), 0xF7);  // division sign
  EXPECT_EQ(t.Lower(0xD7), 0xD7);  // multiplication sign
  EXPECT_EQ(t.Upper(0xDF), 0xDF);  // sharp s has no capital here
  EXPECT_EQ(t.Upper('b'), 'B');
}

TEST_F(CharTablesTest, CodePageConversionBothWays) {
  CharTables t = CharTables::Defaults();
  struct Pair {
    uint8_t ansi, oem;
  };
  // Characters both code pages have.
  for (Pair p : {Pair{0xE9, 0x82}, Pair{0xFC, 0x81}, Pair{0xA3, 0x9C}, Pair{0xF1, 0xA4},
                 Pair{0xC4, 0x8E}, Pair{0xDF, 0xE1}, Pair{0xB0, 0xF8}, Pair{0xA0, 0xFF}}) {
    EXPECT_EQ(t.ansi_to_oem[p.ansi], p.oem) << int{p.ansi};
    EXPECT_EQ(t.oem_to_ansi[p.oem], p.ansi) << int{p.oem};
  }
  // Best fit where there is no counterpart.
  EXPECT_EQ(t.ansi_to_oem[0xC0], 'A');  // A grave
  EXPECT_EQ(t.ansi_to_oem[0x93], '"');  // left double quotation mark
  EXPECT_EQ(t.ansi_to_oem[0xA7], 0x15);  // section sign
  EXPECT_EQ(t.ansi_to_oem[0x81], '?');  // unassigned in 1252
  EXPECT_EQ(t.oem_to_ansi[0xC4], '-');  // box drawing horizontal
  EXPECT_EQ(t.oem_to_ansi[0xB3], '|');  // box drawing vertical
  EXPECT_EQ(t.oem_to_ansi[0xC5], '+');  // box drawing cross
  for (int c = 0; c < 128; ++c) {
    EXPECT_EQ(t.ansi_to_oem[static_cast<size_t>(c)], c);
    EXPECT_EQ(t.oem_to_ansi[static_cast<size_t>(c)], c);
  }
  // Every OEM character that has a true counterpart (above 127) comes back.
  int counterparts = 0;
  for (int o = 128; o < 256; ++o) {
    uint8_t a = t.oem_to_ansi[static_cast<size_t>(o)];
    if (a < 128) continue;
    ++counterparts;
    EXPECT_EQ(t.ansi_to_oem[a], o) << o;
  }
  EXPECT_EQ(counterparts, 54);  // the 437 characters above 127 that 1252 has too

  EXPECT_EQ(t.ToOem("caf\xE9 \xA3"), "caf\x82 \x9C");
  EXPECT_EQ(t.ToAnsi("caf\x82 \x9C"), "caf\xE9 \xA3");
}

TEST_F(CharTablesTest, SettersPublishANewSnapshotAndLeaveHeldOnesAlone) {
  std::shared_ptr<const CharTables> before = CurrentCharTables();
  ByteTable reversed{};
  for (int i = 0; i < 256; ++i) reversed[static_cast<size_t>(i)] = static_cast<uint8_t>(255 - i);
  SetCollation(reversed);
  std::shared_ptr<const CharTables> after = CurrentCharTables();
  EXPECT_EQ(before->collation['A'], 'A');
  EXPECT_EQ(after->collation['A'], 255 - 'A');
  EXPECT_EQ(after->Upper('a'), 'A');  // the rest is kept

  SetOemCollation(reversed);
  ByteTable swap = after->case_swap;
  ByteTable classes = after->char_class;
  swap[0xE9] = 0xC9;
  swap[0xC9] = 0xE9;
  classes[0xE9] = kCharLower;
  classes[0xC9] = kCharUpper;
  SetCaseTables(swap, classes);
  EXPECT_EQ(CurrentCharTables()->Upper(0xE9), 0xC9);
  EXPECT_EQ(CurrentCharTables()->oem_collation[0], 255);
  EXPECT_EQ(CurrentCharTables()->collation[0], 255);

  ByteTable identity{};
  for (int i = 0; i < 256; ++i) identity[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  SetOemConversion(identity, identity);
  EXPECT_EQ(CurrentCharTables()->ansi_to_oem[0xE9], 0xE9);

  ResetCharTables();
  EXPECT_EQ(CurrentCharTables()->collation[0], 0);
  EXPECT_EQ(CurrentCharTables()->ansi_to_oem[0xE9], 0x82);
}

TEST_F(CharTablesTest, ReadersNeverSeeAHalfWrittenTable) {
  ByteTable reversed{};
  for (int i = 0; i < 256; ++i) reversed[static_cast<size_t>(i)] = static_cast<uint8_t>(255 - i);
  std::atomic<bool> stop{false};
  std::atomic<int> mixed{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 2; ++r) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        std::shared_ptr<const CharTables> t = CurrentCharTables();
        bool identity = t->collation[0] == 0;
        for (int i = 0; i < 256; ++i) {
          int expected = identity ? i : 255 - i;
          if (t->collation[static_cast<size_t>(i)] != expected) ++mixed;
        }
      }
    });
  }
  for (int n = 0; n < 2000; ++n) {
    if (n % 2 == 0) {
      SetCollation(reversed);
    } else {
      ResetCharTables();
    }
  }
  stop = true;
  for (std::thread& t : readers) t.join();
  EXPECT_EQ(mixed.load(), 0);
}

}  // namespace
}  // namespace korvex
