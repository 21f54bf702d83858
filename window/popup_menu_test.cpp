#include "window/popup_menu.h"

#include <gtest/gtest.h>

#include <string>

#include "window/engine_test_window.h"

namespace korvex {
namespace {

std::string ItemText(HMENU menu, int position) {
  char text[64] = {};
  GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
  return text;
}

TEST(PopupMenu, BuildsNumberedItemsSeparatorsAndSubmenus) {
  HMENU menu = BuildPopupMenu(ParsePopupDefinition("Insert|Change|Delete|-|~Select|Sort{By Name|+By Date}"));
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), 6);
  EXPECT_EQ(GetMenuItemID(menu, 0), 1u);
  EXPECT_EQ(GetMenuItemID(menu, 2), 3u);
  EXPECT_TRUE(GetMenuState(menu, 3, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_EQ(GetMenuItemID(menu, 4), 4u);
  EXPECT_TRUE(GetMenuState(menu, 4, MF_BYPOSITION) & MF_GRAYED);
  EXPECT_EQ(ItemText(menu, 5), "Sort");
  HMENU sub = GetSubMenu(menu, 5);
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(GetMenuItemCount(sub), 2);
  EXPECT_EQ(GetMenuItemID(sub, 0), 5u);
  EXPECT_EQ(GetMenuItemID(sub, 1), 6u);
  EXPECT_TRUE(GetMenuState(sub, 1, MF_BYPOSITION) & MF_CHECKED);
  DestroyMenu(menu);
}

TEST(PopupMenu, LongMenusBreakIntoColumns) {
  std::string def;
  for (int i = 0; i < 7; ++i) def += "x|";
  HMENU menu = BuildPopupMenu(ParsePopupDefinition(def), 3);
  ASSERT_EQ(GetMenuItemCount(menu), 7);
  EXPECT_FALSE(GetMenuState(menu, 2, MF_BYPOSITION) & MF_MENUBARBREAK);
  EXPECT_TRUE(GetMenuState(menu, 3, MF_BYPOSITION) & MF_MENUBARBREAK);
  EXPECT_TRUE(GetMenuState(menu, 6, MF_BYPOSITION) & MF_MENUBARBREAK);
  DestroyMenu(menu);
}

// The menu reads the keys already waiting in the thread's queue.
int ChooseWithKeys(const char* definition, std::initializer_list<WPARAM> keys) {
  for (WPARAM key : keys) PostThreadMessageA(GetCurrentThreadId(), WM_KEYDOWN, key, 0);
  return ShowPopupMenu(definition, 100, 100);
}

TEST(PopupMenu, AChoiceMadeWithKeysAnswersTheItemsNumber) {
  StartEventEngine();
  test::TestWindow window(false, nullptr, true);
  SetForegroundWindow(window.hwnd);
  EXPECT_EQ(ChooseWithKeys("Insert|Change|Delete|-|~Select", {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}), 3);
  EXPECT_EQ(ChooseWithKeys("One|Two", {VK_ESCAPE}), 0);
  EXPECT_EQ(ChooseWithKeys("Sort{By Name|By Date}|Show All", {VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN}), 2);
  EXPECT_EQ(ShowPopupMenu("", 0, 0), 0);
  EXPECT_TRUE(IsWindow(window.hwnd));
}

}  // namespace
}  // namespace korvex
