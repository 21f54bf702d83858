#include "framework/browse_toolbar.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace korvex::framework {
namespace {

class FakeToolbarPort : public ToolbarPort {
 public:
  FakeToolbarPort() {
    for (int32_t c = kToolbarFirst; c <= kToolbarLast; ++c) enabled[c] = false;
  }
  bool Exists(int32_t control) const override { return enabled.count(control) != 0; }
  bool IsEnabled(int32_t control) const override {
    auto at = enabled.find(control);
    return at != enabled.end() && at->second;
  }
  void SetEnabled(int32_t control, bool on) override {
    enabled[control] = on;
    ++state_changes;
  }
  bool IsVisible(int32_t control) const override { return visible.count(control) != 0; }
  void SetTip(int32_t control, std::string_view tip) override { tips[control] = std::string(tip); }
  void PostEvent(EventCode event, int32_t control) override { posted.emplace_back(event, control); }
  void OpenHelp(uint32_t command) override { help.push_back(command); }

  std::map<int32_t, bool> enabled;
  std::set<int32_t> visible;
  std::map<int32_t, std::string> tips;
  std::vector<std::pair<EventCode, int32_t>> posted;
  std::vector<uint32_t> help;
  int state_changes = 0;
};

class RecordingHost : public ToolbarHost {
 public:
  void SyncBrowseRecords() override { calls.push_back("sync"); }
  void CloseWithResponse(uint8_t response) override { calls.push_back("close " + std::to_string(response)); }
  std::vector<std::string> calls;
};

constexpr int32_t kList = 1;

class BrowseToolbarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    toolbar.Init(&port);
    port.enabled[10] = true;   // insert button
    port.enabled[11] = false;  // change button, disabled
    port.enabled[12] = true;   // select button
    port.visible.insert(kList);
  }
  ToolbarTarget* Attach(BrowseButtons buttons, int32_t list = kList) {
    auto target = std::make_unique<ToolbarTarget>();
    target->TakeButtons(buttons);
    ToolbarTarget* added = toolbar.AddTarget(std::move(target), list);
    toolbar.SetTarget(list);
    return added;
  }

  FakeToolbarPort port;
  RecordingHost host;
  BrowseToolbar toolbar;
};

TEST_F(BrowseToolbarTest, EnablesWhatTheBrowseCanServeAndChangesOnlyDifferences) {
  Attach({.insert = 10, .change = 11});
  toolbar.ShowButtons();
  for (int32_t c = kToolbarBottom; c <= kToolbarLocate; ++c) EXPECT_TRUE(port.enabled[c]) << c;
  EXPECT_TRUE(port.enabled[kToolbarInsert]);
  EXPECT_FALSE(port.enabled[kToolbarChange]);  // the change button is disabled
  EXPECT_FALSE(port.enabled[kToolbarDelete]);  // no delete button
  EXPECT_FALSE(port.enabled[kToolbarSelect]);
  EXPECT_FALSE(port.enabled[kToolbarHistory]);
  EXPECT_FALSE(port.enabled[kToolbarHelp]);
  EXPECT_EQ(port.state_changes, 8);  // 2000 and 2004..2010 were disabled before

  port.state_changes = 0;
  toolbar.ShowButtons();
  EXPECT_EQ(port.state_changes, 0);
  port.enabled[11] = true;
  toolbar.ShowButtons();
  EXPECT_TRUE(port.enabled[kToolbarChange]);
  EXPECT_EQ(port.state_changes, 1);
}

TEST_F(BrowseToolbarTest, ShowsTheNavigationTips) {
  Attach({.insert = 10});
  EXPECT_EQ(port.tips, (std::map<int32_t, std::string>{{2000, "Insert a new Record"},
                                                        {2004, "Go to the Last Page"},
                                                        {2005, "Go to the First Page"},
                                                        {2006, "Go to the Next Page"},
                                                        {2007, "Go to the Prior Page"},
                                                        {2008, "Go to the Next Record"},
                                                        {2009, "Go to the Prior Record"}}));
}

TEST_F(BrowseToolbarTest, PressesPostToTheListAndButtons) {
  Attach({.insert = 10, .select = 12});
  for (int32_t c = kToolbarFirst - 1; c <= kToolbarLast + 1; ++c) toolbar.HandleToolbarEvent(c, host);
  using P = std::pair<EventCode, int32_t>;
  EXPECT_EQ(port.posted, (std::vector<P>{{kEventAccepted, 10},  // 2000; 2001 and 2002 have no button
                                         {kEventScrollBottom, kList},
                                         {kEventScrollTop, kList},
                                         {kEventPageDown, kList},
                                         {kEventPageUp, kList},
                                         {kEventScrollDown, kList},
                                         {kEventScrollUp, kList},
                                         {kEventLocate, kList}}));
  EXPECT_EQ(host.calls, (std::vector<std::string>{"sync", "close 1"}));
  EXPECT_EQ(port.help, std::vector<uint32_t>{0x70});
}

TEST_F(BrowseToolbarTest, WithoutSelectButtonSelectDoesNotClose) {
  Attach({.change = 11});
  toolbar.HandleToolbarEvent(kToolbarSelect, host);
  toolbar.HandleToolbarEvent(kToolbarChange, host);
  EXPECT_TRUE(host.calls.empty());
  EXPECT_EQ(port.posted, (std::vector<std::pair<EventCode, int32_t>>{{kEventAccepted, 11}}));
}

TEST_F(BrowseToolbarTest, NothingHappensWithoutTargetOrToolbarControls) {
  toolbar.ShowButtons();
  toolbar.HandleToolbarEvent(kToolbarDown, host);
  toolbar.SetTarget(kList);  // no target for it
  EXPECT_EQ(toolbar.current(), nullptr);
  EXPECT_EQ(port.state_changes, 0);
  EXPECT_TRUE(port.posted.empty());

  FakeToolbarPort frame_without_toolbar;
  frame_without_toolbar.enabled.clear();
  frame_without_toolbar.visible.insert(kList);
  BrowseToolbar bare;
  bare.Init(&frame_without_toolbar);
  auto target = std::make_unique<ToolbarTarget>(BrowseButtons{.insert = 10});
  bare.AddTarget(std::move(target), kList);
  bare.SetTarget(0);
  bare.ShowButtons();
  EXPECT_EQ(frame_without_toolbar.state_changes, 0);
  EXPECT_TRUE(frame_without_toolbar.tips.empty());
}

TEST_F(BrowseToolbarTest, FollowsTheVisibleListAmongTabs) {
  Attach({.insert = 10}, 5);
  Attach({.change = 11}, 3);
  port.visible = {3};
  toolbar.SetTarget(0);
  ASSERT_NE(toolbar.current(), nullptr);
  EXPECT_EQ(toolbar.current()->control(), 3);
  port.visible = {5};
  toolbar.SetTarget(0);
  EXPECT_EQ(toolbar.current()->control(), 5);
  port.visible = {3, 5};  // both visible: the last in list-control order
  toolbar.SetTarget(3);
  toolbar.SetTarget(0);
  EXPECT_EQ(toolbar.current()->control(), 5);
  port.visible.clear();  // none visible: the current one stays
  toolbar.SetTarget(0);
  EXPECT_EQ(toolbar.current()->control(), 5);

  toolbar.RemoveTarget(5);  // the current browse went away
  EXPECT_EQ(toolbar.current(), nullptr);
  EXPECT_EQ(toolbar.target_count(), 1u);
  toolbar.Kill();
  EXPECT_EQ(toolbar.target_count(), 0u);
  toolbar.HandleToolbarEvent(kToolbarDown, host);
  EXPECT_TRUE(port.posted.empty());
}

}  // namespace
}  // namespace korvex::framework
