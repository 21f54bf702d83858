#include "window/core/list_format.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

constexpr const char* kShuffleFormat =
    "64R(2)|M~Order~C(0)@n-14@80L(2)|M~Name~@S20@80L(2)|M~Suburb~@s20@80L(2)|M~Phone~@s20@";

ListFormat Parse(std::string_view text) {
  int stop = -1;
  auto format = ParseListFormat(text, &stop);
  EXPECT_TRUE(format.has_value()) << text << " stops at " << stop;
  return format.value_or(ListFormat{});
}

TEST(ListFormat, ShuffleListHasFourColumnsAndRoundTripsByteForByte) {
  ListFormat f = Parse(kShuffleFormat);
  ASSERT_EQ(f.columns.size(), 4u);
  const ListColumn& order = f.columns[0];
  EXPECT_EQ(order.width, 64);
  EXPECT_EQ(order.dataAlign(), kAlignRight);
  EXPECT_EQ(order.dataOffset, 2);
  EXPECT_EQ(order.flags1 & (kColRightBorder | kColResizable), kColRightBorder | kColResizable);
  EXPECT_EQ(order.headerText, "Order");
  EXPECT_EQ(order.headerAlign(), kAlignCentre);
  EXPECT_EQ(order.headerOffset, 0);
  EXPECT_EQ(order.picture, "n-14");
  for (int i = 1; i < 4; ++i) {
    const ListColumn& c = f.columns[static_cast<size_t>(i)];
    EXPECT_EQ(c.width, 80);
    EXPECT_EQ(c.dataAlign(), kAlignLeft);
    EXPECT_EQ(c.headerAlign(), kAlignLeft);
    EXPECT_EQ(c.headerOffset, 2);
    EXPECT_TRUE(c.canMouseResize());
  }
  EXPECT_EQ(f.columns[1].picture, "S20");
  EXPECT_EQ(f.columns[3].headerText, "Phone");
  EXPECT_EQ(WriteListFormat(f), kShuffleFormat);
  EXPECT_EQ(CheckListFormat(kShuffleFormat), 0);
  EXPECT_EQ(ColumnField(f, 3), 4);
}

TEST(ListFormat, InvalidFormatsStopAtTheOffendingPosition) {
  EXPECT_EQ(CheckListFormat("64X"), 3);
  EXPECT_EQ(CheckListFormat("64"), 3);
  EXPECT_EQ(CheckListFormat("64r"), 3);          // alignment letters are upper case only
  EXPECT_EQ(CheckListFormat("64Lm"), 0);         // modifiers in either case
  EXPECT_EQ(CheckListFormat("L"), 1);            // missing width
  EXPECT_EQ(CheckListFormat("64L@n-14"), 9);     // unterminated picture: end of text
  EXPECT_EQ(CheckListFormat("64L(x)"), 5);
  EXPECT_EQ(CheckListFormat("64L(2"), 6);
  EXPECT_EQ(CheckListFormat("64LE(1,2,3"), 11);  // E( without ")"
  EXPECT_EQ(CheckListFormat("64LE(,,,)E(,,,)"), 10);  // a second E
  EXPECT_EQ(CheckListFormat("64LZ(1)Z(2)"), 8);  // a second Z
  EXPECT_EQ(CheckListFormat("64L#3"), 6);        // "#" without its closing "#"
  EXPECT_EQ(CheckListFormat("64L,80R"), 4);      // junk between columns
  EXPECT_EQ(CheckListFormat("[]20L"), 2);        // empty group
  EXPECT_EQ(CheckListFormat("[20L[30L]]40L"), 5);  // groups do not nest
  EXPECT_EQ(CheckListFormat("[20L30R"), 8);      // unterminated group
  EXPECT_EQ(CheckListFormat("64L~Head"), 9);
  EXPECT_EQ(CheckListFormat(""), 0);
  int stop = 0;
  EXPECT_FALSE(ParseListFormat("64X", &stop).has_value());
  EXPECT_EQ(stop, 3);
}

TEST(ListFormat, NumbersOutOfRangeOrTooLongAreInvalidAtTheNumber) {
  EXPECT_EQ(CheckListFormat("32767L"), 0);
  EXPECT_EQ(CheckListFormat("32768L"), 1);
  EXPECT_EQ(CheckListFormat("000064L"), 1);          // too many digits
  EXPECT_EQ(CheckListFormat("64L(99999)"), 5);
  EXPECT_EQ(CheckListFormat("64LS(123456)"), 6);
  EXPECT_EQ(CheckListFormat("64LE(4294967296,,,)"), 6);
  EXPECT_EQ(CheckListFormat("64LE(0FFFFFFFFH,,,)"), 0);
  EXPECT_EQ(CheckListFormat("64LE(1A,,,)"), 7);      // hex needs its "H"
  EXPECT_EQ(CheckListFormat("99999999999999999999L"), 1);
}

TEST(ListFormat, ModifiersSetTheirFlags) {
  ListFormat f = Parse("[20L(1)_F*IYT(LB1)P#7#Z(3)Q('it''s')/30R?]100L~Grp~H(4)S(50)jHE(,,,)");
  ASSERT_EQ(f.columns.size(), 2u);
  ASSERT_EQ(f.groups.size(), 1u);
  const ListColumn& a = f.columns[0];
  EXPECT_EQ(a.flags1 & (kColUnderline | kColFixed | kColIcon | kColTree | kColLineBreak |
                        kColNoMouseResize),
            kColUnderline | kColFixed | kColIcon | kColTree | kColLineBreak | kColNoMouseResize);
  EXPECT_EQ(a.flags2, kColColours | kColStyle | kTreeL | kTreeB | kTree1 | kColTip | kColDefaultTip);
  EXPECT_EQ(a.fieldNumber, 7);
  EXPECT_EQ(a.zValue, 3);
  EXPECT_EQ(a.defaultTip, "it's");
  EXPECT_EQ(f.useColumn, 1);
  const ListColumn& tail = f.groups[0].tail;
  EXPECT_EQ(tail.hValue, 4);
  EXPECT_EQ(tail.flags2 & (kColHasH | kColTransparentIcon), kColHasH | kColTransparentIcon);
  EXPECT_EQ(tail.scrollWidth, 50);
  ASSERT_TRUE(tail.colours.has_value());
  EXPECT_EQ((*tail.colours)[0], kColourNotSet);
  // "H" without "(" sets nothing.
  EXPECT_EQ(Parse("20LH").columns[0].flags2 & kColHasH, 0u);
  EXPECT_EQ(ColumnField(Parse("20L#5#20L20L"), 2), 7);
}

TEST(ListFormat, CanonicalOutput) {
  // No header: no "~"; header in the data alignment and indent: no header letter.
  EXPECT_EQ(WriteListFormat(Parse("20L")), "20L");
  EXPECT_EQ(WriteListFormat(Parse("20L(3)~A~L(3)")), "20L(3)~A~");
  EXPECT_EQ(WriteListFormat(Parse("20L(3)~A~L(4)")), "20L(3)~A~L(4)");
  EXPECT_EQ(WriteListFormat(Parse("20LE(,,,)")), "20LE(,,,)");
  EXPECT_EQ(WriteListFormat(Parse("20LE(255,16711680,,0)")), "20LE(0FFH,0FF0000H,,0H)");
  // Written in the canonical order, with H(n) and the field number kept.
  EXPECT_EQ(WriteListFormat(Parse("20R?/E(1,,,)Q('x')Z(2)#3#@s5@H(9)S(4)~h~MF|")),
            "20R|FM~h~S(4)H(9)@s5@#3#Z(2)Q('x')E(1H,,,)/?");
  EXPECT_EQ(WriteListFormat(Parse("[20L30R]40C")), "[20L30R]40C");
  EXPECT_EQ(WriteListFormat(Parse("[20L30R]40~g~")), "[20L30R]40L~g~");
}

TEST(ListFormat, EveryValidFormatReadsBackToTheSameStructure) {
  const char* formats[] = {
      kShuffleFormat, "", "1L", "20LT()", "20LT(ir)S", "20L~~", "20L~x~D(0)@@",
      "20Lq('')", "[1L/2L/3L]4R(1)?", "20LE(0FFFFFFFFH,4294967295,0,1)", "5DJI",
      "64R(2)|M~Order~C@n-14@", "20L(0)"};
  for (const char* text : formats) {
    ListFormat first = Parse(text);
    std::string written = WriteListFormat(first);
    int stop = -1;
    auto again = ParseListFormat(written, &stop);
    ASSERT_TRUE(again.has_value()) << text << " -> " << written << " stops at " << stop;
    EXPECT_EQ(*again, first) << text << " -> " << written;
    EXPECT_EQ(WriteListFormat(*again), written);
  }
}

}  // namespace
}  // namespace korvex
