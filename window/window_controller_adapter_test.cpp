// The window controller driving a real window through the engine adapters.
#include <gtest/gtest.h>

#include "framework/window_controller.h"
#include "window/engine_test_window.h"
#include "window/event_source_adapter.h"
#include "window/window_port_adapter.h"

namespace korvex {
namespace {

using namespace framework;

HWND Child(HWND parent, const char* win_class, int32_t id) {
  return CreateWindowExA(0, win_class, "", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}

class CountingBrowse : public WindowBrowse {
 public:
  void ChooseSortOrder(bool force) override { sorts += force ? 10 : 1; }
  void RefreshControls() override {}
  bool NeedsRefresh() override { return false; }
  void HandleBrowseEvent() override { ++events; }
  void LoadSelectedRecord() override {}
  void PrepareBrowseAlerts() override {}
  void SetSelecting(bool) override {}
  void Kill() override { ++kills; }
  int sorts = 0, events = 0, kills = 0;
};

TEST(WindowControllerOnWin32, AButtonClosesTheWindowThroughTheEngine) {
  StartEventEngine();
  test::TestWindow window(true, nullptr, true);
  HWND tab = Child(window.hwnd, "STATIC", 2);
  Child(tab, "BUTTON", 9);  // nested below another control
  EngineEventSource events;
  ControlWindowPort port(window.hwnd);
  port.SetControlType(2, kControlTypeSheet);
  ASSERT_NE(port.FindControl(9), nullptr);
  EXPECT_EQ(port.Property(9, kPropVisible), "1");
  EXPECT_EQ(port.ControlType(2), kControlTypeSheet);

  CountingBrowse browse;
  WindowController wc;
  wc.SetWindow(&events, &port);
  class Opening : public WindowController {
   public:
    Outcome Init() override {
      Outcome o = WindowController::Init();
      RegisterBrowse(browse);
      RegisterButton(9, kResponseCancelled);
      return o;
    }
    CountingBrowse* browse = nullptr;
  } opening;
  opening.browse = &browse;
  opening.SetWindow(&events, &port);
  PostEvent(kEventNewSelection, 2);
  PostEvent(kEventAccepted, 9);
  PostEvent(kEventAccepted, 5);  // never reached: the window closes first
  EXPECT_EQ(opening.RunWindow(), kResponseCancelled);
  EXPECT_EQ(browse.kills, 1);
  // OpenWindow prepared, the first Sized was swallowed, the tab change reset
  // (and the window's first GainFocus, when it got the focus, reset too).
  EXPECT_GE(browse.sorts, 2);
  EXPECT_LE(browse.sorts, 3);
  EXPECT_EQ(opening.inited, kInitedPrepared | kInitedSized);
}

TEST(WindowControllerOnWin32, TheKeyCodeOfARightClickIsCleared) {
  StartEventEngine();
  test::TestWindow window(false, nullptr, true);
  EngineEventSource events;
  PostEvent(kEventAlertKey, 1);
  ASSERT_FALSE(events.AcceptNext());  // EVENT:OpenWindow
  ASSERT_FALSE(events.AcceptNext());
  ASSERT_EQ(events.CurrentEvent(), kEventAlertKey);
  events.SetKeyCode(0x82);
  EXPECT_EQ(events.KeyCode(), 0x82);
  WindowController wc;
  ControlWindowPort port(window.hwnd);
  wc.SetWindow(&events, &port);
  wc.Init();
  EXPECT_EQ(events.KeyCode(), 0);
  wc.Kill();
}

}  // namespace
}  // namespace korvex
