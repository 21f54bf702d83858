// The browse over a real Brisken file read through the view engine, with a fake list and
// window. A counting wrapper around the view checks that every paging operation reads a
// bounded number of records, whatever the size of the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "data/view/view_declaration.h"
#include "framework/browse_controller.h"
#include "framework/engine_view.h"
#include "framework/fake_window.h"
#include "framework/file_controller_test_util.h"
#include "framework/relation_controller.h"
#include "framework/scroll_step.h"
#include "framework/window_controller.h"
#include "runtime/queue.h"

namespace korvex::framework {
namespace {

using testing::ControllerTest;
using testing::kClientById;

// Passes every call to the view and counts reads and positionings.
class CountingView : public ViewAccess {
 public:
  explicit CountingView(ViewAccess* view) : view_(view) {}

  int32_t Open(uint8_t mode) override { return view_->Open(mode); }
  void Close() override { view_->Close(); }
  void Buffer(uint16_t size, uint16_t behind, uint16_t ahead, uint16_t wait) override {
    view_->Buffer(size, behind, ahead, wait);
  }
  int32_t SetOrder(const std::string& text) override { return view_->SetOrder(text); }
  int32_t SetFilter(const std::string& text) override { return view_->SetFilter(text); }
  int32_t Set(int components) override {
    ++positionings;
    return view_->Set(components);
  }
  int32_t Next() override {
    ++reads;
    return view_->Next();
  }
  int32_t Previous() override {
    ++reads;
    return view_->Previous();
  }
  std::string Position() override { return view_->Position(); }
  int32_t Reset(const std::string& position) override {
    ++positionings;
    return view_->Reset(position);
  }
  int32_t ResetToPrimaryRecord() override {
    ++positionings;
    return view_->ResetToPrimaryRecord();
  }
  int32_t Watch() override { return view_->Watch(); }
  int32_t Reget(const std::string& position) override {
    ++reads;
    return view_->Reget(position);
  }
  int32_t Flush() override { return view_->Flush(); }
  void ClearRecords() override { view_->ClearRecords(); }
  std::vector<const void*> Files() override { return view_->Files(); }

  // Answers {reads, positionings} since the last call.
  std::pair<int, int> Take() {
    std::pair<int, int> cost{reads, positionings};
    reads = positionings = 0;
    return cost;
  }

  int reads = 0;
  int positionings = 0;

 private:
  ViewAccess* view_;
};

class BrowseOverFileTest : public ControllerTest {
 protected:
  static constexpr int32_t kList = 1;
  static constexpr int32_t kChange = 3;
  static constexpr int32_t kDelete = 4;
  static constexpr int32_t kInsert = 2;

  void SetUp() override {
    ControllerTest::SetUp();
    InitClients();
    ASSERT_EQ(clients_.Open(), kOutcomeDone);
    relations_.Init(&clients_, false);
    declaration_.primary.file = &clients_block_;
    declaration_.primary.entry = &brisken::BkfEntry;
    engine_ = std::make_unique<EngineView>(&declaration_);
    counting_ = std::make_unique<CountingView>(engine_.get());
    window_.SetWindow(&events_, &port_);
    SetListHeight(10);
    port_.properties[{kList, kPropVisible}] = "1";
  }
  void TearDown() override {
    browse_.Kill();
    engine_.reset();
    relations_.Kill();
    clients_.Close();
    ControllerTest::TearDown();
  }
  // Adds clients numbered from the next free number up to last.
  void AddUpTo(int32_t last) {
    for (; added_ < last; ++added_) {
      SetClient(added_ + 1, testing::Numbered("Client ", added_ + 1));
      ASSERT_EQ(clients_.Insert(), kOutcomeDone);
    }
  }
  void InitBrowse(ScrollStep* step = nullptr) {
    browse_.Init(kList, &queue_, "VIEWPOSITION", &window_, &relations_, counting_.get());
    browse_.AppendSortOrder(step, kClientById);
    ASSERT_TRUE(browse_.MapField(&clients_block_, 0, "CLI:ID"));
    ASSERT_TRUE(browse_.MapField(&clients_block_, 1, "CLI:NAME"));
  }
  void SetListHeight(int rows) { port_.properties[{kList, kPropListItems}] = std::to_string(rows); }
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
  // Makes record id current in the file, as an update procedure leaves it.
  void MakeCurrent(int32_t id) {
    SetClient(id, "");
    ASSERT_EQ(clients_.FetchQuiet(kClientById), kOutcomeDone);
  }
  void Deliver(EventCode event, int32_t field, uint16_t key = 0) {
    events_.Queue(event, field, key);
    if (events_.AcceptNext()) events_.AcceptNext();  // a loop ended by a close is entered again
    browse_.HandleBrowseEvent();
  }
  // A rebuild reads at most two pages and two more records; it positions the view at most
  // once at each end of the page besides the caller's own positioning.
  void ExpectRebuildBudget(int rows) {
    auto [reads, positionings] = counting_->Take();
    EXPECT_LE(reads, 2 * rows + 2);
    EXPECT_LE(positionings, 3);
  }

  int32_t added_ = 0;
  RelationController relations_;
  view::ViewDeclaration declaration_;
  std::unique_ptr<EngineView> engine_;
  std::unique_ptr<CountingView> counting_;
  ScriptedEventSource events_;
  FakeWindowPort port_;
  WindowController window_;
  Queue queue_{{{"CLI:ID", kTypeLong, 4}, {"CLI:NAME", kTypeString, 20}, {"VIEWPOSITION", kTypeString, 1024}}};
  BrowseController browse_;
};

TEST_F(BrowseOverFileTest, PagesThroughAHundredRecords) {
  AddUpTo(100);
  InitBrowse();
  browse_.ChooseSortOrder(false);
  EXPECT_EQ(Page(), Range(1, 10));
  EXPECT_EQ(browse_.current_choice, 1);
  EXPECT_EQ(ClientId(), 1);
  EXPECT_EQ(ClientName(), "Client 1");
  ExpectRebuildBudget(10);

  // Row by row inside the page reads nothing; at its edge one positioning and two reads.
  for (int i = 0; i < 9; ++i) browse_.HandleScroll(kEventScrollDown);
  EXPECT_EQ(counting_->Take(), (std::pair<int, int>{0, 0}));
  browse_.HandleScroll(kEventScrollDown);
  EXPECT_EQ(Page(), Range(2, 11));
  EXPECT_EQ(browse_.current_choice, 10);
  EXPECT_EQ(ClientId(), 11);
  auto [reads, positionings] = counting_->Take();
  EXPECT_LE(reads, 2);
  EXPECT_EQ(positionings, 1);

  browse_.HandleScroll(kEventPageDown);
  EXPECT_EQ(Page(), Range(12, 21));
  auto page_cost = counting_->Take();
  EXPECT_LE(page_cost.first, 10 + 1);
  EXPECT_EQ(page_cost.second, 1);
  browse_.HandleScroll(kEventPageUp);
  EXPECT_EQ(Page(), Range(2, 11));
  browse_.HandleScroll(kEventScrollUp);
  EXPECT_EQ(browse_.current_choice, 9);

  counting_->Take();
  browse_.HandleScroll(kEventScrollBottom);
  EXPECT_EQ(Page(), Range(91, 100));
  EXPECT_EQ(browse_.current_choice, 10);
  EXPECT_EQ(port_.Property(kList, kPropListThumb), std::to_string(kLastThumbPosition));
  EXPECT_LE(counting_->Take().first, 10);
  // At the end the page stays and the selection moves.
  browse_.current_choice = 2;
  browse_.HandleScroll(kEventPageDown);
  EXPECT_EQ(Page(), Range(91, 100));
  EXPECT_EQ(browse_.current_choice, 10);
  browse_.HandleScroll(kEventScrollDown);
  EXPECT_EQ(Page(), Range(91, 100));
  EXPECT_EQ(ClientId(), 100);

  browse_.HandleScroll(kEventScrollTop);
  EXPECT_EQ(Page(), Range(1, 10));
  EXPECT_EQ(port_.Property(kList, kPropListThumb), std::to_string(kFirstThumbPosition));
  browse_.current_choice = 7;
  browse_.HandleScroll(kEventPageUp);
  EXPECT_EQ(browse_.current_choice, 1);
  browse_.HandleScroll(kEventScrollUp);
  EXPECT_EQ(Page(), Range(1, 10));
  EXPECT_EQ(ClientId(), 1);
  EXPECT_TRUE(display_.shown.empty());
}

TEST_F(BrowseOverFileTest, ResyncPutsTheRecordBackOnItsRow) {
  AddUpTo(100);
  InitBrowse();
  browse_.ChooseSortOrder(false);
  browse_.current_choice = 4;
  MakeCurrent(50);
  counting_->Take();
  browse_.ResyncFromFile();
  EXPECT_EQ(Page(), Range(47, 56));
  EXPECT_EQ(browse_.current_choice, 4);
  EXPECT_EQ(ClientId(), 50);
  ExpectRebuildBudget(10);

  MakeCurrent(99);  // too few records below: the page ends at the last one
  browse_.ResyncFromFile();
  EXPECT_EQ(Page(), Range(91, 100));
  EXPECT_EQ(browse_.current_choice, 9);
  ExpectRebuildBudget(10);

  browse_.retain_row = false;
  browse_.current_choice = 4;
  MakeCurrent(50);
  browse_.ResyncFromFile();
  EXPECT_EQ(Page(), Range(50, 59));
  EXPECT_EQ(browse_.current_choice, 1);
}

TEST_F(BrowseOverFileTest, InvisibleListAndEmptyResult) {
  InitBrowse();
  browse_.insert_control = kInsert;
  browse_.change_control = kChange;
  browse_.delete_control = kDelete;
  port_.properties[{kList, kPropVisible}] = "";
  AddUpTo(30);
  browse_.ChooseSortOrder(false);
  EXPECT_EQ(queue_.Records(), 0u);
  EXPECT_EQ(counting_->Take(), (std::pair<int, int>{0, 0}));
  browse_.active_invisible = true;
  browse_.ChooseSortOrder(false);
  EXPECT_EQ(Page(), Range(1, 10));
  browse_.RefreshControls();
  EXPECT_EQ(port_.Property(kChange, kPropDisabled), "");

  // A filter that nothing passes: an empty page, a cleared buffer, no change or delete.
  browse_.SetStandardFilter("CLI:ID > 1000");
  browse_.ChooseSortOrder(true);
  EXPECT_EQ(queue_.Records(), 0u);
  EXPECT_EQ(ClientId(), 0);
  browse_.RefreshControls();
  EXPECT_EQ(port_.Property(kChange, kPropDisabled), "1");
  EXPECT_EQ(port_.Property(kDelete, kPropDisabled), "1");
  EXPECT_EQ(port_.Property(kInsert, kPropDisabled), "");
  port_.posts.clear();
  browse_.HandleScroll(kEventPageDown);  // nothing to scroll
  EXPECT_TRUE(port_.posts.empty());
  EXPECT_TRUE(display_.shown.empty());
}

TEST_F(BrowseOverFileTest, AnyNumberOfRecordsInAnyListHeight) {
  InitBrowse();
  for (int count : {0, 1, 3, 10, 11, 1000}) {
    AddUpTo(count);
    for (int height : {1, 10, 25}) {
      for (bool retain : {true, false}) {
        SCOPED_TRACE(testing::Numbered("records ", count) + testing::Numbered(", height ", height) +
                     (retain ? ", row retained" : ", row not retained"));
        const int rows = std::min(height, count);
        SetListHeight(height);
        browse_.retain_row = retain;
        browse_.current_choice = 1;
        queue_.Free();
        counting_->Take();
        browse_.ChooseSortOrder(true);
        EXPECT_EQ(Page(), Range(1, rows));
        ExpectRebuildBudget(height);
        if (count == 0) {
          EXPECT_EQ(ClientId(), 0);
          continue;
        }
        browse_.HandleScroll(kEventScrollBottom);
        EXPECT_EQ(Page(), Range(count - rows + 1, count));
        EXPECT_LE(counting_->Take().first, height);
        browse_.HandleScroll(kEventPageUp);
        EXPECT_EQ(Page(), Range(std::max(1, count - 2 * rows + 1), std::max(rows, count - rows)));
        EXPECT_LE(counting_->Take().first, height + 1);
        browse_.HandleScroll(kEventScrollTop);
        for (int i = 0; i < rows + 1; ++i) browse_.HandleScroll(kEventScrollDown);  // two past the page
        const int first = std::min(3, count - rows + 1);
        EXPECT_EQ(Page(), Range(first, first + rows - 1));
        EXPECT_EQ(ClientId(), std::min(rows + 2, count));
        auto [reads, positionings] = counting_->Take();
        EXPECT_LE(reads, 2 * 2 + height);  // two edge scrolls after the top page
        EXPECT_LE(positionings, 3);

        // The middle record comes back on the selected row, or as near as the data allows.
        const int middle = count / 2 + 1;
        const int row = retain ? std::min(4, rows) : 1;
        browse_.current_choice = std::min(4, rows);
        MakeCurrent(middle);
        browse_.ResyncFromFile();
        const int start = std::clamp(middle - (row - 1), 1, count - rows + 1);
        EXPECT_EQ(Page(), Range(start, start + rows - 1));
        EXPECT_EQ(browse_.current_choice, middle - start + 1);
        EXPECT_EQ(ClientId(), middle);
        ExpectRebuildBudget(height);
      }
    }
  }
}

TEST_F(BrowseOverFileTest, ThumbWithAndWithoutAStep) {
  AddUpTo(100);
  NumericScrollStep step(0);
  InitBrowse();
  browse_.ChooseSortOrder(false);
  auto drag = [&](int position) {
    port_.posts.clear();
    port_.properties[{kList, kPropListThumb}] = std::to_string(position);
    Deliver(kEventScrollDrag, kList);
    return port_.posts.empty() ? EventCode{0} : port_.posts.back().event;
  };
  EXPECT_EQ(drag(0), kEventScrollTop);
  EXPECT_EQ(drag(1), kEventScrollTop);
  EXPECT_EQ(drag(30), kEventPageUp);
  EXPECT_EQ(drag(50), EventCode{0});
  EXPECT_EQ(drag(70), kEventPageDown);
  EXPECT_EQ(drag(100), kEventScrollBottom);
  EXPECT_EQ(counting_->Take().first, 10);  // only the first page was read

  // With a step the thumb jumps to the value it stands for, in one rebuild.
  static_cast<BrowseSortOrder*>(browse_.sort_order(1))->thumb = &step;
  browse_.ChooseSortOrder(true);
  EXPECT_EQ(step.low(), 1);
  EXPECT_EQ(step.high(), 100);
  EXPECT_EQ(Page(), Range(1, 10));  // taking the limits left the page where it was
  counting_->Take();
  drag(50);
  EXPECT_EQ(Page().front(), step.NumberAt(50));
  ExpectRebuildBudget(10);
  browse_.HandleScroll(kEventScrollDown);
  browse_.RefreshControls();
  EXPECT_EQ(port_.Property(kList, kPropListThumb), std::to_string(step.PositionOf(std::to_string(ClientId()))));
}

TEST_F(BrowseOverFileTest, ChangeOfAVanishedRecordRebuildsInstead) {
  AddUpTo(20);
  InitBrowse();
  browse_.change_control = kChange;
  browse_.ChooseSortOrder(false);
  port_.properties[{kList, kPropListSelected}] = "5";
  EXPECT_EQ(browse_.LoadSelected(), kOutcomeDone);
  EXPECT_EQ(ClientId(), 5);
  MakeCurrent(5);
  ASSERT_EQ(clients_.Call(driver::kOpDelete), 0);
  SetClient(77, "Not this one");
  Deliver(kEventAccepted, kChange);
  EXPECT_EQ(port_.beeps, 1);
  EXPECT_EQ(Page(), (std::vector<int64_t>{1, 2, 3, 4, 6, 7, 8, 9, 10, 11}));
  EXPECT_EQ(browse_.current_choice, 5);
  EXPECT_EQ(ClientId(), 6);
}

TEST_F(BrowseOverFileTest, ClosingWhileSelectingHandsBackTheChoiceOrTheOldRecord) {
  AddUpTo(20);
  window_.request = kRequestSelect;
  MakeCurrent(17);
  InitBrowse();  // selecting: the file's state is saved
  ASSERT_TRUE(browse_.selecting);
  ASSERT_NE(browse_.buffer, 0);
  browse_.ChooseSortOrder(false);
  EXPECT_EQ(Page(), Range(11, 20));  // the page starts at the record in the buffer
  EXPECT_EQ(browse_.current_choice, 7);

  // Chosen: the selected row's record stays in the buffer.
  port_.properties[{kList, kPropListSelected}] = "3";
  window_.response = kResponseCompleted;
  Deliver(kEventCloseWindow, 0);
  EXPECT_EQ(ClientId(), 13);
  EXPECT_EQ(browse_.buffer, 0);

  // Cancelled: the record from before comes back.
  MakeCurrent(17);
  browse_.SetSelecting(true);
  browse_.ChooseSortOrder(true);
  window_.response = kResponseCancelled;
  Deliver(kEventCloseWindow, 0);
  EXPECT_EQ(ClientId(), 17);

  // Chosen, but the record has gone meanwhile: the caller hears "cancelled".
  MakeCurrent(17);
  browse_.SetSelecting(true);
  browse_.select_whole_record = true;
  browse_.ChooseSortOrder(true);
  port_.properties[{kList, kPropListSelected}] = "2";
  MakeCurrent(12);
  ASSERT_EQ(clients_.Call(driver::kOpDelete), 0);
  MakeCurrent(17);
  SetClient(12, "Gone");
  window_.response = kResponseCompleted;
  Deliver(kEventCloseWindow, 0);
  EXPECT_EQ(window_.response, kResponseCancelled);
  EXPECT_EQ(ClientId(), 17);
}

}  // namespace
}  // namespace korvex::framework
