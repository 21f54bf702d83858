#include "data/view/view_engine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "data/driver/current_error.h"
#include "data/view/view_test_util.h"

namespace korvex::view {
namespace {

using namespace testing;
using ::testing::ElementsAre;

class ViewEngineTest : public ViewFixture {
 protected:
  void AddSuburbs() {
    // Record order differs from every order asked for.
    AddCustomer({5, "Ebbet", "north", "555-5", 50});
    AddCustomer({2, "Bramm", "South", "555-2", 20});
    AddCustomer({4, "Dorle", "NORTH", "555-4", 40});
    AddCustomer({1, "Avel", "South", "555-1", 10});
    AddCustomer({3, "Cobb", "East", "555-3", 30});
  }
};

TEST_F(ViewEngineTest, KeyServedOrderSortsRunsOfTheFirstComponentOnly) {
  AddSuburbs();
  OpenView("UPPER(CUS:SUBURB),CUS:NAME");
  ASSERT_EQ(View(driver::kOpNext), 0);
  EXPECT_EQ(Current().name, "Cobb");
  EXPECT_EQ(view_->source_key(), 4);  // CUS:BYSUBURB
  EXPECT_EQ(view_->served_components(), 1u);
  // The first suburb's one record plus the one read too far.
  EXPECT_EQ(view_->source_reads(), 2u);
  EXPECT_THAT(ReadAll(), ElementsAre("Dorle", "Ebbet", "Avel", "Bramm"));
  // After 33, NEXT starts again and PREVIOUS from the end.
  EXPECT_THAT(ReadAll(), ElementsAre("Cobb", "Dorle", "Ebbet", "Avel", "Bramm"));
  EXPECT_THAT(ReadAll(false), ElementsAre("Bramm", "Avel", "Ebbet", "Dorle", "Cobb"));
  EXPECT_EQ(view_->builds(), 1u);
}

TEST_F(ViewEngineTest, DescendingAndSortedOrdersAndFilters) {
  AddSuburbs();
  OpenView(" -CUS:NAME,+CUS:CUSID");
  EXPECT_EQ(view_->order_components(), 2u);
  EXPECT_THAT(ReadAll(), ElementsAre("Ebbet", "Dorle", "Cobb", "Bramm", "Avel"));
  ASSERT_EQ(SetText(kPropFilter, "CUS:STARTDATE >= 20 AND UPPER(SUBURB) <> 'EAST'"), 0);
  EXPECT_THAT(ReadAll(), ElementsAre("Ebbet", "Dorle", "Bramm"));
  ASSERT_EQ(SetText(kPropOrder, "CUS:CUSID"), 0);  // BYID serves it
  EXPECT_EQ(view_->served_components(), 0u);       // not built yet
  EXPECT_THAT(ReadAll(), ElementsAre("Bramm", "Dorle", "Ebbet"));
  EXPECT_EQ(view_->source_key(), 5);
  int64_t count = 0;
  ASSERT_EQ(View(driver::kOpRecordsFile, {Argument::NumberAnswer(&count)}), 0);
  EXPECT_EQ(count, 3);
}

TEST_F(ViewEngineTest, AnOptKeyThatLeavesRecordsOutDoesNotServeTheOrder) {
  AddSuburbs();
  AddCustomer({6, "Fenn", "", "555-6", 60});  // no BYSUBURB entry
  OpenView("UPPER(CUS:SUBURB),CUS:NAME");
  EXPECT_THAT(ReadAll(), ElementsAre("Fenn", "Cobb", "Dorle", "Ebbet", "Avel", "Bramm"));
  EXPECT_EQ(view_->served_components(), 0u);
  EXPECT_EQ(view_->runs_sorted(), 1u);
}

TEST_F(ViewEngineTest, OuterJoinDeliversACustomerWithoutGoodsOnceAndInnerSkipsIt) {
  AddSuburbs();
  AddGoods(1, "Bolts", 3);
  AddGoods(3, "Nails", 1);
  AddGoods(1, "Anchors", 2);
  ViewJoin join;
  join.key = &kGoodsKeys[0];
  join.parent_fields = {1};
  join.level.file = goods_.get();
  join.level.entry = &brisken::BkfEntry;
  declaration_.primary.joins.push_back(join);
  OpenView("CUS:CUSID");
  std::vector<std::string> seen;
  while (View(driver::kOpNext) == 0) seen.push_back(Current().name + "/" + CurrentItem());
  EXPECT_THAT(seen, ElementsAre("Avel/Anchors", "Avel/Bolts", "Bramm/", "Cobb/Nails", "Dorle/",
                                "Ebbet/"));
  declaration_.primary.joins[0].inner = true;
  OpenView("CUS:CUSID");
  seen.clear();
  while (View(driver::kOpNext) == 0) seen.push_back(Current().name + "/" + CurrentItem());
  EXPECT_THAT(seen, ElementsAre("Avel/Anchors", "Avel/Bolts", "Cobb/Nails"));
  // Backwards the combinations come in reverse.
  seen.clear();
  while (View(driver::kOpPrevious) == 0) seen.push_back(Current().name + "/" + CurrentItem());
  EXPECT_THAT(seen, ElementsAre("Cobb/Nails", "Avel/Bolts", "Avel/Anchors"));
  // An expression join does the same work without a key.
  declaration_.primary.joins[0].key = nullptr;
  declaration_.primary.joins[0].expression = "GOO:CUSID = CUS:CUSID AND GOO:QTY > 1";
  OpenView("-CUS:CUSID");
  seen.clear();
  while (View(driver::kOpNext) == 0) seen.push_back(Current().name + "/" + CurrentItem());
  EXPECT_THAT(seen, ElementsAre("Avel/Bolts", "Avel/Anchors"));
}

TEST_F(ViewEngineTest, AJoinOnAKeyOfAnotherFileIsRefusedAtOpen) {
  AddSuburbs();
  ViewJoin join;
  join.key = &brisken::testing::kCustomerKeys[0];
  join.parent_fields = {1};
  join.level.file = goods_.get();
  join.level.entry = &brisken::BkfEntry;
  declaration_.primary.joins.push_back(join);
  view_ = std::make_unique<ViewControlBlock>(&declaration_);
  EXPECT_EQ(View(driver::kOpOpen), driver::kErrInvalidKeyFile);
  EXPECT_EQ(View(driver::kOpNext), driver::kErrFileNotOpen);
}

TEST_F(ViewEngineTest, SetViewCapturesAtMostTheComponentsAndPositionsByValue) {
  AddSuburbs();
  OpenView("CUS:NAME");  // BYNAME is NOCASE: the plain name is sorted in memory
  EXPECT_EQ(view_->served_components(), 0u);
  SetCustomerBuffer({0, "Cz"});
  ASSERT_EQ(View(driver::kOpSetView, {Argument::Number(2)}), 0);
  std::string value;
  ASSERT_EQ(View(driver::kOpGetProperty, {Argument::Number(kPropStartValue), Argument::TextAnswer(&value),
                                          Argument::Number(1)}),
            0);
  EXPECT_EQ(value.substr(0, 2), "Cz");
  ASSERT_EQ(View(driver::kOpGetProperty, {Argument::Number(kPropStartValue), Argument::TextAnswer(&value),
                                          Argument::Number(2)}),
            0);
  EXPECT_EQ(value, "");  // no second component: nothing answered
  EXPECT_THAT(ReadAll(), ElementsAre("Dorle", "Ebbet"));
  SetCustomerBuffer({0, "Cz"});
  ASSERT_EQ(View(driver::kOpSetView, {Argument::Number(1)}), 0);
  ASSERT_EQ(View(driver::kOpPrevious), 0);
  EXPECT_EQ(Current().name, "Cobb");
  // Without start values: NEXT from the first, PREVIOUS from the last.
  ASSERT_EQ(View(driver::kOpSetView), 0);
  ASSERT_EQ(View(driver::kOpPrevious), 0);
  EXPECT_EQ(Current().name, "Ebbet");
  ASSERT_EQ(View(driver::kOpSetView, {Argument::Number(0)}), 0);
  ASSERT_EQ(View(driver::kOpNext), 0);
  EXPECT_EQ(Current().name, "Avel");
  // The same through a key that serves the order.
  ASSERT_EQ(SetText(kPropOrder, "UPPER(CUS:NAME)"), 0);
  SetCustomerBuffer({0, "cz"});
  ASSERT_EQ(View(driver::kOpSetView, {Argument::Number(1)}), 0);
  EXPECT_THAT(ReadAll(), ElementsAre("Dorle", "Ebbet"));
  EXPECT_EQ(view_->served_components(), 1u);
}

TEST_F(ViewEngineTest, SetViewFindsItsPlaceInsideASortedRunBothWays) {
  // One suburb's run of 40 names, sorted in memory, between two others.
  AddCustomer({100, "Amble", "East", "e", 0});
  for (int i = 0; i < 40; ++i) {
    int k = (i * 17) % 40;  // not in name order
    char name[8];
    std::snprintf(name, sizeof name, "N%02d", k);
    AddCustomer({k + 1, name, k % 2 ? "North" : "NORTH", std::to_string(k), 0});
  }
  AddCustomer({200, "Zed", "South", "s", 0});
  for (bool descending : {false, true}) {
    SCOPED_TRACE(descending ? "descending names" : "ascending names");
    OpenView(descending ? "UPPER(CUS:SUBURB),-CUS:NAME" : "UPPER(CUS:SUBURB),CUS:NAME");
    ASSERT_EQ(View(driver::kOpNext), 0);  // builds the pipeline
    ASSERT_EQ(view_->served_components(), 1u);
    const uint64_t builds = view_->builds();
    for (int k = -1; k <= 40; ++k) {
      // Exactly a name, and just past it in the order's direction.
      for (bool between : {false, true}) {
        char name[8];
        std::snprintf(name, sizeof name, k < 0 ? "A" : k > 39 ? "Nz" : "N%02d", k);
        std::string start = name;
        if (between && descending) {
          start.back() = static_cast<char>(start.back() - 1);  // just below the name
          start += 'z';
        } else if (between) {
          start += 'x';  // just above it
        }
        SetCustomerBuffer({0, start, "north"});
        ASSERT_EQ(View(driver::kOpSetView, {Argument::Number(2)}), 0);
        int32_t code = View(driver::kOpNext);
        // The first name not below the start in the order's direction.
        int want = -1;
        for (int j = 0; j < 40 && want < 0; ++j) {
          int n = descending ? 39 - j : j;
          char candidate[8];
          std::snprintf(candidate, sizeof candidate, "N%02d", n);
          if (descending ? std::string(candidate) <= start : std::string(candidate) >= start) want = n;
        }
        SCOPED_TRACE("start '" + start + "'");
        ASSERT_EQ(code, 0);
        if (want < 0) {
          EXPECT_EQ(Current().name, "Zed");  // past the run: the next suburb
        } else {
          EXPECT_EQ(Current().phone, std::to_string(want));
        }
      }
    }
    EXPECT_EQ(view_->builds(), builds);
  }
  // With a component the evaluator reads among those compared, the run is
  // searched one by one.
  OpenView("UPPER(CUS:SUBURB),CUS:NAME,SUB(CUS:PHONE,1,1)");
  for (const char* phone : {"5", "6"}) {
    SetCustomerBuffer({0, "N05", "North", phone});
    ASSERT_EQ(View(driver::kOpSetView, {Argument::Number(3)}), 0);
    ASSERT_EQ(View(driver::kOpNext), 0);
    EXPECT_EQ(Current().name, std::string(phone) == "5" ? "N05" : "N06");
  }
}

TEST_F(ViewEngineTest, ASuccessfulReadLeavesNoCurrentErrorBehind) {
  AddSuburbs();
  OpenView("UPPER(CUS:SUBURB),CUS:NAME");
  // The last run is read to the end of the file before its first row is delivered.
  std::vector<std::string> names;
  while (View(driver::kOpNext) == 0) {
    names.push_back(Current().name);
    EXPECT_EQ(driver::GetCurrentError().code, 0) << names.back();
  }
  EXPECT_EQ(driver::GetCurrentError().code, driver::kErrRecordNotAvailable);
  EXPECT_THAT(names, ElementsAre("Cobb", "Dorle", "Ebbet", "Avel", "Bramm"));
  // Counting reads every record up to the end of the file.
  int64_t count = 0;
  ASSERT_EQ(View(driver::kOpRecordsFile, {Argument::NumberAnswer(&count)}), 0);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(driver::GetCurrentError().code, 0);
}

TEST_F(ViewEngineTest, PositionsResetAndRegetTheDeliveredRecord) {
  AddSuburbs();
  OpenView("UPPER(CUS:SUBURB),-CUS:NAME");
  for (int i = 0; i < 3; ++i) ASSERT_EQ(View(driver::kOpNext), 0);
  EXPECT_EQ(Current().name, "Dorle");
  std::vector<uint8_t> field(1024, 'x');
  ASSERT_EQ(View(driver::kOpPositionFile, {Argument::Buffer(field)}), 0);
  EXPECT_EQ(field.back(), ' ');  // blank padded
  EXPECT_THAT(ReadAll(), ElementsAre("Bramm", "Avel"));
  ASSERT_EQ(View(driver::kOpResetFile, {Argument::Buffer(field)}), 0);
  ASSERT_EQ(View(driver::kOpNext), 0);
  EXPECT_EQ(Current().name, "Dorle");
  ASSERT_EQ(View(driver::kOpResetFile, {Argument::Buffer(field)}), 0);
  ASSERT_EQ(View(driver::kOpPrevious), 0);
  EXPECT_EQ(Current().name, "Ebbet");
  // The position does not depend on the order.
  ASSERT_EQ(SetText(kPropOrder, "CUS:CUSID"), 0);
  ASSERT_EQ(View(driver::kOpResetFile, {Argument::Buffer(field)}), 0);
  EXPECT_THAT(ReadAll(), ElementsAre("Dorle", "Ebbet"));
  SetCustomerBuffer({});
  ASSERT_EQ(View(driver::kOpRegetFile, {Argument::Buffer(field)}), 0);
  EXPECT_EQ(Current().name, "Dorle");
  // A position the filter now leaves out is the place the view goes on from.
  ASSERT_EQ(SetText(kPropFilter, "CUS:NAME <> 'Dorle'"), 0);
  ASSERT_EQ(View(driver::kOpResetFile, {Argument::Buffer(field)}), 0);
  EXPECT_THAT(ReadAll(), ElementsAre("Ebbet"));
  ASSERT_EQ(View(driver::kOpResetFile, {Argument::Buffer(field)}), 0);
  ASSERT_EQ(View(driver::kOpPrevious), 0);
  EXPECT_EQ(Current().name, "Cobb");
  ASSERT_EQ(SetText(kPropFilter, ""), 0);
  std::string garbage = "V0099:1";
  EXPECT_EQ(View(driver::kOpResetFile, {Argument::Text(garbage)}), driver::kErrRecordNotFound);
  // RESETviewfile: the file's current record is where the view goes on.
  SetCustomerBuffer({0, "Bramm"});
  ASSERT_EQ(Run(*customers_, driver::kOpGetFileKey, {Argument::Key(&brisken::testing::kCustomerKeys[0])}), 0);
  ASSERT_EQ(View(driver::kOpResetViewFile, {Argument::File(customers_.get())}), 0);
  ASSERT_EQ(View(driver::kOpNext), 0);
  EXPECT_EQ(Current().name, "Bramm");
}

// What the primary file's read hold was at each record the view read through it.
std::vector<std::string> g_holds_seen;

std::string ReadHoldOf(FileControlBlock* file) {
  std::string reply;
  Arguments query{Argument::Text("READHOLD"), Argument::TextAnswer(&reply)};
  brisken::BkfEntry(driver::kOpSend, file, &query);
  return reply;
}

int32_t HoldSpyEntry(int op, FileControlBlock* file, const Arguments* args) {
  if (op == driver::kOpNext || op == driver::kOpPrevious) g_holds_seen.push_back(ReadHoldOf(file));
  return brisken::BkfEntry(op, file, args);
}

TEST_F(ViewEngineTest, FilesHoldTheirReadAccessOnlyWhileAViewOperationRuns) {
  // A sorted run reads many records in one view operation: the file keeps its
  // reader access through them, and gives it up before the operation returns
  // (a hold left behind would keep other programs from committing).
  AddSuburbs();
  declaration_.primary.entry = &HoldSpyEntry;
  OpenView("UPPER(CUS:SUBURB),-CUS:NAME");
  g_holds_seen.clear();
  ASSERT_EQ(View(driver::kOpNext), 0);
  EXPECT_EQ(ReadHoldOf(customers_.get()), "OFF");
  ASSERT_EQ(View(driver::kOpNext), 0);
  ASSERT_EQ(View(driver::kOpPrevious), 0);
  EXPECT_EQ(ReadHoldOf(customers_.get()), "OFF");
  SetCustomerBuffer({0, "", "North"});
  ASSERT_EQ(View(driver::kOpSetView, {Argument::Number(1)}), 0);
  ASSERT_EQ(View(driver::kOpNext), 0);
  EXPECT_EQ(Current().name, "Ebbet");  // north's run, names descending
  EXPECT_EQ(ReadHoldOf(customers_.get()), "OFF");
  EXPECT_EQ(ReadHoldOf(customers_.get()), "OFF");
  ASSERT_FALSE(g_holds_seen.empty());
  EXPECT_THAT(g_holds_seen, ::testing::Each(::testing::Eq("ON")));
}

TEST_F(ViewEngineTest, WritesThroughTheViewHitTheDeliveredRecordAndFlushShowsChanges) {
  AddSuburbs();
  OpenView("UPPER(CUS:SUBURB),CUS:NAME");
  ASSERT_EQ(View(driver::kOpNext), 0);
  ASSERT_EQ(View(driver::kOpNext), 0);  // Dorle, out of a sorted run
  ASSERT_EQ(Current().name, "Dorle");
  std::memcpy(customer_ + 44, "999-9", 5);
  ASSERT_EQ(View(driver::kOpPut), 0);
  // A record added behind the view's back appears after FLUSH.
  uint8_t keep[68];
  std::memcpy(keep, customer_, 68);
  AddCustomer({7, "Dabb", "north", "555-7", 70});
  std::memcpy(customer_, keep, 68);
  ASSERT_EQ(View(driver::kOpFlush), 0);
  EXPECT_THAT(ReadAll(), ElementsAre("Ebbet", "Avel", "Bramm"));
  ASSERT_EQ(View(driver::kOpFlush), 0);
  std::vector<std::string> all = ReadAll();
  EXPECT_EQ(all.size(), 6u);
  EXPECT_EQ(all[1], "Dabb");
  SetCustomerBuffer({0, "Dorle"});
  ASSERT_EQ(Run(*customers_, driver::kOpGetFileKey, {Argument::Key(&brisken::testing::kCustomerKeys[0])}), 0);
  EXPECT_EQ(Current().phone, "999-9");
}

TEST_F(ViewEngineTest, DeletingThroughTheViewTheLastRecordReadOfARunKeepsTheViewGoing) {
  AddSuburbs();
  OpenView("UPPER(CUS:SUBURB),CUS:NAME");
  ASSERT_EQ(View(driver::kOpSkip, {Argument::Number(2)}), 0);
  ASSERT_EQ(Current().name, "Dorle");  // added after Ebbet: the run's last in key order
  ASSERT_EQ(View(driver::kOpDelete), 0);
  EXPECT_THAT(ReadAll(), ElementsAre("Ebbet", "Avel", "Bramm"));
  // The same backwards over a run whose first record went.
  OpenView("-UPPER(CUS:SUBURB),CUS:NAME");
  ASSERT_EQ(View(driver::kOpNext), 0);
  ASSERT_EQ(Current().name, "Avel");  // SOUTH first, read from the key's end
  ASSERT_EQ(View(driver::kOpNext), 0);
  ASSERT_EQ(View(driver::kOpNext), 0);
  ASSERT_EQ(Current().name, "Ebbet");
  ASSERT_EQ(View(driver::kOpDelete), 0);
  EXPECT_THAT(ReadAll(false), ElementsAre("Bramm", "Avel"));
  EXPECT_EQ(View(driver::kOpWatch), 0);
  EXPECT_THAT(ReadAll(), ElementsAre("Avel", "Bramm", "Cobb"));
}

TEST_F(ViewEngineTest, BadTextsAreRefusedAndUnsupportedOperationsAnswer80) {
  AddSuburbs();
  OpenView("CUS:NAME", "CUS:CUSID > 2");
  EXPECT_EQ(SetText(kPropFilter, "CUS:CUSID >"), kErrViewText);
  EXPECT_EQ(driver::GetCurrentError().code, kErrViewText);
  EXPECT_NE(driver::GetCurrentError().file_error.find("filter"), std::string::npos);
  EXPECT_EQ(SetText(kPropFilter, "NOSUCH = 1"), kErrViewText);
  EXPECT_EQ(SetText(kPropOrder, "CUS:NAME,"), kErrViewText);
  EXPECT_EQ(SetText(kPropOrder, "UPPER(CUS:NAME,"), kErrViewText);
  EXPECT_EQ(SetText(kPropOrder, "CUS:NAME, BOGUS"), kErrViewText);
  std::string text;
  ASSERT_EQ(View(driver::kOpGetProperty, {Argument::Number(kPropFilter), Argument::TextAnswer(&text)}), 0);
  EXPECT_EQ(text, "CUS:CUSID > 2");
  ASSERT_EQ(View(driver::kOpGetProperty, {Argument::Number(kPropOrder), Argument::TextAnswer(&text)}), 0);
  EXPECT_EQ(text, "CUS:NAME");
  EXPECT_THAT(ReadAll(), ElementsAre("Cobb", "Dorle", "Ebbet"));
  // Setting the same text again does not rebuild.
  uint64_t builds = view_->builds();
  ASSERT_EQ(SetText(kPropOrder, "CUS:NAME"), 0);
  ASSERT_EQ(SetText(kPropFilter, "CUS:CUSID > 2"), 0);
  ReadAll();
  EXPECT_EQ(view_->builds(), builds);
  EXPECT_EQ(View(driver::kOpBuffer), driver::kErrUnsupportedFunction);
  EXPECT_EQ(View(driver::kOpAdd), driver::kErrUnsupportedFunction);
  ASSERT_EQ(View(driver::kOpGetProperty, {Argument::Number(kPropFileCount), Argument::TextAnswer(&text)}), 0);
  EXPECT_EQ(text, "1");
  ASSERT_EQ(View(driver::kOpClose), 0);
  EXPECT_EQ(View(driver::kOpNext), driver::kErrFileNotOpen);
  EXPECT_EQ(ViewEntry(driver::kOpNext, nullptr, nullptr), driver::kErrFileNotOpen);
}

TEST_F(ViewEngineTest, TraceLinesNameTheViewAndDetailsFollowTheDriversSetting) {
  AddCustomer({1, "Avel", "South", "555-1", 10});
  view_ = std::make_unique<ViewControlBlock>(&declaration_);
  const std::string log = dir_.File("VIEW.LOG");
  view_->trace().on = true;
  view_->trace().file = log;
  ASSERT_EQ(SetText(kPropOrder, "CUS:NAME"), 0);
  ASSERT_EQ(View(driver::kOpOpen), 0);
  customers_->state->trace.details = true;
  ASSERT_EQ(View(driver::kOpNext), 0);
  EXPECT_EQ(View(driver::kOpNext), driver::kErrRecordNotAvailable);
  ASSERT_EQ(View(driver::kOpClose), 0);
  std::FILE* f = std::fopen(log.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::string text(4096, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), f));
  std::fclose(f);
  char handle[32];
  std::snprintf(handle, sizeof handle, "VIEW:%lX: 1) ", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(view_.get())));
  std::string open_line = std::string("SET_PROPERTY(") + handle;
  EXPECT_EQ(text.find(open_line), 0u) << text;
  EXPECT_NE(text.find("\r\nVIEW(FILE)\r\nEND\r\nNEXT(" + std::string(handle)), std::string::npos) << text;
  EXPECT_NE(text.find("Avel"), std::string::npos);  // the record after the read
  EXPECT_NE(text.find("Error: Record Not Available"), std::string::npos);
  EXPECT_NE(text.find("\r\nCLOSE(" + std::string(handle)), std::string::npos);
  EXPECT_EQ(text.find("VIEW(FILE)", text.find("VIEW(FILE)") + 1), std::string::npos);  // once
  // The head is padded to 24 columns (a long handle makes it longer).
  size_t line = text.find("OPEN(");
  ASSERT_NE(line, std::string::npos);
  size_t head = std::string("OPEN(").size() + std::strlen(handle);
  EXPECT_EQ(text.find("Time Taken: ", line), line + std::max<size_t>(24, head)) << text;
  EXPECT_EQ(ViewTraceLine(driver::kOpNext, reinterpret_cast<const void*>(0x1F), 2, 0, 123),
            "NEXT(VIEW:1F: 2)        Time Taken: 1.23 secs\r\n");
}

}  // namespace
}  // namespace korvex::view
