#include "framework/browse_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "data/driver/declaration_text.h"
#include "data/driver/file_control_block.h"
#include "framework/error_reporter.h"
#include "framework/fake_window.h"
#include "framework/file_controller.h"
#include "framework/recording_display.h"
#include "framework/relation_controller.h"
#include "framework/window_controller.h"

namespace korvex::framework {
namespace {

constexpr char kCustomer[] =
    "CUSTOMER          FILE,DRIVER('BRISKEN')\n"
    "CUS:BYID            KEY(+CUS:CUSID),OPT,PRIMARY\n"
    "                    RECORD\n"
    "CUS:CUSID           LONG\n"
    "CUS:NAME            STRING(20)\n"
    "                    END\n"
    "                    END\n";

// A view over an ordered list of customer numbers that puts the record it delivers into the
// customer buffer and counts what the browse asks of it.
class CountingView : public ViewAccess {
 public:
  explicit CountingView(uint8_t* record) : record_(record) {}

  int32_t Open(uint8_t) override { return 0; }
  void Close() override {}
  void Buffer(uint16_t, uint16_t, uint16_t, uint16_t) override {}
  int32_t SetOrder(const std::string&) override { return 0; }
  int32_t SetFilter(const std::string&) override { return 0; }
  int32_t Set(int components) override {
    ++positionings;
    pending_ = components == 0 ? Pending::kStart : Pending::kValue;
    pending_value_ = BufferId();
    return 0;
  }
  int32_t Next() override { return Read(true); }
  int32_t Previous() override { return Read(false); }
  std::string Position() override { return current_ < 0 ? "" : "#" + std::to_string(ids[static_cast<size_t>(current_)]); }
  int32_t Reset(const std::string& position) override {
    ++positionings;
    pending_ = Pending::kAt;
    pending_value_ = std::atoi(position.c_str() + 1);
    return 0;
  }
  int32_t ResetToPrimaryRecord() override {
    ++positionings;
    pending_ = Pending::kAt;
    pending_value_ = BufferId();
    return 0;
  }
  int32_t Watch() override { return 0; }
  int32_t Reget(const std::string& position) override {
    int32_t id = std::atoi(position.c_str() + 1);
    auto at = std::find(ids.begin(), ids.end(), id);
    if (at == ids.end()) return 35;
    Deliver(static_cast<int>(at - ids.begin()));
    return 0;
  }
  int32_t Flush() override { return 0; }
  void ClearRecords() override { std::memset(record_, 0, 24); }
  std::vector<const void*> Files() override { return {}; }

  std::vector<int32_t> ids;  // ascending
  int reads = 0;
  int positionings = 0;

 private:
  enum class Pending { kNone, kStart, kValue, kAt };

  int32_t BufferId() const {
    int32_t id;
    std::memcpy(&id, record_, 4);
    return id;
  }
  void Deliver(int index) {
    current_ = index;
    int32_t id = ids[static_cast<size_t>(index)];
    std::memcpy(record_, &id, 4);
    std::string name = "N" + std::to_string(id);
    name.resize(20, ' ');
    std::memcpy(record_ + 4, name.data(), 20);
  }
  int32_t Read(bool forward) {
    ++reads;
    const int n = static_cast<int>(ids.size());
    int next = -1;
    switch (pending_) {
      case Pending::kStart:
        next = forward ? 0 : n - 1;
        break;
      case Pending::kValue:
      case Pending::kAt: {
        auto lower = std::lower_bound(ids.begin(), ids.end(), pending_value_);
        int index = static_cast<int>(lower - ids.begin());
        if (forward) {
          next = index;
        } else {
          next = (lower != ids.end() && *lower == pending_value_) ? index : index - 1;
        }
        break;
      }
      case Pending::kNone:
        next = forward ? current_ + 1 : current_ - 1;
        break;
    }
    pending_ = Pending::kNone;
    if (next < 0 || next >= n) {
      current_ = next < 0 ? -1 : n;
      if (next < 0) pending_ = Pending::kStart;  // reading on from either end restarts
      return 33;
    }
    Deliver(next);
    return 0;
  }

  uint8_t* record_;
  Pending pending_ = Pending::kStart;
  int32_t pending_value_ = 0;
  int current_ = -1;
};

class BrowseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    driver::DeclarationTextError error;
    ASSERT_TRUE(driver::ParseDeclarationText(kCustomer, &declaration_, &error)) << error.ToString();
    block_ = std::make_unique<driver::FileControlBlock>(&declaration_->declaration(), record_, sizeof record_);
    errors_.Init(&display_);
    file_.Init(block_.get(), &errors_);
    file_.AddKey(&declaration_->declaration().keys[0], 0, "CUS:ByID");
    relations_.Init(&file_, false);
    window_.SetWindow(&events_, &port_);
    SetListHeight(10);
    port_.properties[{1, kPropVisible}] = "1";
    browse_.Init(1, &queue_, "VIEWPOSITION", &window_, &relations_, &view_);
    browse_.AppendSortOrder(nullptr, &declaration_->declaration().keys[0]);
    ASSERT_TRUE(browse_.MapField(block_.get(), 0, "CUS:CUSID"));
    ASSERT_TRUE(browse_.MapField(block_.get(), 1, "CUS:NAME"));
  }
  void TearDown() override {
    browse_.Kill();
    relations_.Kill();
    errors_.Kill();
  }
  void Records(int count, int step = 1) {
    view_.ids.clear();
    for (int i = 1; i <= count; ++i) view_.ids.push_back(i * step);
  }
  void SetListHeight(int rows) { port_.properties[{1, kPropListItems}] = std::to_string(rows); }
  std::vector<int64_t> Page() {
    std::vector<int64_t> ids;
    for (size_t row = 1; row <= queue_.Records(); ++row) ids.push_back(Queue::ReadNumber(queue_.Entry(row), queue_.fields()[0]));
    return ids;
  }
  static std::vector<int64_t> Range(int64_t first, int64_t last) {
    std::vector<int64_t> ids;
    for (int64_t id = first; id <= last; ++id) ids.push_back(id);
    return ids;
  }
  int32_t BufferId() {
    int32_t id;
    std::memcpy(&id, record_, 4);
    return id;
  }
  // Resets the read counters and answers reads + positionings since the last call.
  int Cost() {
    int cost = view_.reads + view_.positionings;
    view_.reads = view_.positionings = 0;
    return cost;
  }

  std::unique_ptr<driver::OwnedDeclaration> declaration_;
  uint8_t record_[24] = {};
  std::unique_ptr<driver::FileControlBlock> block_;
  RecordingDisplay display_;
  ErrorReporter errors_;
  FileController file_;
  RelationController relations_;
  ScriptedEventSource events_;
  FakeWindowPort port_;
  WindowController window_;
  Queue queue_{{{"CUS:CUSID", kTypeLong, 4}, {"CUS:NAME", kTypeString, 20}, {"VIEWPOSITION", kTypeString, 1024}}};
  CountingView view_{record_};
  BrowseController browse_;
};

TEST_F(BrowseTest, FirstLoadFillsOnePageAndSelectsTheFirstRow) {
  Records(100);
  browse_.ChooseSortOrder(false);
  EXPECT_EQ(Page(), Range(1, 10));
  EXPECT_EQ(browse_.current_choice, 1);
  EXPECT_EQ(port_.Property(1, kPropListSelected), "1");
  EXPECT_EQ(BufferId(), 1);  // the selected row's fields are back in the record
  EXPECT_LE(Cost(), 2 * 10 + 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(record_) + 4, 2), "N1");
}

TEST_F(BrowseTest, ScrollingByRowAndPageAtBothEnds) {
  Records(100);
  browse_.ChooseSortOrder(false);
  Cost();
  browse_.current_choice = 10;
  browse_.HandleScroll(kEventScrollDown);  // on the last row: the page moves by one
  EXPECT_EQ(Page(), Range(2, 11));
  EXPECT_EQ(browse_.current_choice, 10);
  EXPECT_LE(Cost(), 3);  // one positioning, at most two reads

  browse_.HandleScroll(kEventPageDown);
  EXPECT_EQ(Page(), Range(12, 21));
  EXPECT_EQ(browse_.current_choice, 10);

  browse_.HandleScroll(kEventScrollBottom);
  EXPECT_EQ(Page(), Range(91, 100));
  EXPECT_EQ(browse_.current_choice, 10);
  browse_.current_choice = 3;
  browse_.HandleScroll(kEventPageDown);  // no more data: the selection moves instead
  EXPECT_EQ(Page(), Range(91, 100));
  EXPECT_EQ(browse_.current_choice, 10);
  browse_.HandleScroll(kEventScrollDown);
  EXPECT_EQ(Page(), Range(91, 100));

  browse_.HandleScroll(kEventScrollTop);
  EXPECT_EQ(Page(), Range(1, 10));
  EXPECT_EQ(browse_.current_choice, 1);
  browse_.HandleScroll(kEventScrollUp);
  browse_.HandleScroll(kEventPageUp);
  EXPECT_EQ(Page(), Range(1, 10));
  EXPECT_EQ(browse_.current_choice, 1);
  EXPECT_TRUE(display_.shown.empty());
}

TEST_F(BrowseTest, ResyncPutsTheRecordBackOnTheSelectedRow) {
  Records(100);
  browse_.ChooseSortOrder(false);
  browse_.current_choice = 4;
  int32_t id = 50;
  std::memcpy(record_, &id, 4);
  Cost();
  browse_.ResyncFromFile();
  EXPECT_EQ(Page(), Range(47, 56));
  EXPECT_EQ(browse_.current_choice, 4);
  EXPECT_EQ(BufferId(), 50);
  EXPECT_LE(Cost(), 2 * 10 + 3);  // at most two pages, two extra reads and the positionings

  id = 2;  // near the start there are not enough records above: the row moves up
  std::memcpy(record_, &id, 4);
  browse_.ResyncFromFile();
  EXPECT_EQ(Page(), Range(1, 10));
  EXPECT_EQ(browse_.current_choice, 2);
}

TEST_F(BrowseTest, SelectedRecordIsReadAgainAndAVanishedOneLeavesNothingBehind) {
  Records(20, 10);
  browse_.ChooseSortOrder(false);
  port_.properties[{1, kPropListSelected}] = "3";
  std::memset(record_, 0, sizeof record_);
  EXPECT_EQ(browse_.LoadSelected(), kOutcomeDone);
  EXPECT_EQ(BufferId(), 30);
  view_.ids.erase(view_.ids.begin() + 2);  // someone deleted it
  EXPECT_EQ(browse_.LoadSelected(), kOutcomeFailed);
  EXPECT_EQ(BufferId(), 0);
}

TEST_F(BrowseTest, InvisibleListLoadsNothingUntilShown) {
  Records(100);
  port_.properties[{1, kPropVisible}] = "";
  browse_.ChooseSortOrder(false);
  EXPECT_EQ(queue_.Records(), 0u);
  EXPECT_TRUE(browse_.load_pending);
  EXPECT_EQ(Cost(), 0);
  port_.properties[{1, kPropVisible}] = "1";
  browse_.ChooseSortOrder(false);
  EXPECT_EQ(Page(), Range(1, 10));
}

TEST_F(BrowseTest, AnEventThatChangesNothingReadsNothing) {
  Records(100);
  browse_.ChooseSortOrder(false);
  Cost();
  browse_.ChooseSortOrder(false);
  browse_.RefreshControls();
  EXPECT_EQ(Cost(), 0);
  SetListHeight(12);  // a taller list is refilled
  browse_.ChooseSortOrder(false);
  EXPECT_EQ(Page(), Range(1, 12));
}

TEST_F(BrowseTest, PagesForAnyNumberOfRecordsAndListHeights) {
  for (int height : {1, 10, 25}) {
    for (int count : {0, 1, 3, 10, 11, 1000}) {
      SCOPED_TRACE("height " + std::to_string(height) + ", records " + std::to_string(count));
      Records(count);
      queue_.Free();
      browse_.loaded = false;
      browse_.current_choice = 1;
      SetListHeight(height);
      browse_.ChooseSortOrder(true);
      size_t expected = static_cast<size_t>(std::min(height, count));
      EXPECT_EQ(queue_.Records(), expected);
      if (count == 0) {
        EXPECT_EQ(BufferId(), 0);
        continue;
      }
      browse_.HandleScroll(kEventScrollBottom);
      EXPECT_EQ(Page(), Range(count - static_cast<int>(expected) + 1, count));
      for (int i = 0; i < 3; ++i) browse_.HandleScroll(kEventPageUp);
      EXPECT_EQ(queue_.Records(), expected);
      browse_.HandleScroll(kEventScrollTop);
      EXPECT_EQ(Page(), Range(1, static_cast<int>(expected)));
      for (int i = 0; i < 3; ++i) browse_.HandleScroll(kEventScrollDown);
      EXPECT_LE(queue_.Records(), static_cast<size_t>(height));
      EXPECT_GE(browse_.current_choice, 1);
    }
  }
}

TEST_F(BrowseTest, ThumbWithoutAStepPagesAndWithAStepJumps) {
  Records(100);
  browse_.ChooseSortOrder(false);
  port_.posts.clear();
  port_.properties[{1, kPropListThumb}] = "30";
  events_.Queue(kEventScrollDrag, 1);
  events_.AcceptNext();
  browse_.HandleBrowseEvent();
  ASSERT_FALSE(port_.posts.empty());
  EXPECT_EQ(port_.posts.back().event, kEventPageUp);
  port_.properties[{1, kPropListThumb}] = "100";
  events_.Queue(kEventScrollDrag, 1);
  events_.AcceptNext();
  browse_.HandleBrowseEvent();
  EXPECT_EQ(port_.posts.back().event, kEventScrollBottom);

  NumericScrollStep step(0);
  static_cast<BrowseSortOrder*>(browse_.current_order())->thumb = &step;
  browse_.ChooseSortOrder(true);  // a forced refresh takes the step's limits
  EXPECT_EQ(step.low(), 1);
  EXPECT_EQ(step.high(), 100);
  port_.properties[{1, kPropListThumb}] = "50";
  events_.Queue(kEventScrollDrag, 1);
  events_.AcceptNext();
  browse_.HandleBrowseEvent();
  EXPECT_EQ(Page().front(), step.NumberAt(50));
}

}  // namespace
}  // namespace korvex::framework
