#include "framework/browse_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "data/driver/declaration_text.h"
#include "data/driver/file_control_block.h"
#include "framework/error_reporter.h"
#include "framework/fake_popup_presenter.h"
#include "framework/fake_window.h"
#include "framework/file_controller.h"
#include "framework/popup_menu_controller.h"
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
  int32_t SetFilter(const std::string& text) override {
    filter = text;
    return 0;
  }
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
  int32_t Watch() override {
    ++watches;
    return 0;
  }
  int32_t Reget(const std::string& position) override {
    ++regets;
    int32_t id = std::atoi(position.c_str() + 1);
    if (id == unreadable) return 35;
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
  int watches = 0;
  int regets = 0;
  int fail_read = 0;         // the read of this number (from 1) fails with error 5
  int32_t unreadable = 0;    // REGET of this record fails as if it had gone
  std::string filter;

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
    if (fail_read != 0 && reads == fail_read) return 5;
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

// Records the quick-scan switches and the update procedures the browse calls.
class RecordingRelations : public RelationController {
 public:
  void SetQuickScan(bool on, uint8_t scope) override {
    scans.push_back(on);
    RelationController::SetQuickScan(on, scope);
  }
  std::vector<bool> scans;
};

class RecordingWindow : public WindowController {
 public:
  uint8_t CallProcedure(uint16_t number, uint8_t call_request) override {
    calls.push_back({number, call_request});
    if (on_call) on_call();
    return answer;
  }
  std::vector<std::pair<uint16_t, uint8_t>> calls;
  std::function<void()> on_call;
  uint8_t answer = kResponseCancelled;
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
  // Delivers one event through the scripted loop to the browse.
  void Deliver(EventCode event, int32_t field, uint16_t key = 0) {
    events_.Queue(event, field, key);
    events_.AcceptNext();
    browse_.HandleBrowseEvent();
  }
  // Field events posted to no control at all.
  int PostsToNoControl() const {
    return static_cast<int>(std::count_if(port_.posts.begin(), port_.posts.end(),
                                          [](const WindowPost& p) { return p.event < 0x200 && p.control == 0; }));
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
  RecordingRelations relations_;
  ScriptedEventSource events_;
  FakeWindowPort port_;
  RecordingWindow window_;
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

TEST_F(BrowseTest, KeysPostOnlyToButtonsThatExist) {
  Records(20);
  browse_.ChooseSortOrder(false);
  port_.posts.clear();
  // A window without buttons: Enter on a row must not start anything.
  for (uint16_t key : {kKeyActivate, kKeyCtrlEnter, kKeyInsert, kKeyDelete}) Deliver(kEventAlertKey, 1, key);
  Deliver(kEventAccepted, 0);
  EXPECT_EQ(PostsToNoControl(), 0);
  EXPECT_TRUE(window_.calls.empty());

  browse_.change_control = 5;
  browse_.select_control = 6;
  auto accepted = [&] {
    std::vector<int32_t> controls;
    for (const WindowPost& post : port_.posts) {
      if (post.event == kEventAccepted) controls.push_back(post.control);
    }
    port_.posts.clear();
    return controls;
  };
  Deliver(kEventAlertKey, 1, kKeyActivate);
  EXPECT_EQ(accepted(), std::vector<int32_t>{5});
  browse_.selecting = true;
  Deliver(kEventAlertKey, 1, kKeyActivate);
  EXPECT_EQ(accepted(), std::vector<int32_t>{6});
}

TEST_F(BrowseTest, ChangeAndDeleteReadTheRecordAgainAndSkipOneThatHasGone) {
  Records(20, 10);
  browse_.ChooseSortOrder(false);
  browse_.change_control = 5;
  browse_.delete_control = 6;
  browse_.ask_procedure = 7;
  port_.properties[{1, kPropListSelected}] = "3";
  int32_t seen = 0;
  window_.on_call = [&] { seen = BufferId(); };
  Deliver(kEventAccepted, 5);
  EXPECT_EQ(view_.watches, 1);
  EXPECT_EQ(view_.regets, 1);
  ASSERT_EQ(window_.calls.size(), 1u);
  EXPECT_EQ(window_.calls[0], (std::pair<uint16_t, uint8_t>{7, kRequestChange}));
  EXPECT_EQ(seen, 30);

  // Another station removes the selected record, then the one after it.
  window_.calls.clear();
  view_.ids.erase(std::find(view_.ids.begin(), view_.ids.end(), 30));
  Deliver(kEventAccepted, 5);
  EXPECT_EQ(Page(), (std::vector<int64_t>{10, 20, 40, 50, 60, 70, 80, 90, 100, 110}));
  EXPECT_EQ(browse_.current_choice, 3);  // the page and the selected row keep their place
  view_.ids.erase(std::find(view_.ids.begin(), view_.ids.end(), 40));
  Deliver(kEventAccepted, 6);
  EXPECT_TRUE(window_.calls.empty());
  EXPECT_EQ(port_.beeps, 2);
  EXPECT_EQ(Page(), (std::vector<int64_t>{10, 20, 50, 60, 70, 80, 90, 100, 110, 120}));
  EXPECT_EQ(BufferId(), 50);
}

TEST_F(BrowseTest, QuickScanIsSwitchedOffOnEveryExit) {
  Records(100);
  browse_.quick_scan = true;
  browse_.ChooseSortOrder(false);
  auto balanced = [&] {
    return !relations_.scans.empty() && !relations_.scans.back() &&
           std::count(relations_.scans.begin(), relations_.scans.end(), true) ==
               std::count(relations_.scans.begin(), relations_.scans.end(), false);
  };
  EXPECT_TRUE(balanced());
  view_.fail_read = view_.reads + 3;  // a read error in the middle of a page
  browse_.HandleScroll(kEventPageDown);
  EXPECT_TRUE(balanced());
  EXPECT_FALSE(display_.shown.empty());
  EXPECT_TRUE(std::any_of(port_.posts.begin(), port_.posts.end(),
                          [](const WindowPost& p) { return p.event == kEventCloseWindow; }));
}

TEST_F(BrowseTest, RowsFromTheListAreClampedToThePage) {
  Records(5);
  browse_.ChooseSortOrder(false);
  port_.properties[{1, kPropListSelected}] = "9";
  Deliver(kEventNewSelection, 1);
  EXPECT_EQ(browse_.current_choice, 5);
  EXPECT_EQ(BufferId(), 5);
  port_.properties[{1, kPropMouseDownRow}] = "8";
  browse_.current_choice = 1;
  Deliver(kEventAlertKey, 1, kKeyContextMenu);
  EXPECT_EQ(browse_.current_choice, 5);
  port_.properties[{1, kPropListSelected}] = "70";
  EXPECT_EQ(browse_.LoadSelected(), kOutcomeDone);
  EXPECT_EQ(BufferId(), 5);
}

TEST_F(BrowseTest, AShorterListIsNeverOverfilledAndIsReloaded) {
  Records(100);
  browse_.ChooseSortOrder(false);
  SetListHeight(4);
  browse_.HandleScroll(kEventPageDown);
  EXPECT_EQ(Page(), Range(11, 14));
  EXPECT_TRUE(browse_.load_pending);
  browse_.ChooseSortOrder(false);
  EXPECT_EQ(queue_.Records(), 4u);
  EXPECT_FALSE(browse_.load_pending);
  SetListHeight(0);  // a list that reports no height still shows a row
  browse_.HandleScroll(kEventScrollBottom);
  EXPECT_EQ(Page(), Range(100, 100));
}

TEST_F(BrowseTest, PopupOffersTheButtonsThatExist) {
  FakePopupPresenter presenter;
  PopupMenuController popup;
  popup.Init(&presenter);
  browse_.popup = &popup;
  browse_.PrepareBrowseAlerts();
  EXPECT_TRUE(popup.Items().empty());

  browse_.insert_control = 2;
  browse_.change_control = 3;
  browse_.delete_control = 4;
  browse_.print_control = 5;
  browse_.query_control = 6;
  browse_.select_control = 7;
  browse_.tool_control = 8;
  browse_.PrepareBrowseAlerts();
  std::vector<std::string> names, texts;
  std::vector<int> controls, toolbox;
  for (const PopupItem& item : popup.Items()) {
    names.push_back(item.name);
    texts.push_back(item.text);
    controls.push_back(item.control_id);
    toolbox.push_back(item.on_toolbox);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Insert", "Change", "Delete", "Print", "Separator2", "Query", "Select",
                                             "Separator", "Toolbox"}));
  EXPECT_EQ(texts, (std::vector<std::string>{"!&Insert", "!&Change", "!&Delete", "!&Print", "-", "!&Query",
                                             "!&Select", "-", "!&Toolbox"}));
  EXPECT_EQ(controls, (std::vector<int>{2, 3, 4, 5, 0, 6, 7, 0, 8}));
  EXPECT_EQ(toolbox[0], 1);
  EXPECT_EQ(toolbox[8], 0);  // the toolbox does not offer itself
  browse_.popup = nullptr;
  popup.Kill();
}

TEST_F(BrowseTest, WithoutAnUpdateProcedureTheInPlaceEditorEdits) {
  Records(10);
  browse_.ChooseSortOrder(false);
  browse_.insert_control = 2;
  Deliver(kEventAccepted, 2);  // no editor yet: nothing happens
  EXPECT_TRUE(window_.calls.empty());
  EXPECT_EQ(Page(), Range(1, 10));

  struct Seen {
    std::vector<uint8_t> requests;
    uint8_t tab_action = 0;
    int32_t list = 0;
  } seen;
  struct Editor : InPlaceEditor {
    explicit Editor(Seen* seen) : seen_(seen) {}
    uint8_t Run(BrowseController&, const Settings& settings) override {
      seen_->requests.push_back(settings.request);
      seen_->tab_action = settings.tab_action;
      seen_->list = settings.list_control;
      return kResponseCompleted;
    }
    Seen* seen_;
  };
  int made = 0;
  browse_.eip_factory = [&]() -> std::unique_ptr<InPlaceEditor> {
    ++made;
    return std::make_unique<Editor>(&seen);
  };
  browse_.tab_action = 3;
  EXPECT_EQ(browse_.AskRecord(kRequestChange), kResponseCompleted);
  EXPECT_EQ(browse_.AskRecord(kRequestInsert), kResponseCompleted);
  EXPECT_EQ(made, 1);  // made on the first request and kept
  EXPECT_EQ(seen.requests, (std::vector<uint8_t>{kRequestChange, kRequestInsert}));
  EXPECT_EQ(seen.tab_action, 3);
  EXPECT_EQ(seen.list, 1);
}

TEST_F(BrowseTest, OnlyTypedCharactersReachTheLocator) {
  struct Locator : KeyLocator {
    bool HandleTypedKey(uint8_t character) override {
      typed.push_back(character);
      return false;
    }
    std::vector<uint8_t> typed;
  } locator;
  Records(10);
  static_cast<BrowseSortOrder*>(browse_.sort_order(1))->locator = &locator;
  browse_.ChooseSortOrder(false);
  for (uint16_t key : {0x43, 0x143, 0x70, 0x32, 0x243, 0x25}) Deliver(kEventAlertKey, 1, key);
  // c, Shift+C, F1, 2, Ctrl+C, Left
  EXPECT_EQ(locator.typed, (std::vector<uint8_t>{'c', 'C', 0, '2', 0, 0}));
  static_cast<BrowseSortOrder*>(browse_.sort_order(1))->locator = nullptr;
}

TEST_F(BrowseTest, StepLimitsAreTakenOnceAndLeaveTheStartingRecord) {
  Records(100);
  NumericScrollStep step(0);
  static_cast<BrowseSortOrder*>(browse_.sort_order(1))->thumb = &step;
  browse_.start_at_current = true;
  int32_t id = 50;
  std::memcpy(record_, &id, 4);
  browse_.ChooseSortOrder(false);
  EXPECT_EQ(Page(), Range(50, 59));
  EXPECT_EQ(step.low(), 1);
  EXPECT_EQ(step.high(), 100);
  Cost();
  browse_.current_choice = 10;
  browse_.HandleScroll(kEventScrollDown);
  EXPECT_LE(Cost(), 3);
  browse_.HandleScroll(kEventPageDown);
  EXPECT_LE(Cost(), 10 + 2);
  browse_.ChooseSortOrder(false);
  browse_.RefreshControls();
  EXPECT_EQ(Page(), Range(61, 70));
  EXPECT_EQ(BufferId(), 70);
  EXPECT_EQ(browse_.FreeField()->Text(), "70");
  EXPECT_EQ(Cost(), 0);
  EXPECT_EQ(port_.Property(1, kPropListThumb), std::to_string(step.PositionOf("70")));
}

TEST_F(BrowseTest, AChangedQueryFiltersThePageFromTheStart) {
  struct Query : BrowseQuery {
    bool Changed() override { return std::exchange(changed, false); }
    void Clear() override {
      ++clears;
      changed = true;
      text.clear();
    }
    std::string FilterText() override { return text; }
    bool changed = false;
    int clears = 0;
    std::string text;
  } query;
  Records(100);
  browse_.ChooseSortOrder(false);
  browse_.query = &query;
  browse_.query_control = 9;
  browse_.HandleScroll(kEventPageDown);
  Deliver(kEventNewSelection, 9);  // nothing changed in the query
  EXPECT_EQ(view_.filter, "");
  EXPECT_EQ(Page(), Range(11, 20));
  query.text = "CUS:CUSID > 5";
  query.changed = true;
  Deliver(kEventNewSelection, 9);
  EXPECT_EQ(view_.filter, "(CUS:CUSID > 5)");
  EXPECT_EQ(Page(), Range(1, 10));
  EXPECT_EQ(browse_.current_choice, 1);
  Deliver(kEventAccepted, 9);  // the query button clears it
  EXPECT_EQ(query.clears, 1);
  EXPECT_EQ(view_.filter, "");
  browse_.query = nullptr;
}

TEST_F(BrowseTest, NavigatingOnToARecordThatHasGoneStopsTheUpdates) {
  Records(20);
  browse_.ChooseSortOrder(false);
  browse_.change_control = 5;
  browse_.ask_procedure = 7;
  int32_t navigation = 0;
  window_.vcr_request = &navigation;
  browse_.current_choice = 3;
  browse_.RefreshControls();
  // The first form asks for the next record, which another station has just removed.
  window_.on_call = [&] {
    navigation = window_.calls.size() == 1 ? kToolbarDown : 0;
    view_.unreadable = 4;
  };
  Deliver(kEventAccepted, 5);
  EXPECT_EQ(window_.calls.size(), 1u);
  EXPECT_EQ(navigation, 0);
  EXPECT_EQ(port_.beeps, 1);
}

}  // namespace
}  // namespace korvex::framework
