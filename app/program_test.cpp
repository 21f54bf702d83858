#include "app/program.h"

#include <fstream>
#include <sstream>

#include "app/app_test_util.h"
#include "app/settings.h"
#include "framework/file_usage.h"
#include "runtime/os/file.h"

namespace korvex::app::testing {
namespace {

using framework::kOutcomeDone;

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    SetDataFolder(dir_.path());
  }
  void TearDown() override { SetDataFolder(""); }

  os::TempDir dir_{"korvex-program"};
  framework::RecordingDisplay display_;
};

TEST_F(ProgramTest, StartsRunsMainAndTakesEverythingDownInOrder) {
  std::vector<std::string> log;
  const size_t registered = framework::FileUsageRegistry::Instance().size();
  ProgramHooks hooks;
  hooks.display = &display_;
  hooks.ini_file = dir_.File("korvex.INI");
  hooks.finish_startup = [&] {
    log.push_back("startup");
    // The module initialisers ran first: buffers cleared, requests 0.
    EXPECT_EQ(RowFrom(CustomerRecord()).name, "");
    EXPECT_EQ(CallRequest, 0);
    EXPECT_EQ(CustomerFileRef, nullptr);
  };
  hooks.after_step = [&](int step) { log.push_back(std::to_string(step)); };
  hooks.run_main = [&] {
    log.push_back("main");
    ASSERT_EQ(CustomerFileRef, &CustomerFile);
    ASSERT_EQ(GoodsRelationsRef, &GoodsRelations);
    EXPECT_EQ(CustomerFile.DisplayName(), "Customer");
    EXPECT_EQ(framework::FileUsageRegistry::Instance().size(), registered + 2);
    // Main opens (creating both files), inserts, moves and closes.
    ASSERT_EQ(CustomerRelations.OpenWithRelated(false), kOutcomeDone);
    for (const char* name : {"First", "Second", "Third"}) {
      ASSERT_EQ(CustomerFile.PrepareNewRecord(false), kOutcomeDone);
      std::memcpy(CustomerRecord() + 4, name, std::strlen(name));
      ASSERT_EQ(CustomerFile.Insert(), kOutcomeDone);
    }
    std::vector<int32_t> page = {1, 2, 3};
    std::memcpy(CustomerRecord(), &page[0], 4);
    ASSERT_EQ(CustomerFile.FetchQuiet(&kCusById), kOutcomeDone);
    RotationValues values;
    ASSERT_EQ(RotateOrderNumbers(CustomerFile, 1, 3, page, values), kOutcomeDone);
    CustomerRelations.CloseWithRelated(false);
    AppIni.RegisterSector(framework::IniSettings::SectorName("Query", "Customers", "Saved"));
  };
  RunProgram(hooks);

  EXPECT_EQ(log, (std::vector<std::string>{"startup", "1", "2", "3", "4", "main", "5", "6", "7",
                                           "8"}));
  EXPECT_EQ(CustomerFileRef, nullptr);
  EXPECT_EQ(GoodsFileRef, nullptr);
  EXPECT_EQ(CustomerRelationsRef, nullptr);
  EXPECT_EQ(GoodsRelationsRef, nullptr);
  EXPECT_EQ(framework::FileUsageRegistry::Instance().size(), registered);
  EXPECT_TRUE(display_.shown.empty());

  std::vector<std::string> names;
  for (const CustomerRow& r : CustomersIn(dir_.path())) names.push_back(r.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Second", "Third", "First"}));
  EXPECT_TRUE(os::FileExists(dir_.File("GOODS.BKF")));  // created with the customers
  EXPECT_TRUE(GoodsIn(dir_.path()).empty());

  std::ifstream ini(dir_.File("korvex.INI"));
  std::stringstream text;
  text << ini.rdbuf();
  EXPECT_NE(text.str().find("[__Dont_Touch_Me__]"), std::string::npos);
  EXPECT_NE(text.str().find("Query,Customers,Saved"), std::string::npos);
}

TEST_F(ProgramTest, DeletingACustomerThroughItsRelationsDeletesItsGoods) {
  ProgramHooks hooks;
  hooks.display = &display_;
  hooks.ini_file = dir_.File("korvex.INI");
  hooks.run_main = [&] {
    ASSERT_EQ(CustomerRelations.OpenWithRelated(false), kOutcomeDone);
    for (int32_t id : {5, 6}) {
      RowInto(Customer(id, Numbered("Owner", id)), CustomerRecord());
      CustomerFile.has_autoinc = false;
      ASSERT_EQ(CustomerFile.Insert(), kOutcomeDone);
      for (const char* what : {"Pen", "Ink"}) {
        std::memset(GoodsRecord(), ' ', kGoodsRecordSize);
        std::memcpy(GoodsRecord(), &id, 4);
        std::memcpy(GoodsRecord() + 4, what, 3);
        ASSERT_EQ(GoodsFile.Insert(), kOutcomeDone);
      }
    }
    // Changing the number through the relations carries it into the goods.
    int32_t id = 5;
    std::memcpy(CustomerRecord(), &id, 4);
    ASSERT_EQ(CustomerFile.FetchQuiet(&kCusById), kOutcomeDone);
    CustomerRelations.SaveLinkValues();
    id = 8;
    std::memcpy(CustomerRecord(), &id, 4);
    ASSERT_EQ(CustomerRelations.Update(false), kOutcomeDone);
    // Deleting customer 6 deletes its goods with it.
    id = 6;
    std::memcpy(CustomerRecord(), &id, 4);
    ASSERT_EQ(CustomerFile.FetchQuiet(&kCusById), kOutcomeDone);
    ASSERT_EQ(CustomerRelations.Delete(false), kOutcomeDone);
    CustomerRelations.CloseWithRelated(false);
  };
  RunProgram(hooks);
  using Goods = std::vector<std::pair<int32_t, std::string>>;
  EXPECT_EQ(GoodsIn(dir_.path()), (Goods{{8, "Ink"}, {8, "Pen"}}));
  ASSERT_EQ(CustomersIn(dir_.path()).size(), 1u);
  EXPECT_EQ(CustomersIn(dir_.path())[0], Customer(8, "Owner5"));
  EXPECT_TRUE(display_.shown.empty());
}

}  // namespace
}  // namespace korvex::app::testing
