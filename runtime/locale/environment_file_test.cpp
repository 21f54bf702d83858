#include "runtime/locale/environment_file.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

TEST(EnvironmentFile, LinesKeysAndValues) {
  std::string text =
      "\r\n velmonth = Januar \t\r\n"
      "no equals sign\n"
      "VEL COL SEQ=abc\n\n" +
      std::string(31, 'K') + "=kept\n" + std::string(32, 'K') + "=ignored\n" +
      "LONG=" + std::string(1025, 'x') + "\nAFTER=" + std::string(1024, 'y') + "\r" +
      "=no key\n"
      "LAST=1\x1aHIDDEN=2\n";
  std::vector<EnvironmentLine> lines = ReadEnvironmentText(text);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].key, "VELMONTH");
  EXPECT_EQ(lines[0].value, " Januar");
  EXPECT_EQ(lines[1].key, "VELCOLSEQ");
  EXPECT_EQ(lines[2].key, std::string(31, 'K'));
  EXPECT_EQ(lines[3].key, "AFTER");  // the over-long line is skipped whole
  EXPECT_EQ(lines[3].value.size(), 1024u);
  EXPECT_EQ(lines[4].key, "LAST");
  EXPECT_EQ(lines[4].value, "1");
}

TEST(EnvironmentFile, EscapesAndListItems) {
  EXPECT_EQ(DecodeEnvironmentEscapes("<65><<B"), "A<B");
  EXPECT_EQ(DecodeEnvironmentEscapes("<0><256><65<x>< 65><>"), "<0><256><65<x>< 65><>");
  EXPECT_EQ(DecodeEnvironmentEscapes("<255><1><0065>"), "\xff\x01" "A");
  EXPECT_EQ(DecodeEnvironmentEscapes("<"), "<");

  std::vector<std::string> items = EnvironmentList(
      " Januar , \"Feb, \"\"ruar\"\"\" junk, <77>a<44>rz,,\"<68>\"");
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(items[0], "Januar");
  EXPECT_EQ(items[1], "Feb, \"ruar\"");
  EXPECT_EQ(items[2], "Ma,rz");  // an escaped comma stays in its item
  EXPECT_EQ(items[3], "");
  EXPECT_EQ(items[4], "D");
  EXPECT_EQ(EnvironmentList("\"open").at(0), "open");
  EXPECT_EQ(EnvironmentItem("\"a,b\""), "a,b");
  EXPECT_EQ(EnvironmentItem("a,b<33>"), "a,b!");
}

TEST(EnvironmentFile, NameFromTheProgramsPath) {
  EXPECT_EQ(EnvironmentFileName("korvex.exe"), "korvex.ENV");
  EXPECT_EQ(EnvironmentFileName("C:\\apps\\korvex.exe"), "C:\\apps\\korvex.ENV");
  EXPECT_EQ(EnvironmentFileName("C:\\my.app\\korvex"), "C:\\my.app\\korvex.ENV");
  EXPECT_EQ(EnvironmentFileName("/opt/my.tools/brisken"), "/opt/my.tools/brisken.ENV");
  EXPECT_EQ(EnvironmentFileName("/opt/a.b.c"), "/opt/a.b.ENV");
}

}  // namespace
}  // namespace korvex
