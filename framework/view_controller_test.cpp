#include "framework/view_controller.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data/driver/declaration_text.h"
#include "data/driver/file_control_block.h"
#include "framework/error_reporter.h"
#include "framework/file_controller.h"
#include "framework/recording_display.h"
#include "framework/relation_controller.h"

namespace korvex::framework {
namespace {

constexpr char kCustomer[] =
    "CUSTOMER          FILE,DRIVER('BRISKEN')\n"
    "CUS:BYNAME          KEY(+CUS:NAME),OPT,NOCASE\n"
    "CUS:BYSUBURB        KEY(+CUS:SUBURB,+CUS:NAME),DUP,OPT,NOCASE\n"
    "CUS:BYID            KEY(+CUS:CUSID),OPT,PRIMARY\n"
    "                    RECORD\n"
    "CUS:CUSID           LONG\n"
    "CUS:NAME            STRING(20)\n"
    "CUS:SUBURB          STRING(20)\n"
    "                    END\n"
    "                    END\n";

// A view that records what it is told and serves a scripted list of read results.
class FakeView : public ViewAccess {
 public:
  int32_t Open(uint8_t mode) override {
    calls.push_back("open " + std::to_string(mode));
    return open_error;
  }
  void Close() override { calls.push_back("close"); }
  void Buffer(uint16_t, uint16_t, uint16_t, uint16_t) override { calls.push_back("buffer"); }
  int32_t SetOrder(const std::string& text) override {
    calls.push_back("order " + text);
    return order_error;
  }
  int32_t SetFilter(const std::string& text) override {
    calls.push_back("filter " + text);
    return filter_error;
  }
  int32_t Set(int components) override {
    calls.push_back("set " + std::to_string(components));
    return 0;
  }
  int32_t Next() override { return Read(); }
  int32_t Previous() override { return Read(); }
  std::string Position() override { return "p"; }
  int32_t Reset(const std::string&) override { return 0; }
  int32_t ResetToPrimaryRecord() override { return 0; }
  int32_t Watch() override { return 0; }
  int32_t Reget(const std::string&) override { return 0; }
  int32_t Flush() override { return 0; }
  void ClearRecords() override { calls.push_back("clear"); }
  std::vector<const void*> Files() override { return {}; }

  int32_t Read() {
    if (reads.empty()) return 33;
    int32_t next = reads.front();
    reads.erase(reads.begin());
    return next;
  }

  std::vector<std::string> calls;
  std::vector<int32_t> reads;
  int32_t open_error = 0, order_error = 0, filter_error = 0;
};

class ViewControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    driver::DeclarationTextError error;
    ASSERT_TRUE(driver::ParseDeclarationText(kCustomer, &declaration_, &error)) << error.ToString();
    block_ = std::make_unique<driver::FileControlBlock>(&declaration_->declaration(), record_, sizeof record_);
    errors_.Init(&display_);
    file_.Init(block_.get(), &errors_);
    file_.file_name_value = "Customer";
    for (const driver::KeyDeclaration& key : declaration_->declaration().keys) file_.AddKey(&key, 0, key.label);
    relations_.Init(&file_, false);
    view_controller_.Init(&relations_, &view_);
  }
  void TearDown() override {
    view_controller_.Kill();
    relations_.Kill();
    errors_.Kill();
  }
  const driver::KeyDeclaration* Key(int n) { return &declaration_->declaration().keys[static_cast<size_t>(n)]; }
  static RangeValue Text(std::string value) { return RangeValue{[value] { return value; }, true}; }

  std::unique_ptr<driver::OwnedDeclaration> declaration_;
  uint8_t record_[44] = {};
  std::unique_ptr<driver::FileControlBlock> block_;
  RecordingDisplay display_;
  ErrorReporter errors_;
  FileController file_;
  RelationController relations_;
  FakeView view_;
  ViewController view_controller_;
};

TEST_F(ViewControllerTest, KeyOrdersGetTheirOrderTextAndTheLastAddedIsCurrent) {
  EXPECT_EQ(view_controller_.AddKeyOrder(Key(0)), 1);
  EXPECT_EQ(view_controller_.current_order()->order, "UPPER(CUS:NAME)");
  EXPECT_EQ(view_controller_.AddKeyOrder(Key(2)), 2);
  EXPECT_EQ(view_controller_.current_order()->order, "CUS:CUSID");
  EXPECT_EQ(view_controller_.current_order()->free_element, 1);
  EXPECT_EQ(view_controller_.FirstFreeComponent(), 1);
  EXPECT_EQ(view_controller_.FreeComponentName(), "CUS:CUSID");

  EXPECT_FALSE(view_controller_.UseSortOrder(2));  // already current
  EXPECT_TRUE(view_controller_.UseSortOrder(0));   // 0 counts as 1
  EXPECT_EQ(view_controller_.current_order_number(), 1);
  EXPECT_FALSE(view_controller_.UseSortOrder(3));  // beyond the last: nothing changes
  EXPECT_EQ(view_controller_.current_order_number(), 1);
}

TEST_F(ViewControllerTest, FilterTextFromRangesAndNamedFilters) {
  view_controller_.AddKeyOrder(Key(1));
  std::string text;
  ASSERT_TRUE(view_controller_.BuildFilterText(&text));
  EXPECT_EQ(text, "");  // no range, no filter

  SortOrder* order = view_controller_.current_order();
  order->limit_type = kRangeBetween;
  order->range = {Text("Avalon"), Text("A"), Text("M")};
  ASSERT_TRUE(view_controller_.BuildFilterText(&text));
  EXPECT_EQ(text,
            "UPPER(CUS:SUBURB) = UPPER('Avalon') AND UPPER(CUS:NAME) >= UPPER('A') AND "
            "UPPER(CUS:NAME) <= UPPER('M')");
  EXPECT_EQ(view_controller_.FirstFreeComponent(), 0);  // three pairs on a two-component key

  order->range = {Text("O'Hara")};
  order->limit_type = 1;
  view_controller_.SetStandardFilter("CUS:CUSID > 5");
  view_controller_.SetNamedFilter("CUS:CUSID < 90", "1 First");
  ASSERT_TRUE(view_controller_.BuildFilterText(&text));
  EXPECT_EQ(text, "UPPER(CUS:SUBURB) = UPPER('O''Hara') AND (CUS:CUSID < 90) AND (CUS:CUSID > 5)");

  order->limit_type = kRangeBetween;  // fewer than two pairs: no range at all
  view_controller_.SetNamedFilter("", "1 First");
  ASSERT_TRUE(view_controller_.BuildFilterText(&text));
  EXPECT_EQ(text, "(CUS:CUSID > 5)");
}

TEST_F(ViewControllerTest, OpenAppliesOrderAndFilterOnceAndSkipsUnchangedTexts) {
  view_controller_.AddKeyOrder(Key(0));
  view_controller_.SetStandardFilter("CUS:CUSID > 5");
  view_controller_.PositionViewAtStart();
  EXPECT_EQ(view_.calls, (std::vector<std::string>{"open 34", "buffer", "order UPPER(CUS:NAME)",
                                                   "filter (CUS:CUSID > 5)", "set 0"}));
  view_.calls.clear();
  view_controller_.RefreshOrder();
  view_controller_.RefreshFilter();
  view_controller_.PositionView(1);
  EXPECT_EQ(view_.calls, (std::vector<std::string>{"set 1"}));
  EXPECT_TRUE(display_.shown.empty());
}

TEST_F(ViewControllerTest, AFilterTooLongForItsRoomIsReportedAndNotCut) {
  view_controller_.AddKeyOrder(Key(0));
  view_controller_.SetStandardFilter(std::string(ViewController::kMaxFilterText, 'x'));
  view_controller_.Open();
  ASSERT_EQ(display_.shown.size(), 1u);
  EXPECT_EQ(view_.calls.back(), "filter ");
}

TEST_F(ViewControllerTest, RefusedOrderOrOpenIsReportedWithMessage40) {
  view_controller_.AddKeyOrder(Key(0));
  view_.open_error = 47;
  view_controller_.Open();
  EXPECT_FALSE(view_controller_.opened);
  EXPECT_EQ(display_.shown.size(), 1u);
  view_.open_error = 0;
  view_.order_error = 801;
  view_controller_.Open();
  EXPECT_TRUE(view_controller_.opened);
  EXPECT_EQ(display_.shown.size(), 2u);
}

TEST_F(ViewControllerTest, ReadsScreenRecordsAndMapEndAndErrors) {
  struct Screening : ViewController {
    std::vector<int> verdicts;
    int ScreenRecord() override {
      int v = verdicts.front();
      verdicts.erase(verdicts.begin());
      return v;
    }
  } screening;
  screening.Init(&relations_, &view_);
  screening.AddKeyOrder(Key(2));
  screening.PositionViewAtStart();
  view_.reads = {0, 0, 0};
  screening.verdicts = {2, 0, 1};
  EXPECT_EQ(screening.Next(), kOutcomeDone);  // the first record skipped
  EXPECT_EQ(screening.Next(), kOutcomeFailed);  // the screen says stop
  EXPECT_EQ(screening.Previous(), kOutcomeFailed);  // 33: nothing before
  view_.reads = {35};
  EXPECT_EQ(screening.Previous(), kOutcomeNotUsable);
  EXPECT_EQ(display_.shown.size(), 1u);  // the read error, reported once
  screening.Kill();
}

TEST_F(ViewControllerTest, RangeRecordTakesTheFixedValues) {
  view_controller_.AddKeyOrder(Key(1));
  SortOrder* order = view_controller_.current_order();
  order->limit_type = 1;
  order->range = {Text("Avalon")};
  EXPECT_TRUE(view_controller_.NeedsRefresh());  // never used yet
  view_controller_.Open();
  EXPECT_FALSE(view_controller_.NeedsRefresh());
  view_.calls.clear();
  view_controller_.PrepareRangeRecord(false);
  EXPECT_EQ(view_.calls.front(), "clear");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(record_) + 24, 6), "Avalon");
  order->range = {Text("Bondi")};
  EXPECT_TRUE(view_controller_.NeedsRefresh());
}

}  // namespace
}  // namespace korvex::framework
