#include "runtime/os/ini_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "runtime/os/file.h"
#include "runtime/os/ini_file_text.h"
#include "runtime/os/temp_dir.h"

namespace korvex::os {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Through the platform's own calls on Windows and ours elsewhere.
TEST(IniFile, EntriesRoundTripBesideOtherSectionsAndComments) {
  TempDir dir("ini");
  ASSERT_TRUE(dir.ok());
  std::string path = dir.File("korvex.INI");
  EXPECT_EQ(IniRead(path, "Main", "Top", "---Unknown---"), "---Unknown---");  // no file yet
  WriteFile(path, "; settings\r\n[Main]\r\nTop=10\r\n\r\n[Other]\r\nTop = \" 7 \" \r\n");
  EXPECT_EQ(IniRead(path, "main", "TOP", ""), "10");
  EXPECT_EQ(IniRead(path, "Other", "Top", ""), " 7 ");
  EXPECT_EQ(IniRead(path, "Other", "Left", "none"), "none");

  ASSERT_TRUE(IniWrite(path, "Main", "Top", "12"));
  ASSERT_TRUE(IniWrite(path, "Main", "Left", "3"));
  ASSERT_TRUE(IniWrite(path, "New", "Width", "a,b,c"));
  EXPECT_EQ(IniRead(path, "Main", "Top", ""), "12");
  EXPECT_EQ(IniRead(path, "Main", "Left", ""), "3");
  EXPECT_EQ(IniRead(path, "Other", "Top", ""), " 7 ");
  EXPECT_EQ(IniRead(path, "New", "Width", ""), "a,b,c");
  std::string text = ReadFile(path);
  EXPECT_EQ(text.find("; settings\r\n[Main]\r\n"), 0u) << text;
  EXPECT_LT(text.find("Left=3"), text.find("[Other]")) << text;
}

TEST(IniFile, LongNamesAreNotCutSoTheyNeverCollide) {
  TempDir dir("ini");
  ASSERT_TRUE(dir.ok());
  std::string path = dir.File("long.INI");
  std::string section(70, 's');
  std::string base(62, 'e');
  ASSERT_TRUE(IniWrite(path, section, base + "_1", "one"));
  ASSERT_TRUE(IniWrite(path, section, base + "_10", "ten"));
  EXPECT_EQ(IniRead(path, section, base + "_1", ""), "one");
  EXPECT_EQ(IniRead(path, section, base + "_10", ""), "ten");
  std::string long_value(3000, 'v');
  ASSERT_TRUE(IniWrite(path, "S", "Long", long_value));
  EXPECT_EQ(IniRead(path, "S", "Long", ""), long_value);
}

TEST(IniFile, NamesAndValuesThatWouldBreakTheFileAreRefused) {
  TempDir dir("ini");
  ASSERT_TRUE(dir.ok());
  std::string path = dir.File("bad.INI");
  EXPECT_FALSE(IniWrite(path, "A]B", "x", "1"));
  EXPECT_FALSE(IniWrite(path, "A", "x=y", "1"));
  EXPECT_FALSE(IniWrite(path, "A", "x", "1\r\n[B]"));
  EXPECT_FALSE(IniWrite(path, "", "x", "1"));
  EXPECT_FALSE(IniWrite(path, "A", " ", "1"));
  EXPECT_FALSE(IniWrite(path, "A", ";x", "1"));
  EXPECT_FALSE(FileExists(path));
}

TEST(IniFile, SeveralEntriesOfASectionAreWrittenTogetherOrNotAtAll) {
  TempDir dir("ini");
  ASSERT_TRUE(dir.ok());
  std::string path = dir.File("list.INI");
  ASSERT_TRUE(IniWriteEntries(path, "Q", {{"L", "2"}, {"L_1", "a,b"}, {"L_2", "c"}}));
  EXPECT_EQ(IniRead(path, "Q", "L", ""), "2");
  EXPECT_EQ(IniRead(path, "Q", "L_1", ""), "a,b");
  EXPECT_EQ(IniRead(path, "Q", "L_2", ""), "c");
  // One bad name refuses the whole batch.
  EXPECT_FALSE(IniWriteEntries(path, "Q", {{"L", "3"}, {"L=3", "x"}}));
  EXPECT_EQ(IniRead(path, "Q", "L", ""), "2");
}

TEST(IniFileText, SetKeepsLineEndingsAndAddsWhereTheEntryBelongs) {
  EXPECT_EQ(IniTextSet("", "S", "k", "v"), "[S]\r\nk=v\r\n");
  EXPECT_EQ(IniTextSet("[S]\nk=old\nz=1\n", "s", "K", "new"), "[S]\nk=new\nz=1\n");
  EXPECT_EQ(IniTextSet("[S]\na=1\n\n[T]\nb=2", "S", "c", "3"), "[S]\na=1\nc=3\n\n[T]\nb=2");
  EXPECT_EQ(IniTextSet("[T]\nb=2", "S", "c", "3"), "[T]\nb=2\n[S]\nc=3\n");
  // An entry of a later section of the same name is found and replaced there.
  EXPECT_EQ(IniTextSet("[S]\na=1\n[S]\nb=2\n", "S", "b", "9"), "[S]\na=1\n[S]\nb=9\n");
  // Comments, lines without "=" and entries before any section are left alone.
  std::string text = "k=top\n[S]\n;k=c\nnoise\nk = 'q' \n";
  EXPECT_EQ(IniTextLookup(text, "S", "k"), "q");
  EXPECT_EQ(IniTextLookup(text, "", "k"), std::nullopt);
  EXPECT_EQ(IniTextSet(text, "S", "k", "r"), "k=top\n[S]\n;k=c\nnoise\nk=r\n");
}

}  // namespace
}  // namespace korvex::os
