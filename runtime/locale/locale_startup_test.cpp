#include "runtime/locale/locale_startup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>

#include "runtime/eval/evaluator.h"
#include "runtime/os/temp_dir.h"

namespace korvex {
namespace {

class LocaleStartupTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetLocale(LocaleSettings());
    ResetCharTables();
  }
  // Applies an environment file's text over the defaults and installs it.
  void Install(const std::string& text) {
    LocaleState state;
    ApplyEnvironment(text, &state);
    InstallLocale(state);
  }
  std::string Eval(std::string_view text) {
    Evaluator evaluator;
    Value v;
    EvalStatus status = evaluator.Evaluate(text, &v);
    return status.ok() ? v.ToText() : "ERROR " + std::to_string(status.code);
  }
};

bool IsPermutation(const ByteTable& t) {
  std::set<uint8_t> seen(t.begin(), t.end());
  return seen.size() == 256;
}

TEST_F(LocaleStartupTest, WithoutAnEnvironmentFileTheDefaultsHold) {
  os::TempDir dir("locale");
  ASSERT_TRUE(dir.ok());
  EXPECT_FALSE(StartLocale(dir.File("korvex.exe")));
  EXPECT_EQ(Eval("CLIP(FORMAT(DATE(1,15,2020),@D4))"), "January 15, 2020");
  EXPECT_EQ(Eval("UPPER('\xe9t\xe9')"), "\xe9T\xe9");  // only ASCII letters change case
  EXPECT_EQ(Eval("'B' < 'a'"), "1");
}

TEST_F(LocaleStartupTest, EnvironmentFileBesideTheProgramChangesPicturesCaseAndOrder) {
  os::TempDir dir("locale");
  ASSERT_TRUE(dir.ok());
  std::ofstream(dir.File("korvex.ENV"), std::ios::binary)
      << "VELMONTH=Januar,Februar,M<228>rz\r\n"
         "VELMON=Jan,Feb,M<228>r\r\n"
         "VELAMPM=vm,nm\r\n"
         "VELCASE=WINDOWS\r\n"
         "VELCOLSEQ=aAbB\r\n"
         "VELLFN=On\r\n"
         "VELBUTTON=OK,&Ja,&Nein\r\n"
         "VELMSG800=Falscher Ausdruck\r\n";
  EXPECT_TRUE(StartLocale(dir.File("korvex.exe")));
  EXPECT_EQ(Eval("CLIP(FORMAT(DATE(1,15,2020),@D4))"), "Januar 15, 2020");
  EXPECT_EQ(Eval("CLIP(FORMAT(DATE(3,5,2020),@D4))"), "M\xe4rz  5, 2020");
  EXPECT_EQ(Eval("FORMAT(DATE(3,5,2020),@D3)"), "M\xc4R  5,2020");  // upper-cased by the locale
  EXPECT_EQ(Eval("CLIP(FORMAT(DATE(2,5,2020),@D4))"), "Februar  5, 2020");
  EXPECT_EQ(Eval("CLIP(FORMAT(DATE(4,5,2020),@D4))"), "April  5, 2020");  // not listed: default
  EXPECT_EQ(Eval("FORMAT(4710001,@T3)"), " 1:05nm");
  EXPECT_EQ(Eval("UPPER('\xe9t\xe9')"), "\xc9T\xc9");
  // "aAbB": a < A < b < B among the weights these four had.
  EXPECT_EQ(Eval("'A' < 'a'"), "0");
  EXPECT_EQ(Eval("'A' < 'b'"), "1");
  EXPECT_EQ(Eval("'B' < 'a'"), "0");
  const LocaleSettings& s = CurrentLocale();
  EXPECT_TRUE(s.long_file_names);
  EXPECT_EQ(s.button_captions[2], "&Nein");
  EXPECT_EQ(s.button_captions[3], "");
  EXPECT_EQ(s.runtime_messages.at(800), "Falscher Ausdruck");
  // The OEM collation is left alone.
  auto tables = CurrentCharTables();
  EXPECT_EQ(tables->oem_collation['a'], 'a');
  EXPECT_EQ(tables->collation['a'], 'A');
}

TEST_F(LocaleStartupTest, OemValuesAndDigraphs) {
  // 0x84 is a-umlaut in the OEM code page, 0xE4 in the program's.
  Install("VELCHARSET=oem\nVELMONTH=J<132>n\nVELDIGRAPH=<225>ss,<132>ae\n");
  EXPECT_EQ(std::string(LocaleMonthName(1)), "J\xe4n");
  auto tables = CurrentCharTables();
  ASSERT_EQ(tables->digraph_count, 2u);
  EXPECT_EQ(tables->digraphs[0].character, 0xDF);  // sharp s, from OEM 225
  // Sharp s sorts as "ss": after "sr", before "st"; a-umlaut as "ae".
  EXPECT_EQ(Eval("'\xdf' > 'sr' AND '\xdf' < 'st'"), "1");
  EXPECT_EQ(Eval("'\xe4' = 'ae'"), "1");
  EXPECT_EQ(Eval("'stra\xdf" "e' = 'strasse'"), "1");
}

TEST_F(LocaleStartupTest, CaseStringsAndResets) {
  Install("VELCASE=\"<196><214>X\",\"<228><246>y\"\n");
  EXPECT_EQ(Eval("UPPER('\xe4\xf6xy')"), "\xc4\xd6XY");
  EXPECT_EQ(Eval("LOWER('\xc9')"), "\xc9");  // not listed
  Install("VELCASE=WINDOWS\nVELCASE=\n");
  EXPECT_EQ(Eval("UPPER('\xe4z')"), "\xe4Z");
}

#ifndef _WIN32
// Natively the system profile is the INI file named by KORVEX_PROFILE.
TEST_F(LocaleStartupTest, IntlEntriesSetTheLocaleDateAndTimeFormats) {
  os::TempDir dir("locale");
  ASSERT_TRUE(dir.ok());
  std::ofstream(dir.File("profile.ini"), std::ios::binary)
      << "[intl]\r\niTime=1\r\niTLzero=1\r\nsTime=.\r\nsShortDate=dd.MM.yyyy\r\n"
         "sLongDate=d. MMMM yyyy\r\n";
  ::setenv("KORVEX_PROFILE", dir.File("profile.ini").c_str(), 1);
  InstallLocale(LocaleFromProfile());
  ::unsetenv("KORVEX_PROFILE");
  EXPECT_EQ(Eval("FORMAT(DATE(1,15,2020),@D17)"), "15.01.2020");
  EXPECT_EQ(Eval("CLIP(FORMAT(DATE(1,15,2020),@D18))"), "15. January 2020");
  EXPECT_EQ(Eval("FORMAT(4710001,@T7)"), "13.05");
}
#endif

TEST(CollationList, OnlyListedCharactersMoveOrThePrintableSlotsAreFilled) {
  ByteTable t = CollationFromList("zyaa");  // repeats dropped: z, y, a
  EXPECT_EQ(t['z'], 'a');
  EXPECT_EQ(t['y'], 'y');
  EXPECT_EQ(t['a'], 'z');
  EXPECT_EQ(t['b'], 'b');
  EXPECT_TRUE(IsPermutation(t));

  // The 222 printable characters in reverse order fill the printable slots.
  std::string all;
  for (int c = 254; c >= 32; --c) {
    if (c != 127) all.push_back(static_cast<char>(c));
  }
  ASSERT_EQ(all.size(), 222u);
  t = CollationFromList(all);
  EXPECT_EQ(t[254], 32);
  EXPECT_EQ(t[32], 254);
  EXPECT_EQ(t[127], 127);
  EXPECT_EQ(t[10], 10);
  EXPECT_TRUE(IsPermutation(t));

  // 222 characters that include a control character would give two
  // characters one weight: only the listed ones move.
  all.back() = '\x05';
  t = CollationFromList(all);
  EXPECT_TRUE(IsPermutation(t));
  EXPECT_EQ(t[' '], ' ');  // not listed any more: keeps its weight
}

TEST(CollationSystem, IsAPermutationKeepingTheEnds) {
  ByteTable t = SystemCollation();
  EXPECT_TRUE(IsPermutation(t));
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[1], 1);
  EXPECT_EQ(t[255], 255);
  EXPECT_LT(t['a'], t['b']);
  EXPECT_LT(t['1'], t['a']);
}

}  // namespace
}  // namespace korvex
