// A popup menu controller on real windows: the menu shows, a key chooses, and
// the mimicked button's event arrives in the owner's loop.
#include "window/popup_presenter_adapter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "framework/popup_menu_controller.h"
#include "window/engine_test_window.h"

namespace korvex {
namespace {

using namespace framework;

TEST(PopupPresenterOnWin32, AChosenMimickingItemPressesItsButton) {
  StartEventEngine();
  test::TestWindow window(false, nullptr, true);
  SetForegroundWindow(window.hwnd);
  HWND button = CreateWindowExA(0, "BUTTON", "&Add one", WS_CHILD | WS_VISIBLE, 0, 0, 40, 20, window.hwnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(10)), GetModuleHandleA(nullptr), nullptr);
  CreateWindowExA(0, "BUTTON", "Off", WS_CHILD | WS_VISIBLE | WS_DISABLED, 0, 30, 40, 20, window.hwnd,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(11)), GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(button, nullptr);
  EnginePopupPresenter presenter;
  ControlLook look = presenter.ReadControl(presenter.CurrentWindow(), 10);
  EXPECT_TRUE(look.exists);
  EXPECT_EQ(look.text, "&Add one");
  EXPECT_TRUE(presenter.ReadControl(presenter.CurrentWindow(), 11).disabled);
  EXPECT_FALSE(presenter.ReadControl(presenter.CurrentWindow(), 12).exists);

  PopupMenuController popup;
  popup.Init(&presenter);
  popup.AddItemMimic("&Change", "!&Change", 11);  // disabled: the keys pass over it
  popup.AddItemMimic("&Insert", "!&Insert", 10);
  EXPECT_EQ(popup.MenuText(presenter.CurrentWindow()), "|~Off|&Add one");
  // The keys pass over the grey item (highlighted, not chosen).
  for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) PostThreadMessageA(GetCurrentThreadId(), WM_KEYDOWN, key, 0);
  EXPECT_EQ(popup.Ask(100, 100), "Insert");
  PostEvent(kEventCloseWindow);
  std::vector<std::pair<EventCode, int32_t>> seen;
  test::RunAcceptLoop([&](EventCode e) { seen.push_back({e, CurrentField()}); });
  EXPECT_NE(std::find(seen.begin(), seen.end(), std::make_pair(kEventAccepted, int32_t{10})), seen.end());
}

TEST(PopupPresenterOnWin32, TheToolboxRunsOnItsOwnThreadAndPressesTheOwnersButtons) {
  StartEventEngine();
  test::TestWindow window(false, nullptr, true);
  CreateWindowExA(0, "BUTTON", "&Add one", WS_CHILD | WS_VISIBLE, 0, 0, 40, 20, window.hwnd,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(10)), GetModuleHandleA(nullptr), nullptr);
  HWND change = CreateWindowExA(0, "BUTTON", "&Change", WS_CHILD | WS_VISIBLE, 0, 30, 40, 20, window.hwnd,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(11)), GetModuleHandleA(nullptr), nullptr);
  EnginePopupPresenter presenter;
  PopupMenuController popup;
  popup.Init(&presenter);
  popup.AddItemMimic("&Insert", "!&Insert", 10);
  popup.AddItem("-");
  popup.AddItemMimic("&Change", "!&Change", 11);
  ASSERT_TRUE(popup.ShowToolbox("Browse Actions"));
  HWND toolbox = nullptr;
  ASSERT_TRUE(test::WaitUntil([&] {
    toolbox = FindWindowA("KorvexToolbox", "Browse Actions");
    return toolbox != nullptr && GetDlgItem(toolbox, 2) != nullptr && IsWindowVisible(toolbox) && popup.InToolbox();
  }));
  char text[64] = {};
  GetWindowTextA(GetDlgItem(toolbox, 1), text, sizeof text);
  EXPECT_STREQ(text, "&Add one");
  // The buttons follow their controls.
  EnableWindow(change, FALSE);
  EXPECT_TRUE(test::WaitUntil([&] { return !IsWindowEnabled(GetDlgItem(toolbox, 2)); }));
  EnableWindow(change, TRUE);
  EXPECT_TRUE(test::WaitUntil([&] { return IsWindowEnabled(GetDlgItem(toolbox, 2)) != FALSE; }));
  // Button 2 is the second item on the toolbox: Change.
  PostMessageA(toolbox, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(toolbox, 2)));
  bool pressed = false;
  test::RunAcceptLoop([&](EventCode e) {
    if (e == kEventAccepted && CurrentField() == 11) {
      pressed = true;
      PostEvent(kEventCloseWindow);
    }
  });
  EXPECT_TRUE(pressed);
  EXPECT_EQ(popup.LastSelection(), "Change");
  // Kill closes the toolbox and waits for its thread.
  popup.Kill();
  EXPECT_FALSE(popup.InToolbox());
  EXPECT_FALSE(IsWindow(toolbox));
}

}  // namespace
}  // namespace korvex
