#include "runtime/picture/picture.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/date_time.h"
#include "runtime/decimal.h"
#include "runtime/locale/locale.h"

namespace korvex {
namespace {

std::string Fmt(const char* picture, std::string_view number) {
  return FormatNumberText(Picture::Compile(picture), number);
}
std::string Def(std::string_view text, const char* picture) {
  return Deformat(text, Picture::Compile(picture));
}
int32_t Serial(int month, int day, int year) { return korvex::Date(month, day, year); }
int32_t TimeSerial(int h, int m, int s) { return h * 360000 + m * 6000 + s * 100 + 1; }
std::string FmtDate(const char* picture, int32_t serial) {
  return FormatInteger(Picture::Compile(picture), serial);
}

class PictureTest : public ::testing::Test {
 protected:
  void SetUp() override { SetCurrentYearForTesting(1999); }
  void TearDown() override {
    SetCurrentYearForTesting(0);
    SetLocale(LocaleSettings());
  }
};

TEST_F(PictureTest, WorkedExamples) {
  EXPECT_EQ(Fmt("@n-14", "-1234"), "        -1,234");
  EXPECT_EQ(Fmt("@n-14", "1234"), "         1,234");
  EXPECT_EQ(Fmt("@N10.2B", "0"), "          ");
  int32_t new_year = Serial(1, 1, 1999);
  EXPECT_EQ(FmtDate("@D1", new_year), " 1/01/99");
  EXPECT_EQ(FmtDate("@D01", new_year), "01/01/99");
  EXPECT_EQ(FmtDate("@D1-", new_year), " 1-01-99");
  EXPECT_EQ(FmtDate("@D3", new_year), "JAN  1,1999");
  EXPECT_EQ(FmtDate("@D4", new_year), "January  1, 1999     ");
  EXPECT_EQ(FormatInteger(Picture::Compile("@T3"), TimeSerial(13, 5, 0)), " 1:05PM");
  EXPECT_EQ(Fmt("@N3", "1234"), "###");
  EXPECT_EQ(Deformat("$1,234.50"), "1234.50");
}

TEST_F(PictureTest, CompiledRecordOfEachKind) {
  Picture n = Picture::Compile("@n-14");
  EXPECT_EQ(n.kind(), PictureKind::kNumeric);
  EXPECT_EQ(n.flags(), 24);
  EXPECT_EQ(n.length(), 14);
  ASSERT_EQ(n.positions().size(), 14u);
  EXPECT_EQ(n.positions()[0].code, kPosSign);
  EXPECT_EQ(n.positions()[10].code, kPosGrouping);
  EXPECT_EQ(n.positions()[13].code, kPosDigit);   // the units digit always shows
  EXPECT_EQ(n.positions()[12].code, kPosDigitBlank);

  Picture d = Picture::Compile("@D6<50.");
  EXPECT_EQ(d.kind(), PictureKind::kDate);
  EXPECT_EQ(d.flags(), 8);
  EXPECT_EQ(d.number(), 6);
  EXPECT_EQ(d.century_window(), 50);
  EXPECT_EQ(d.positions()[2].fill, '.');
  EXPECT_EQ(Picture::Compile("@D6>").century_window(), 19);
  EXPECT_EQ(Picture::Compile("@D6>30").century_window(), 69);
  EXPECT_EQ(Picture::Compile("@D6<").century_window(), 80);

  EXPECT_EQ(Picture::Compile("@E12.3").flags(), 16);
  EXPECT_EQ(Picture::Compile("@P###P").flags(), 24);
  EXPECT_EQ(Picture::Compile("@S8").flags(), 0);
  EXPECT_EQ(Picture::Compile("@K@@K").flags(), 0);
  EXPECT_EQ(Picture::Compile("@T1").flags(), 8);
  EXPECT_TRUE(Picture::Compile("@S8B").blank_when_zero());

  Picture none = Picture::Compile("");
  EXPECT_EQ(none.kind(), PictureKind::kString);
  EXPECT_EQ(none.length(), 255);
}

TEST_F(PictureTest, MalformedPicturesAreTheInvalidPicture) {
  const char* bad[] = {
      "@",     "@X5",     "@N",       "@N0",     "@N255",   "@N--5",   "@N(5",    "@N5)",
      "@N-5)", "@N~~5",   "@N~ab5",   "@N$5$",   "@N3.2",   "@N2v2",   "@N5.2.",  "@N5x",
      "@D",    "@D0",     "@D19",     "@D1/",    "@D1<100", "@D1x",    "@T",      "@T9",
      "@T10",  "@T1/",    "@S",       "@S0",     "@S256",   "@S5x",    "@SB",     "@P##",
      "@PP",   "@K##\\K", "@E6",      "@E7.2",   "abc",     "@N5 ",    "@D01-x",  "@N$-$5",
  };
  for (const char* text : bad) {
    Picture p = Picture::Compile(text);
    EXPECT_FALSE(p.valid()) << text;
    EXPECT_EQ(p.length(), 0) << text;
    EXPECT_EQ(p.kind(), PictureKind::kNumeric) << text;
    EXPECT_EQ(FormatInteger(p, 12), "") << text;
  }
  EXPECT_FALSE(Picture::Compile("@S" + std::string(253, '1')).valid());
}

TEST_F(PictureTest, NumericSignsFillsAndGrouping) {
  EXPECT_EQ(Fmt("@N(10.2)", "-5"), "    (5.00)");
  EXPECT_EQ(Fmt("@N(10.2)", "5"), "     5.00 ");
  EXPECT_EQ(Fmt("@N8.2-", "-5"), "   5.00-");
  EXPECT_EQ(Fmt("@N$10.2", "1234.5"), "$ 1,234.50");
  EXPECT_EQ(Fmt("@N$-10.2", "-1234.5"), "$-1,234.50");
  EXPECT_EQ(Fmt("@N14.2~ EUR~", "1234.5"), "  1,234.50 EUR");
  EXPECT_EQ(Fmt("@N10.2~ EUR~", "1234.5"), "##########");  // the currency text takes room
  EXPECT_EQ(Fmt("@N07", "1234"), "0001234");
  EXPECT_EQ(Fmt("@N*10", "1234"), "*****1,234");
  EXPECT_EQ(Fmt("@N_8", "1234567"), " 1234567");
  EXPECT_EQ(Fmt("@N12`2", "1234.5"), "    1.234,50");
  EXPECT_EQ(Fmt("@N12_.2", "1234.5"), "    1 234.50");
  EXPECT_EQ(Fmt("@N12.", "1234567"), "   1.234.567");
  EXPECT_EQ(Fmt("@N5v2", "1.5"), "  150");
  EXPECT_EQ(Fmt("@N5v2", "0.05"), "   05");
  EXPECT_EQ(Fmt("@N5.2", "0"), " 0.00");
  EXPECT_EQ(Fmt("@N4", "0"), "   0");
  EXPECT_EQ(Fmt("@N10.2B", "0.001"), "          ");
  EXPECT_EQ(Fmt("@N10.2B", "3"), "      3.00");
  EXPECT_EQ(Fmt("@N-5", "-0.2"), "    0");  // rounds to zero: no sign
  EXPECT_EQ(Fmt("@N-5", "12345"), "#####");
  EXPECT_EQ(Fmt("@N-6", "1234"), " 1,234");
  EXPECT_EQ(Fmt("@N-5", "123"), "  123");
}

TEST_F(PictureTest, NumericRoundingIsExactAndHalfUp) {
  EXPECT_EQ(FormatDecimal(Picture::Compile("@N5.2"), [] {
              Decimal d;
              Decimal::Parse("0.1", &d);
              return d;
            }()),
            " 0.10");
  EXPECT_EQ(FormatReal(Picture::Compile("@N5.2"), 0.1), " 0.10");
  EXPECT_EQ(FormatReal(Picture::Compile("@N6.2"), 1.005), "  1.01");  // shortest text 1.005, not 1.00499..
  EXPECT_EQ(Fmt("@N5.1", "2.25"), "  2.3");
  EXPECT_EQ(Fmt("@N-6.1", "-2.25"), "  -2.3");
  EXPECT_EQ(Fmt("@N4.1", "9.96"), "10.0");
  EXPECT_EQ(Fmt("@N3.1", "9.96"), "###");
  EXPECT_EQ(Fmt("@N5", "1e3"), "1,000");
  EXPECT_EQ(Fmt("@N5", "not a number"), "    0");
  EXPECT_EQ(FormatReal(Picture::Compile("@N5"), 1e300), "#####");
}

// A picture without a sign position still shows a negative value's sign.
TEST_F(PictureTest, NegativeWithoutSignPositionKeepsItsSign) {
  EXPECT_EQ(Fmt("@N6", "-123"), "  -123");
  EXPECT_EQ(Fmt("@N5", "-123"), " -123");
  EXPECT_EQ(Fmt("@N3", "-123"), "###");
  EXPECT_EQ(Fmt("@N05", "-12"), "-0012");
  EXPECT_EQ(Fmt("@N04", "-1234"), "####");
  EXPECT_EQ(Fmt("@N7.2", "-1.5"), "  -1.50");
}

TEST_F(PictureTest, Scientific) {
  EXPECT_EQ(Fmt("@E12.3", "1234.5"), "  1.235E+003");
  EXPECT_EQ(Fmt("@E12.3", "-1234.5"), " -1.235E+003");
  EXPECT_EQ(Fmt("@E12.3", "0.00012"), "  1.200E-004");
  EXPECT_EQ(Fmt("@E12.3", "0"), "  0.000E+000");
  EXPECT_EQ(Fmt("@E12.3", "9.9996"), "  1.000E+001");
  EXPECT_EQ(Fmt("@E7", "5"), " 5E+000");
  EXPECT_EQ(Fmt("@E12`3", "1.5"), "  1,500E+000");
  EXPECT_EQ(Fmt("@E12.3B", "0"), "            ");
  EXPECT_EQ(Def("  1.235E+003", "@E12.3"), "1.235e+003");
  EXPECT_EQ(Def(" -1.200E-004", "@E12.3"), "-1.200e-004");
  EXPECT_EQ(Def("1.5e3", "@E12.3"), "1.5e+3");
}

TEST_F(PictureTest, EveryDatePicture) {
  int32_t d = Serial(7, 9, 2004);
  struct Case {
    const char* picture;
    const char* text;
  } cases[] = {
      {"@D1", " 7/09/04"},   {"@D2", " 7/09/2004"},   {"@D3", "JUL  9,2004"},
      {"@D4", "July  9, 2004        "},                 {"@D5", " 9/07/04"},
      {"@D6", " 9/07/2004"}, {"@D7", " 9 JUL 04"},     {"@D8", " 9 JUL 2004"},
      {"@D9", "04/07/09"},   {"@D10", "2004/07/09"},   {"@D11", "040709"},
      {"@D12", "20040709"},  {"@D13", "07/04"},        {"@D14", "07/2004"},
      {"@D15", "04/07"},     {"@D16", "2004/07"},      {"@D17", "07/09/04"},
      {"@D18", "July 09, 2004        "},               {"@D7-", " 9-JUL-04"},
      {"@D6_", " 9 07 2004"}, {"@D6`", " 9,07,2004"},  {"@D6.", " 9.07.2004"},
      {"@D*6", "09/07/2004"}, {"@D_6", " 9/ 7/2004"}, {"@d2", " 7/09/2004"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FmtDate(c.picture, d), c.text) << c.picture;
    EXPECT_EQ(Picture::Compile(c.picture).length(), static_cast<int>(std::string(c.text).size())) << c.picture;
  }
  EXPECT_EQ(FmtDate("@D1", 0), "  /  /  ");
  EXPECT_EQ(FmtDate("@D1", 3), "  /  /  ");
  EXPECT_EQ(FmtDate("@D1", -5), "  /  /  ");
  EXPECT_EQ(FmtDate("@D1B", 0), "        ");
  EXPECT_EQ(FmtDate("@D3", 0), "      ,    ");
  EXPECT_EQ(FmtDate("@D2", Serial(12, 31, 9999)), "12/31/9999");
  EXPECT_EQ(FmtDate("@D2", kFirstDateSerial), " 1/01/1801");
}

TEST_F(PictureTest, LocaleSuppliesMonthNamesAndDateFormats) {
  LocaleSettings locale;
  const char* names[] = {"Januar", "Februar", "Maerz", "April", "Mai", "Juni",
                         "Juli", "August", "September", "Oktober", "November", "Dezember"};
  for (int m = 0; m < 12; ++m) locale.month_names[m] = names[m];
  locale.short_date = "d.M.yyyy";
  locale.long_date = "dddd, d. MMMM yyyy";
  SetLocale(locale);
  int32_t d = Serial(3, 5, 2004);
  EXPECT_EQ(FmtDate("@D4", d), "Maerz  5, 2004       ");
  EXPECT_EQ(FmtDate("@D3", d), "MAE  5,2004");
  EXPECT_EQ(FmtDate("@D17", d), " 5. 3.2004");
  EXPECT_EQ(FmtDate("@D17-", d), " 5- 3-2004");
  EXPECT_EQ(FmtDate("@D18", d), " 5. Maerz 2004       ");
  EXPECT_EQ(Def(" 5. Maerz 2004", "@D18"), std::to_string(d));
  EXPECT_EQ(Def("5 mae 2004", "@D8"), std::to_string(d));
}

TEST_F(PictureTest, EveryTimePicture) {
  int32_t t = TimeSerial(13, 5, 9);
  struct Case {
    const char* picture;
    const char* text;
  } cases[] = {
      {"@T1", "13:05"},    {"@T2", "1305"},     {"@T3", " 1:05PM"},   {"@T4", "13:05:09"},
      {"@T5", "130509"},   {"@T6", " 1:05:09PM"}, {"@T7", " 1:05PM"}, {"@T8", " 1:05:09PM"},
      {"@T4.", "13.05.09"}, {"@T01", "13:05"},  {"@T4_", "13 05 09"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatInteger(Picture::Compile(c.picture), t), c.text) << c.picture;
  EXPECT_EQ(FormatInteger(Picture::Compile("@T1"), TimeSerial(9, 5, 0)), " 9:05");
  EXPECT_EQ(FormatInteger(Picture::Compile("@T01"), TimeSerial(9, 5, 0)), "09:05");
  EXPECT_EQ(FormatInteger(Picture::Compile("@T3"), 1), "12:00AM");
  EXPECT_EQ(FormatInteger(Picture::Compile("@T3"), TimeSerial(12, 30, 0)), "12:30PM");
  EXPECT_EQ(FormatInteger(Picture::Compile("@T3"), 0), "  :    ");
  EXPECT_EQ(FormatInteger(Picture::Compile("@T4"), 8640001), "  :  :  ");
  EXPECT_EQ(FormatInteger(Picture::Compile("@T1B"), 0), "     ");

  LocaleSettings locale;
  locale.clock_24_hour = true;
  locale.hour_leading_zero = true;
  locale.time_separator = '.';
  SetLocale(locale);
  EXPECT_EQ(FormatInteger(Picture::Compile("@T7"), TimeSerial(9, 5, 9)), "09.05");
  EXPECT_EQ(FormatInteger(Picture::Compile("@T8"), TimeSerial(9, 5, 9)), "09.05.09");
}

TEST_F(PictureTest, PatternAndKeyIn) {
  EXPECT_EQ(Fmt("@P(###)###-####P", "5551234567"), "(555)123-4567");
  EXPECT_EQ(Fmt("@P###-##P", "123"), "001-23");
  EXPECT_EQ(Fmt("@P<<#P", "5"), "  5");
  EXPECT_EQ(Fmt("@P<<#P", "105"), "105");
  EXPECT_EQ(Fmt("@P##P", "123"), "##");
  EXPECT_EQ(Fmt("@P##P", "-12"), "##");
  EXPECT_EQ(Fmt("@p##.##p", "1234"), "12.34");
  EXPECT_EQ(FormatString(Picture::Compile("@P(###)###-####P"), "555-123-4567"), "(555)123-4567");
  // Literals of a pattern are never taken for a sign.
  EXPECT_EQ(Def("(555)123-4567", "@P(###)###-####P"), "5551234567");
  EXPECT_EQ(Def("555 123", "@P(###)###-####P"), "555123");

  Picture key = Picture::Compile("@K###-^^_?K");
  EXPECT_EQ(key.length(), 8);
  EXPECT_EQ(FormatString(key, "123abcd"), "123-ABcd");
  EXPECT_EQ(FormatString(key, "123-abCd"), "123-ABcd");
  EXPECT_EQ(FormatString(key, "12"), "12 -    ");
  EXPECT_EQ(Deformat("123-ABcd", key), "123ABcd");
  EXPECT_EQ(FormatString(Picture::Compile("@K\\###K"), "42"), "#42");
  EXPECT_EQ(Picture::Compile("@K##|##K").length(), 4);
}

TEST_F(PictureTest, StringPictures) {
  EXPECT_EQ(FormatString(Picture::Compile("@S5"), "abcdefg"), "abcde");
  EXPECT_EQ(FormatString(Picture::Compile("@S5"), "ab"), "ab   ");
  EXPECT_EQ(FormatString(Picture::Compile("@s3  "), "abcdef"), "abc");
  EXPECT_EQ(FormatInteger(Picture::Compile("@S6"), -42), "-42   ");
  EXPECT_EQ(FormatString(Picture::Compile(""), "x").size(), 255u);
  EXPECT_EQ(FormatString(Picture::Compile("@N-6"), "-12"), "   -12");
}

TEST_F(PictureTest, DeformatNumbers) {
  EXPECT_EQ(Def("        -1,234", "@n-14"), "-1234");
  EXPECT_EQ(Def("         1,234", "@n-14"), "1234");
  EXPECT_EQ(Def("-1,234", "@n-14"), "-1234");
  EXPECT_EQ(Def("    (5.00)", "@N(10.2)"), "-5.00");
  EXPECT_EQ(Def("    5.00-", "@N8.2-"), "-5.00");
  EXPECT_EQ(Def("$ 1,234.50", "@N$10.2"), "1234.50");
  EXPECT_EQ(Def("  150", "@N5v2"), "1.50");
  EXPECT_EQ(Def("150", "@N5v2"), "1.50");
  EXPECT_EQ(Def("5", "@N5v2"), "0.05");
  EXPECT_EQ(Def("    1.234,50", "@N12`2"), "1234.50");
  EXPECT_EQ(Def("1.234,5", "@N12`2"), "1234.5");
  EXPECT_EQ(Def("          ", "@N10.2"), "0.00");
  EXPECT_EQ(Def("", "@N10.2"), "0");
  EXPECT_EQ(Def("-0.00", "@N10.2"), "0.00");
  EXPECT_EQ(Def("*****1,234", "@N*10"), "1234");

  EXPECT_EQ(Deformat("-12.5e-3x"), "-12.5e-3");
  EXPECT_EQ(Deformat("1-2"), "12");
  EXPECT_EQ(Deformat("1.2.3"), "1.23");
  EXPECT_EQ(Deformat(""), "");
  EXPECT_EQ(Deformat("$1,234.50", Picture::Compile("")), "1234.50");
  EXPECT_EQ(Deformat("$1,234.50", Picture::Compile("@S10")), "1234.50");
}

TEST_F(PictureTest, DeformatDates) {
  std::string new_year = std::to_string(Serial(1, 1, 1999));
  EXPECT_EQ(Def(" 1/01/99", "@D1"), new_year);
  EXPECT_EQ(Def("1/1/99", "@D1"), new_year);
  EXPECT_EQ(Def("1/1/1999", "@D1"), new_year);
  EXPECT_EQ(Def("990101", "@D11"), new_year);
  EXPECT_EQ(Def("19990101", "@D12"), new_year);
  EXPECT_EQ(Def("JAN  1,1999", "@D3"), new_year);
  EXPECT_EQ(Def("january 1, 1999", "@D4"), new_year);
  EXPECT_EQ(Def("01/99", "@D13"), new_year);  // no day: the first
  EXPECT_EQ(Def("13/45/99", "@D1"), "-1");
  EXPECT_EQ(Def("  /  /  ", "@D1"), "0");
  EXPECT_EQ(Def("", "@D1"), "0");
  EXPECT_EQ(Def("XYZ 1,1999", "@D3"), "-1");
  // The century window, with the current year 1999.
  EXPECT_EQ(Def("1/1/19", "@D1"), std::to_string(Serial(1, 1, 2019)));
  EXPECT_EQ(Def("1/1/20", "@D1"), std::to_string(Serial(1, 1, 1920)));
  EXPECT_EQ(Def("1/1/20", "@D1<70"), std::to_string(Serial(1, 1, 2020)));
  EXPECT_EQ(Def("1/1/41", "@D1>40"), std::to_string(Serial(1, 1, 1941)));
  EXPECT_EQ(Def("1/1/40", "@D1>40"), std::to_string(Serial(1, 1, 2040)));
}

TEST_F(PictureTest, DeformatTimes) {
  EXPECT_EQ(Def(" 1:05PM", "@T3"), std::to_string(TimeSerial(13, 5, 0)));
  EXPECT_EQ(Def("1:05 pm", "@T3"), std::to_string(TimeSerial(13, 5, 0)));
  EXPECT_EQ(Def("12:30PM", "@T3"), std::to_string(TimeSerial(12, 30, 0)));
  EXPECT_EQ(Def("12:30AM", "@T3"), std::to_string(TimeSerial(0, 30, 0)));
  EXPECT_EQ(Def("12:00AM", "@T3"), "0");
  EXPECT_EQ(Def("1305", "@T2"), std::to_string(TimeSerial(13, 5, 0)));
  EXPECT_EQ(Def("13:05:09", "@T4"), std::to_string(TimeSerial(13, 5, 9)));
  EXPECT_EQ(Def("24:00", "@T1"), "-1");
  EXPECT_EQ(Def("10:60", "@T1"), "-1");
  EXPECT_EQ(Def("  :  ", "@T1"), "0");
}

// FORMAT then DEFORMAT gives the serial back wherever the picture shows all
// of it: every day for four-digit years, the window's hundred years for two
// digits, the first of each month for month-and-year pictures.
TEST_F(PictureTest, DatePicturesRoundTripOverTheWholeRange) {
  auto round_trip = [](const char* text, int32_t from, int32_t to, int32_t step) {
    Picture p = Picture::Compile(text);
    int failures = 0;
    for (int32_t s = from; s <= to && failures < 5; s += step) {
      std::string shown = FormatInteger(p, s);
      if (Deformat(shown, p) != std::to_string(s)) {
        ADD_FAILURE() << text << " serial " << s << " shown '" << shown << "' read back "
                      << Deformat(shown, p);
        ++failures;
      }
    }
  };
  const int32_t first = kFirstDateSerial, last = kLastDateSerial;
  // Every day through one four-digit picture, a prime stride through the others.
  round_trip("@D10", first, last, 97);
  for (const char* p : {"@D2", "@D3", "@D4", "@D6", "@D8", "@D12", "@D18", "@D010-", "@D*2"}) {
    round_trip(p, first + 5, last, 331);
    round_trip(p, first, first + 120, 1);
    round_trip(p, last - 120, last, 1);
  }
  int32_t window_first = Serial(1, 1, 1999 - 79), window_last = Serial(12, 31, 1999 + 20);
  round_trip("@D1", window_first, window_last, 3);
  for (const char* p : {"@D5", "@D7", "@D9", "@D11", "@D17", "@D01.", "@D1<80"}) {
    round_trip(p, window_first, window_last, 13);
  }
  round_trip("@D1<30", Serial(1, 1, 1999 - 29), Serial(12, 31, 1999 + 70), 13);
  auto month_starts = [](const char* text, int from_year, int to_year) {
    Picture p = Picture::Compile(text);
    for (int year = from_year; year <= to_year; ++year) {
      for (int month = 1; month <= 12; ++month) {
        int32_t s = korvex::Date(month, 1, year);
        ASSERT_EQ(Deformat(FormatInteger(p, s), p), std::to_string(s)) << text << " " << s;
      }
    }
  };
  for (const char* p : {"@D14", "@D16"}) month_starts(p, 1801, 9999);
  for (const char* p : {"@D13", "@D15"}) month_starts(p, 1999 - 79, 1999 + 20);
}

// Midnight (serial 1) reads back as "no time", as the stored form has it.
TEST_F(PictureTest, TimePicturesRoundTripOverTheDay) {
  for (const char* text : {"@T1", "@T2", "@T3", "@T4", "@T5", "@T6", "@T7", "@T8", "@T04.", "@T6_"}) {
    Picture p = Picture::Compile(text);
    bool seconds = text[2] == '4' || text[2] == '5' || text[2] == '6' || text[2] == '8' || text[3] == '4';
    int step = seconds ? 700 : 6000;
    int failures = 0;
    for (int32_t s = 1 + step; s <= kLastTimeSerial && failures < 5; s += step) {
      std::string shown = FormatInteger(p, s);
      if (Deformat(shown, p) != std::to_string(s)) {
        ADD_FAILURE() << text << " serial " << s << " shown '" << shown << "'";
        ++failures;
      }
    }
    EXPECT_EQ(Deformat(FormatInteger(p, 1), p), "0") << text;
  }
}

}  // namespace
}  // namespace korvex
