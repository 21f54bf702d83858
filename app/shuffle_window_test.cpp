#include "app/shuffle_window.h"

#include <gtest/gtest.h>

#include "app/app_test_util.h"
#include "app/customer_view.h"
#include "app/fake_window_system.h"

namespace korvex::app::testing {
namespace {

using framework::ScriptedEvent;

// A step of the user's session: the scene to set, then the event it brings.
struct Step {
  EventCode event;
  int32_t field;
  int tab;              // the sheet's selected tab while the event is handled
  int mouse_down = 0;   // the list's press row
  int mouse_up = 0;     // the list's release row
};

class ShuffleWindowTest : public DictionaryTest {
 protected:
  void SetUp() override {
    DictionaryTest::SetUp();
    AddCustomers({Customer(10, "Kestrel"), Customer(20, "Albatross"), Customer(30, "Magpie"),
                  Customer(40, "Bittern"), Customer(50, "Dunlin")});
  }
  // Runs the procedure through the steps, then closes its window.
  void Run(const std::vector<Step>& steps) {
    windows_.prepare = [&](FakeProcedureWindow& window) {
      window.window.properties[{kShuffleList, framework::kPropVisible}] = "1";
      window.window.properties[{kShuffleList, framework::kPropListItems}] = "10";
      window.loop.Queue(kEventOpenWindow);
      for (const Step& step : steps) window.loop.Queue(step.event, step.field);
      window.loop.Queue(kEventCloseWindow);
      window.loop.before_event = [&window, &steps, this](const ScriptedEvent& event) {
        size_t index = window.loop.delivered.size() - 2;  // after EVENT:OpenWindow
        if (event.event == kEventOpenWindow || index >= steps.size()) return;
        const Step& step = steps[index];
        window.window.properties[{kShuffleSheet, kPropSelectedTab}] = std::to_string(step.tab);
        window.window.properties[{kShuffleList, framework::kPropMouseDownRow}] = std::to_string(step.mouse_down);
        window.window.properties[{kShuffleList, framework::kPropMouseUpRow}] = std::to_string(step.mouse_up);
        // The list selects the pressed row itself.
        if (step.mouse_down > 0) {
          window.window.properties[{kShuffleList, framework::kPropListSelected}] = std::to_string(step.mouse_down);
        }
        window_ = &window;
      };
    };
    environment_.windows = &windows_;
    environment_.customer_view = NewCustomerView;
    TplDragDrop(environment_);
  }
  std::vector<std::string> Names() { return NamesInOrder(); }

  FakeWindowSystem windows_;
  AppEnvironment environment_;
  FakeProcedureWindow* window_ = nullptr;
};

TEST_F(ShuffleWindowTest, DraggingRowTwoOntoRowFourOnByOrderMovesTheCustomer) {
  Run({{kEventDrag, kShuffleList, kByOrderTab, 2, 0}, {kEventDrop, kShuffleList, kByOrderTab, 2, 4}});
  EXPECT_EQ(Page(), (std::vector<int32_t>{10, 20, 30, 40, 50}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"Kestrel", "Magpie", "Bittern", "Albatross", "Dunlin"}));
  EXPECT_TRUE(display_.shown.empty());
  EXPECT_EQ(CallResponse, framework::kResponseCancelled);
}

TEST_F(ShuffleWindowTest, HeaderAndBelowTheLastRowStandForTheFirstAndLastRows) {
  Run({{kEventDrag, kShuffleList, kByOrderTab, 3, 0}, {kEventDrop, kShuffleList, kByOrderTab, 3, 0},
       {kEventDrag, kShuffleList, kByOrderTab, 1, 0}, {kEventDrop, kShuffleList, kByOrderTab, 1, -1}});
  // Magpie to the top, then the new first row (Magpie) to the bottom.
  EXPECT_EQ(Names(), (std::vector<std::string>{"Kestrel", "Albatross", "Bittern", "Dunlin", "Magpie"}));
}

TEST_F(ShuffleWindowTest, OnByNameNothingMovesAndTheListHasNoDragIds) {
  Run({{kEventNewSelection, kShuffleSheet, kByNameTab}, {kEventDrag, kShuffleList, kByNameTab, 1, 0},
       {kEventDrop, kShuffleList, kByNameTab, 1, 3}});
  EXPECT_EQ(Names(), (std::vector<std::string>{"Kestrel", "Albatross", "Magpie", "Bittern", "Dunlin"}));
  ASSERT_NE(window_, nullptr);
  EXPECT_EQ(window_->window.Property(kShuffleList, kPropDragId), "");
  EXPECT_EQ(window_->window.Property(kShuffleList, kPropDropId), "");
}

TEST_F(ShuffleWindowTest, ADropOnTheDragRowOrAfterTheFilesChangedWritesNothing) {
  Run({{kEventDrag, kShuffleList, kByOrderTab, 2, 0}, {kEventDrop, kShuffleList, kByOrderTab, 2, 2},
       {kEventDrag, kShuffleList, kByOrderTab, 7, 0}, {kEventDrop, kShuffleList, kByOrderTab, 7, 1}});
  EXPECT_EQ(Names(), (std::vector<std::string>{"Kestrel", "Albatross", "Magpie", "Bittern", "Dunlin"}));
  EXPECT_TRUE(display_.shown.empty());
}

TEST_F(ShuffleWindowTest, TextsBlinkInTurnsAndOkClosesTheFrameToo) {
  Run({{kEventTimer, 0, kByOrderTab}, {kEventTimer, 0, kByOrderTab}, {kEventAccepted, kShuffleOk, kByOrderTab}});
  ASSERT_NE(window_, nullptr);
  framework::FakeWindowPort& port = window_->window;
  // Two ticks: an even count shows "Just Drag-and-Drop records" and "Don't even try".
  EXPECT_EQ(port.Property(kShuffleJustDragText, framework::kPropHidden), "");
  EXPECT_EQ(port.Property(kShuffleDontTryText, framework::kPropHidden), "");
  EXPECT_EQ(port.Property(kShuffleEnabledText, framework::kPropHidden), "1");
  EXPECT_EQ(port.Property(kShuffleDisabledText, framework::kPropHidden), "1");
  bool frame_told = false;
  for (const framework::WindowPost& post : port.posts) {
    if (post.event == kEventCloseWindow && post.thread == 1) frame_told = true;
  }
  EXPECT_TRUE(frame_told);
  EXPECT_EQ(CallResponse, framework::kResponseCancelled);
}

}  // namespace
}  // namespace korvex::app::testing
