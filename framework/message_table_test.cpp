#include "framework/message_table.h"

#include <gtest/gtest.h>

namespace korvex::framework {
namespace {

TEST(MessageTable, BuiltInTableHasItsFortyEntriesInStoredOrder) {
  std::string_view table = BuiltInMessageTable();
  ASSERT_GE(table.size(), 2u);
  EXPECT_EQ(static_cast<uint8_t>(table[0]), 40);
  EXPECT_EQ(static_cast<uint8_t>(table[1]), 0);
  // First entry: id 27 little-endian, severity 5, "Invalid Key" with its length.
  EXPECT_EQ(table.substr(2, 5), std::string_view("\x1b\x00\x05\x0bInvalid Key", 5));
  MessageTableRead read = ReadMessageTable(table);
  ASSERT_TRUE(read.complete);
  ASSERT_EQ(read.entries.size(), 40u);
  EXPECT_EQ(read.entries.front().id, 27);
  EXPECT_EQ(read.entries.back().id, 41);
  EXPECT_EQ(read.entries.back().title, "Unsupported QBE Column");
  const MessageEntry& open = read.entries[24];
  EXPECT_EQ(open.id, kMsgOpenFailed);
  EXPECT_EQ(open.severity, kSeverityFatal);
  EXPECT_EQ(open.text, "File (%File) could not be opened.  Error: %ErrorText.");
  EXPECT_EQ(read.entries[38].severity, kSeverityProgramError);  // 39, file used before open
  // Written back, the table is the same bytes.
  EXPECT_EQ(WriteMessageTable(read.entries), table);
}

TEST(MessageTable, TableCutShortIsReadToItsLastWholeEntry) {
  std::string table = WriteMessageTable({{100, 5, "One", "first"}, {101, 1, "Two", "second"}});
  for (size_t cut = 0; cut < table.size(); ++cut) {
    MessageTableRead read = ReadMessageTable(std::string_view(table).substr(0, cut));
    EXPECT_FALSE(read.complete) << cut;
    EXPECT_LE(read.entries.size(), 1u) << cut;
  }
  // Cut inside the second entry: the first one survives whole.
  MessageTableRead read = ReadMessageTable(std::string_view(table).substr(0, table.size() - 1));
  ASSERT_EQ(read.entries.size(), 1u);
  EXPECT_EQ(read.entries[0].text, "first");
  // A count far past the end reads what is there.
  table[0] = '\xff';
  table[1] = '\xff';
  read = ReadMessageTable(table);
  EXPECT_FALSE(read.complete);
  EXPECT_EQ(read.entries.size(), 2u);
}

TEST(MessageTable, WriterCutsTextsAt255Bytes) {
  std::string long_text(300, 'x');
  MessageTableRead read = ReadMessageTable(WriteMessageTable({{7, 0, long_text, long_text}}));
  ASSERT_EQ(read.entries.size(), 1u);
  EXPECT_EQ(read.entries[0].title.size(), 255u);
  EXPECT_EQ(read.entries[0].text.size(), 255u);
}

}  // namespace
}  // namespace korvex::framework
