#include "data/brisken/file_header.h"

#include <gtest/gtest.h>

namespace korvex::brisken {
namespace {

TEST(FileHeaderTest, EncodesEveryFieldAtItsOffset) {
  FileHeader h = FileHeader::Fresh();
  h.committed_end = 0x1234;
  h.pending_end = 0x5678;
  h.last_number = 0x01020304;
  h.change_counter = 7;
  h.root = -1;
  h.start[1] = 0;
  h.end[1] = 3;
  h.start[59] = 0x0A0B0C0D;
  h.end[59] = 0x0A0B0C0D;
  std::string b = h.Encode();
  ASSERT_EQ(b.size(), 512u);
  EXPECT_EQ(b.substr(0, 4), std::string(4, '\0'));
  EXPECT_EQ(b.substr(4, 2), std::string("\x00\x02", 2));
  EXPECT_EQ(b.substr(6, 4), std::string("\x34\x12\x00\x00", 4));
  EXPECT_EQ(b.substr(10, 4), std::string("\x78\x56\x00\x00", 4));
  EXPECT_EQ(b.substr(14, 4), "bRsK");
  EXPECT_EQ(b.substr(18, 2), std::string(2, '\0'));
  EXPECT_EQ(b.substr(20, 4), "\x01\x02\x03\x04");  // big-endian
  EXPECT_EQ(b.substr(24, 4), std::string("\x07\x00\x00\x00", 4));
  EXPECT_EQ(b.substr(28, 4), "\xFF\xFF\xFF\xFF");
  EXPECT_EQ(b.substr(32 + 4, 4), std::string(4, '\0'));
  EXPECT_EQ(b.substr(272 + 4, 4), std::string("\x03\x00\x00\x00", 4));
  EXPECT_EQ(b.substr(32 + 4 * 59, 4), "\x0D\x0C\x0B\x0A");
  FileHeader back;
  ASSERT_TRUE(FileHeader::Decode(b, &back).ok());
  EXPECT_EQ(back.Encode(), b);
}

TEST(FileHeaderTest, WrongMagicIsAnInvalidDataFile) {
  std::string b = FileHeader::Fresh().Encode();
  b[15] = 'r';
  FileHeader h;
  EXPECT_EQ(FileHeader::Decode(b, &h).code(), 36);
  EXPECT_FALSE(FileHeader::Decode(b, &h).corrupt());
}

TEST(FileHeaderTest, DataLengthFollowsTheHighestNonEmptyRegion) {
  FileHeader h = FileHeader::Fresh();
  EXPECT_EQ(h.DataLength(), 512u);
  h.start[2] = 0;
  h.end[2] = 4;
  h.start[5] = h.end[5] = 50;  // empty regions do not count
  EXPECT_EQ(h.DataLength(), 512u + 4 * 256);
  EXPECT_EQ(h.RegionOf(2), 2);
  EXPECT_EQ(h.RegionOf(4), 0);
}

TEST(FileHeaderTest, NormalizingMovesEmptyRegionsAndRejectsOverlaps) {
  FileHeader h = FileHeader::Fresh();
  h.start[1] = 0;
  h.end[1] = 2;
  h.start[2] = h.end[2] = 77;  // empty, out of place
  h.start[3] = 2;
  h.end[3] = 8;
  ASSERT_TRUE(h.NormalizeRegions().ok());
  EXPECT_EQ(h.start[2], 2u);
  EXPECT_EQ(h.start[4], 8u);
  FileHeader overlap = h;
  overlap.start[3] = 1;
  overlap.end[3] = 7;
  EXPECT_EQ(overlap.NormalizeRegions().check(), 1622);
  FileHeader partial = h;
  partial.end[3] = 7;  // not a whole number of 3-unit slots
  EXPECT_EQ(partial.NormalizeRegions().check(), 1622);
}

}  // namespace
}  // namespace korvex::brisken
