// An update form over a real file: the window controller with a relation
// controller as its primary record, a scripted loop and a fake window.
#include <gtest/gtest.h>

#include "framework/fake_window.h"
#include "framework/file_controller_test_util.h"
#include "framework/relation_controller.h"
#include "framework/window_controller.h"

namespace korvex::framework {
namespace {

using testing::ControllerTest;

class FormOverFileTest : public ControllerTest {
 protected:
  void SetUp() override {
    ControllerTest::SetUp();
    InitClients();
    ASSERT_EQ(clients_.Open(), kOutcomeDone);
    SetClient(1, "Ada", 5);
    ASSERT_EQ(clients_.Insert(), kOutcomeDone);
    relations_.Init(&clients_, false);
  }
  void TearDown() override {
    relations_.Kill();
    clients_.Close();
    ControllerTest::TearDown();
  }
  void OpenForm(uint8_t request) {
    form_.request = request;
    form_.SetWindow(&loop_, &window_);
    form_.errors = &errors_;
    ASSERT_EQ(form_.Init(), kOutcomeDone);
    form_.SetPrimary(&relations_);
    form_.ok_control = 10;
    form_.first_field = 2;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& r : Records(testing::kClient, clients_block_.name, testing::kClientById, sizeof client_)) {
      std::string s(reinterpret_cast<const char*>(r.data()) + 4, 20);
      names.push_back(s.erase(s.find_last_not_of(' ') + 1));
    }
    return names;
  }

  RelationController relations_;
  ScriptedEventSource loop_;
  FakeWindowPort window_{&loop_};
  WindowController form_;
};

TEST_F(FormOverFileTest, AChangeFormWritesOnlyWhatChanged) {
  SetClient(1, "", 0);
  ASSERT_EQ(clients_.FetchQuiet(testing::kClientById), kOutcomeDone);
  ASSERT_EQ(ClientName(), "Ada");
  OpenForm(kRequestChange);
  ASSERT_EQ(form_.PrepareUpdate(), kOutcomeDone);

  // Closing an unchanged form asks nothing.
  loop_.Queue(kEventCloseWindow);
  form_.EventLoop();
  EXPECT_TRUE(display_.shown.empty());
  EXPECT_TRUE(loop_.refused.empty());

  // A changed one asks; cancel keeps it, then OK writes the change.
  SetClient(1, "Bea", 5);
  display_.PressNext(kButtonCancel);
  loop_.Queue(kEventCloseWindow);
  loop_.Queue(kEventAccepted, 10);
  form_.EventLoop();
  EXPECT_EQ(Titles(), std::vector<std::string>{"Save Record"});
  EXPECT_EQ(form_.response, kResponseCompleted);
  EXPECT_EQ(Names(), std::vector<std::string>{"Bea"});
  EXPECT_EQ(form_.Kill(), kOutcomeDone);
}

TEST_F(FormOverFileTest, AnInsertFormAddsTheRecordAndAnotherCanFollow) {
  OpenForm(kRequestInsert);
  form_.insert_action = kInsertAnother;
  ASSERT_EQ(form_.PrepareUpdate(), kOutcomeDone);
  SetClient(7, "Cyd", 1);
  // Completing adds the record and numbers the next one (added already,
  // blank); the user then leaves: the numbered record goes, the added one is
  // read back and the insert counts as completed.
  loop_.Queue(kEventCompleted);
  loop_.Queue(kEventCloseWindow);
  form_.EventLoop();
  EXPECT_TRUE(display_.shown.empty());
  EXPECT_EQ(window_.selects.back(), 2);
  EXPECT_EQ(Names(), (std::vector<std::string>{"Ada", "Cyd"}));
  EXPECT_EQ(form_.response, kResponseCompleted);
  EXPECT_EQ(ClientName(), "Cyd");
  EXPECT_EQ(form_.Kill(), kOutcomeDone);
}

}  // namespace
}  // namespace korvex::framework
