#include "framework/ini_settings.h"

#include <gtest/gtest.h>

#include "runtime/os/temp_dir.h"

namespace korvex::framework {
namespace {

struct Column {
  std::string name;
  std::string width;
  std::string format;
};

class IniSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    path = dir.File("korvex.INI");
    ini.Init(path);
  }
  os::TempDir dir{"inisettings"};
  std::string path;
  IniSettings ini;
};

TEST_F(IniSettingsTest, SingleEntriesAndFields) {
  EXPECT_EQ(ini.Fetch("Main", "Top"), "---Unknown---");
  ASSERT_TRUE(ini.Store("Main", "Top", "120"));
  ASSERT_TRUE(ini.Store("Main", "Empty", ""));
  ASSERT_TRUE(ini.Store("Main", "Pos", "10,,30"));
  EXPECT_EQ(ini.Fetch("main", "top"), "120");
  EXPECT_EQ(ini.Fetch("Main", "Empty"), "");
  EXPECT_EQ(ini.FetchField("Main", "Pos", 1), "10");
  EXPECT_EQ(ini.FetchField("Main", "Pos", 2), "");
  EXPECT_EQ(ini.FetchField("Main", "Pos", 3), "30");
  EXPECT_EQ(ini.FetchField("Main", "Pos", 4), "");
  EXPECT_EQ(ini.FetchField("Main", "Pos", 9), "");
  ASSERT_TRUE(ini.Store("Main", "Long", std::string(2000, 'x')));
  EXPECT_EQ(ini.Fetch("Main", "Long"), std::string(1023, 'x'));
}

TEST_F(IniSettingsTest, ListsOfOneToThreeFieldsRoundTrip) {
  std::vector<Column> columns = {{"Name", "80", "@s20"}, {"Phone", "", "@p###p"}, {"X", "1", ""}};
  ASSERT_TRUE(ini.StoreList("Browse", "Cols", columns, &Column::name, &Column::width,
                            &Column::format));
  std::vector<Column> three;
  ini.FetchList("Browse", "Cols", &three, &Column::name, &Column::width, &Column::format);
  ASSERT_EQ(three.size(), 3u);
  EXPECT_EQ(three[1].name, "Phone");
  EXPECT_EQ(three[1].width, "");
  EXPECT_EQ(three[1].format, "@p###p");
  EXPECT_EQ(three[2].format, "");

  ASSERT_TRUE(ini.StoreList("Browse", "Names", columns, &Column::name));
  std::vector<Column> one;
  ini.FetchList("Browse", "Names", &one, &Column::name);
  ASSERT_EQ(one.size(), 3u);
  EXPECT_EQ(ini.Fetch("Browse", "Names_2"), "Phone");

  std::vector<Column> two;
  ini.FetchList("Browse", "Cols", &two, &Column::name, &Column::width);
  ASSERT_EQ(two.size(), 3u);
  EXPECT_EQ(two[0].width, "80");
  EXPECT_EQ(two[0].format, "");

  // A shorter list leaves the old third row; the count makes readers skip it.
  columns.pop_back();
  ASSERT_TRUE(ini.StoreList("Browse", "Cols", columns, &Column::name, &Column::width));
  EXPECT_EQ(ini.Fetch("Browse", "Cols_3"), "X,1,");
  std::vector<Column> again;
  ini.FetchList("Browse", "Cols", &again, &Column::name, &Column::width);
  EXPECT_EQ(again.size(), 2u);
}

TEST_F(IniSettingsTest, ListReadingStopsAtTheFirstMissingRow) {
  ASSERT_TRUE(ini.Store("Q", "L", "1000000"));
  ASSERT_TRUE(ini.Store("Q", "L_1", "a"));
  ASSERT_TRUE(ini.Store("Q", "L_2", "b"));
  ASSERT_TRUE(ini.Store("Q", "L_4", "d"));
  EXPECT_EQ(ini.FetchRows("Q", "L", 1).size(), 2u);
  ASSERT_TRUE(ini.Store("Q", "L", "junk"));
  EXPECT_TRUE(ini.FetchRows("Q", "L", 1).empty());
}

TEST(IniSectorName, BuildsAndSplits) {
  EXPECT_EQ(IniSettings::SectorName("QBE", "Customers", "Saved"), "QBE$Customers$$Saved");
  EXPECT_EQ(IniSettings::SplitSectorName("QBE$Customers$$Saved"),
            (Sector{"QBE", "Customers", "Saved"}));
  EXPECT_EQ(IniSettings::SplitSectorName("QBE$$Saved"), (Sector{"QBE", "", "Saved"}));
  EXPECT_EQ(IniSettings::SplitSectorName("$$"), (Sector{"", "", ""}));
  EXPECT_EQ(IniSettings::SplitSectorName("A$b$c$$d$$e"), (Sector{"A", "b$c", "d$$e"}));
  EXPECT_EQ(IniSettings::SplitSectorName("A$b"), (Sector{"A", "b", ""}));
  EXPECT_EQ(IniSettings::SplitSectorName("plain"), (Sector{"plain", "", ""}));
}

TEST_F(IniSettingsTest, RegisterIsSortedWithoutDuplicatesAndWrittenWhenItGrows) {
  ini.RegisterSector("QBE$Goods$$Saved");
  ini.RegisterSector("QBE$Customers$$Saved");
  ini.RegisterSector("QBE$Goods$$Saved");
  ini.RegisterSector("Pop$Customers$$Menu");
  std::vector<Sector> expected = {{"Pop", "Customers", "Menu"},
                                  {"QBE", "Customers", "Saved"},
                                  {"QBE", "Goods", "Saved"}};
  EXPECT_EQ(ini.Sectors(), expected);
  EXPECT_EQ(ini.ListSectors("", "", ""), expected);
  EXPECT_EQ(ini.ListSectors("QBE", "", "Saved").size(), 2u);
  EXPECT_EQ(ini.ListSectors("", "Customers", "").size(), 2u);
  EXPECT_TRUE(ini.ListSectors("None", "", "").empty());

  // Another object over the same file sees the register before any Kill.
  IniSettings other;
  other.Init(path);
  EXPECT_EQ(other.Sectors(), expected);
  EXPECT_EQ(other.Fetch(IniSettings::kRegisterSection, "Sectors_1"), "Pop,Customers,Menu");
  other.Kill();
  ini.Kill();
  ini.Init(path);
  EXPECT_EQ(ini.Sectors(), expected);
}

}  // namespace
}  // namespace korvex::framework
