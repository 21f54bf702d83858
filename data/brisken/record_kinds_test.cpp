#include "data/brisken/record_kinds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace korvex::brisken {
namespace {

TEST(RecordKinds, HeadersHaveTheirLayoutAndParseBack) {
  EXPECT_EQ(DataHeader(0x01020304, 0x0A0B0C0D), std::string("\1\2\3\4\xF3\x0A\x0B\x0C\x0D", 9));
  EXPECT_EQ(CounterHeader(1, 3), std::string("\0\0\0\1\xF6\3", 6));
  EXPECT_EQ(DefinitionHeader(1, 0x0102), std::string("\0\0\0\1\xFA\1\2", 7));
  EXPECT_EQ(MarkerHeader(1), std::string("\0\0\0\1\xFB\1", 6));
  EXPECT_EQ(MemoPieceHeader(1, 2, 3, 0x0405), std::string("\0\0\0\1\xFC\0\0\0\2\3\4\5", 12));
  EXPECT_EQ(TableNameHeader("ORDERS"), "\xFEORDERS");

  ParsedHeader p = ParseHeader(DataHeader(7, 9));
  EXPECT_EQ(p.kind, ParsedHeader::Kind::kData);
  EXPECT_EQ(p.table, 7u);
  EXPECT_EQ(p.record, 9u);
  p = ParseHeader(CounterHeader(7, kind::kData));
  EXPECT_EQ(p.kind, ParsedHeader::Kind::kCounters);
  EXPECT_EQ(p.counted_kind, kind::kData);
  p = ParseHeader(DefinitionHeader(7, 513));
  EXPECT_EQ(p.kind, ParsedHeader::Kind::kDefinition);
  EXPECT_EQ(p.number, 513);
  EXPECT_EQ(ParseHeader(MarkerHeader(7)).kind, ParsedHeader::Kind::kMarker);
  p = ParseHeader(MemoPieceHeader(7, 70000, 2, 300));
  EXPECT_EQ(p.kind, ParsedHeader::Kind::kMemoPiece);
  EXPECT_EQ(p.record, 70000u);
  EXPECT_EQ(p.memo, 2);
  EXPECT_EQ(p.number, 300);
  std::string name = TableNameHeader("X");  // parsed views point into it
  p = ParseHeader(name);
  EXPECT_EQ(p.kind, ParsedHeader::Kind::kTableName);
  EXPECT_EQ(p.rest, "X");
  Record entry = KeyEntry(7, 5, "abc", 9, true);
  p = ParseHeader(entry.header());
  EXPECT_EQ(p.kind, ParsedHeader::Kind::kKeyEntry);
  EXPECT_EQ(p.kind_byte, 5);
  EXPECT_EQ(p.rest, std::string("abc\0\0\0\x09", 7));

  // Lengths that do not fit their kind.
  for (std::string bad : {std::string(), std::string("\0\0\0", 3), DataHeader(1, 1) + "x",
                          CounterHeader(1, 1).substr(0, 5), std::string("\0\0\0\1\xFB\2", 6),
                          std::string("\xFE"), std::string("\0\0\0\1\0x", 6),
                          std::string("\0\0\0\1\xF4x", 6), std::string("\0\0\0\1\xFDx", 6)}) {
    EXPECT_EQ(ParseHeader(bad).kind, ParsedHeader::Kind::kInvalid) << bad.size();
  }
}

TEST(RecordKinds, TableRecordsSortTogetherAndTableNamesLast) {
  std::vector<std::string> in_order = {
      std::string(KeyEntry(1, 1, "A", 5, false).header()),
      std::string(KeyEntry(1, 1, "B", 2, true).header()),
      std::string(KeyEntry(1, 0xF2, "", 1, false).header()),
      DataHeader(1, 1),
      DataHeader(1, 0x100),
      CounterHeader(1, 1),
      CounterHeader(1, kind::kData),
      DefinitionHeader(1, 0),
      DefinitionHeader(1, 1),
      MarkerHeader(1),
      MemoPieceHeader(1, 1, 0, 0),
      MemoPieceHeader(1, 1, 0, 1),
      MemoPieceHeader(1, 1, 1, 0),
      DataHeader(2, 1),
      DataHeader(0xFDFFFFFF, 0xFDFFFFFF),
      TableNameHeader("A"),
      TableNameHeader("AB"),
  };
  for (size_t i = 1; i < in_order.size(); ++i) {
    EXPECT_LT(CompareHeaders(in_order[i - 1], in_order[i]), 0) << i;
  }
}

TEST(RecordKinds, NumbersCarryAndStopBeforeTheNameKind) {
  uint32_t next = 0;
  ASSERT_TRUE(NextNumber(0, &next));
  EXPECT_EQ(next, 1u);
  ASSERT_TRUE(NextNumber(0x000000FF, &next));
  EXPECT_EQ(next, 0x100u);
  ASSERT_TRUE(NextNumber(0x00FFFFFF, &next));
  EXPECT_EQ(next, 0x01000000u);
  ASSERT_TRUE(NextNumber(0xFDFFFFFE, &next));
  EXPECT_EQ(next, 0xFDFFFFFFu);
  next = 42;
  EXPECT_FALSE(NextNumber(0xFDFFFFFF, &next));
  EXPECT_FALSE(NextNumber(0xFFFFFFFF, &next));
  EXPECT_EQ(next, 42u);
}

TEST(RecordKinds, RecordsAndCounters) {
  Record unique = KeyEntry(3, 1, "K", 0x01020304, false);
  EXPECT_EQ(unique.header(), std::string("\0\0\0\3\1K", 6));
  EXPECT_EQ(unique.data(), "\1\2\3\4");
  Record dup = KeyEntry(3, 1, "K", 0x01020304, true);
  EXPECT_EQ(dup.header(), std::string("\0\0\0\3\1K\1\2\3\4", 10));
  EXPECT_TRUE(dup.data().empty());
  EXPECT_EQ(KeyEntryRecordNumber(unique), KeyEntryRecordNumber(dup));

  Record counter = CounterRecord(3, kind::kData, 17, 0x80000001);
  EXPECT_EQ(counter.header(), CounterHeader(3, kind::kData));
  uint32_t count = 0, second = 0;
  ASSERT_TRUE(ParseCounterData(counter.data(), &count, &second));
  EXPECT_EQ(count, 17u);
  EXPECT_EQ(second, 0x80000001u);
  EXPECT_FALSE(ParseCounterData("1234567", &count, &second));

  Record name = TableNameRecord("UNNAMED", 0x0102);
  EXPECT_EQ(name.header(), "\xFEUNNAMED");
  EXPECT_EQ(name.data(), std::string("\0\0\1\2", 4));
}

}  // namespace
}  // namespace korvex::brisken
