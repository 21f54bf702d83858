// The browse toolbar on real windows: toolbar buttons nested in a toolbar window,
// a procedure window with a list and buttons, presses arriving as events.
#include "window/toolbar_port_adapter.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "framework/browse_toolbar.h"
#include "window/engine_test_window.h"

namespace korvex {
namespace {

using namespace framework;

HWND Child(HWND parent, const char* win_class, int32_t id) {
  return CreateWindowExA(0, win_class, "", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}

class NoHost : public ToolbarHost {
 public:
  void SyncBrowseRecords() override {}
  void CloseWithResponse(uint8_t) override {}
};

class ToolbarPortAdapter : public ::testing::Test {
 protected:
  void SetUp() override {
    StartEventEngine();
    HWND bar = Child(frame.hwnd, "STATIC", 99);  // the toolbar, its buttons inside it
    for (int32_t id = kToolbarFirst; id <= kToolbarLast; ++id) EnableWindow(Child(bar, "BUTTON", id), FALSE);
    list = Child(procedure.hwnd, "LISTBOX", 1);
    Child(procedure.hwnd, "BUTTON", 10);                // insert
    EnableWindow(Child(procedure.hwnd, "BUTTON", 11), FALSE);  // change, disabled
  }
  bool Enabled(int32_t id) { return IsWindowEnabled(ControlToolbarPort::FindDescendant(frame.hwnd, id)) != FALSE; }

  test::TestWindow frame{false, nullptr, true};
  test::TestWindow procedure{false, nullptr, true};  // the thread's current window
  HWND list = nullptr;
  ControlToolbarPort port{frame.hwnd, procedure.hwnd};
};

TEST_F(ToolbarPortAdapter, EnablesTheFrameButtonsAndPostsPressesToTheList) {
  BrowseToolbar toolbar;
  toolbar.Init(&port);
  toolbar.AddTarget(std::make_unique<ToolbarTarget>(BrowseButtons{.insert = 10, .change = 11}), 1);
  toolbar.SetTarget(0);  // the list is visible
  ASSERT_NE(toolbar.current(), nullptr);
  EXPECT_EQ(port.Tip(kToolbarDown), "Go to the Next Record");
  toolbar.ShowButtons();
  EXPECT_TRUE(Enabled(kToolbarInsert));
  EXPECT_FALSE(Enabled(kToolbarChange));
  EXPECT_FALSE(Enabled(kToolbarDelete));
  EXPECT_TRUE(Enabled(kToolbarDown));
  EXPECT_FALSE(Enabled(kToolbarHistory));

  NoHost host;
  toolbar.HandleToolbarEvent(kToolbarDown, host);
  toolbar.HandleToolbarEvent(kToolbarInsert, host);
  std::vector<std::pair<EventCode, int32_t>> seen;
  test::RunAcceptLoop([&](EventCode event) {
    if (event == kEventScrollDown || event == kEventAccepted) seen.emplace_back(event, CurrentField());
    if (seen.size() == 2) PostMessageA(procedure.hwnd, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(seen, (std::vector<std::pair<EventCode, int32_t>>{{kEventScrollDown, 1}, {kEventAccepted, 10}}));

  ShowWindow(list, SW_HIDE);
  EXPECT_FALSE(port.IsVisible(1));
  EXPECT_FALSE(port.Exists(2));  // no such control
}

TEST_F(ToolbarPortAdapter, FrameWithoutToolbarHasNoControls) {
  ControlToolbarPort bare(nullptr, procedure.hwnd);
  EXPECT_FALSE(bare.Exists(kToolbarInsert));
  EXPECT_TRUE(bare.Exists(10));
  bare.SetEnabled(kToolbarInsert, true);  // nothing to do, no failure
  bare.SetTip(kToolbarInsert, "x");
  EXPECT_EQ(bare.Tip(kToolbarInsert), "");
}

}  // namespace
}  // namespace korvex
