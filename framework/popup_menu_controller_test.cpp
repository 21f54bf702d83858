#include "framework/popup_menu_controller.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "framework/fake_popup_presenter.h"
#include "framework/text_translator.h"
#include "window/core/event_codes.h"
#include "window/core/popup_definition.h"

namespace korvex::framework {
namespace {

class PopupMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    presenter.thread_number = 3;
    popup.Init(&presenter);
  }

  // "name@depth" per item.
  std::string Shape() {
    std::string out;
    for (const PopupItem& item : popup.Items()) {
      if (!out.empty()) out += ' ';
      out += item.name + "@" + std::to_string(item.depth);
    }
    return out;
  }

  FakePopupPresenter presenter;
  PopupMenuController popup;
};

TEST_F(PopupMenuTest, NamesAreMadeFromTextsAndKeptUnique) {
  EXPECT_EQ(popup.AddItem("X"), "X");
  EXPECT_EQ(popup.AddItem("X"), "X1");
  EXPECT_EQ(popup.AddItem("X"), "X2");
  EXPECT_EQ(popup.AddItem("-"), "Separator");
  EXPECT_EQ(popup.AddItem("-  "), "Separator1");
  EXPECT_EQ(popup.AddItem("&Insert  "), "Insert");
  EXPECT_EQ(popup.AddItemLast("Print it", "Print_2 !"), "Print_2");
  // A text without a single name character still gets a real name.
  EXPECT_EQ(popup.AddItem("***"), "Item");
  EXPECT_EQ(popup.ItemCount(), 8u);
  std::string long_text(2000, 'a');
  EXPECT_EQ(popup.AddItem(long_text).size(), kPopupNameMax);
  EXPECT_EQ(popup.AddItem(long_text).size(), kPopupNameMax);  // cut to make room for "1"
  EXPECT_EQ(popup.Items().back().text.size(), kPopupTextMax);
}

TEST_F(PopupMenuTest, LeadingFlagsBecomeItemState) {
  popup.AddItem("~+Word");
  popup.AddItem("-");
  popup.AddItem("-Word");
  std::vector<PopupItem> items = popup.Items();
  EXPECT_EQ(items[0].disabled, 1);
  EXPECT_EQ(items[0].check, 1);
  EXPECT_EQ(items[0].text, "Word");
  EXPECT_TRUE(items[1].IsSeparator());
  EXPECT_EQ(items[2].check, 2);
  EXPECT_EQ(items[2].text, "Word");
  EXPECT_EQ(popup.MenuText(0), "|~+Word|-|-Word");

  popup.SetItemEnabled("Word", true);
  popup.SetItemEnabled("Separator", false);  // separators are left alone
  EXPECT_EQ(popup.Items()[0].disabled, 2);
  EXPECT_EQ(popup.Items()[1].disabled, 0);
  popup.SetItemEnabled("Nobody", false);
  popup.DeleteItem("Nobody");
  EXPECT_EQ(popup.ItemCount(), 3u);
}

TEST_F(PopupMenuTest, MenuSyntaxBuildsSubmenusAndChoicesSkipTitles) {
  popup.AddItems("One|Two{Three|Four}Five", 0);
  EXPECT_EQ(Shape(), "One@1 Two@1 Three@2 Four@2 Five@1");
  std::vector<PopupItem> items = popup.Items();
  EXPECT_EQ(items[1].depth, 1);  // Two is the title of the submenu
  EXPECT_EQ(popup.MenuText(0), "|One|Two{Three|Four}Five");
  EXPECT_EQ(popup.ItemForChoice(1), "One");
  EXPECT_EQ(popup.ItemForChoice(2), "Three");
  EXPECT_EQ(popup.ItemForChoice(3), "Four");
  EXPECT_EQ(popup.ItemForChoice(4), "Five");
  EXPECT_EQ(popup.ItemForChoice(5), "");
  EXPECT_EQ(popup.ItemForChoice(0), "");

  // Position 2: before Two, at the depth of One.
  popup.AddItems("A|-|B", 2);
  EXPECT_EQ(Shape(), "One@1 A@1 Separator@1 B@1 Two@1 Three@2 Four@2 Five@1");
  EXPECT_EQ(popup.ItemForChoice(3), "B");

  popup.AddItemsAfter("In", "Three");
  EXPECT_EQ(popup.Items()[6].name, "In");
  EXPECT_EQ(popup.Items()[6].depth, 2);
  // An unknown name appends instead of wiping the menu.
  popup.AddItemsAfter("Last", "Nobody");
  EXPECT_EQ(popup.ItemCount(), 10u);
  EXPECT_EQ(popup.Items().back().name, "Last");
  popup.AddSubMenu("Sort", "By Name|By Date", "One");
  EXPECT_EQ(popup.MenuText(0).substr(0, 31), "|One|Sort{By Name|By Date}A|-|B");

  popup.AddItems("Only", 0);
  EXPECT_EQ(Shape(), "Only@1");
}

TEST_F(PopupMenuTest, BrokenNestingNeverLeavesTheMenu) {
  popup.AddItems("A}}B{{C{", 0);
  EXPECT_EQ(Shape(), "A@1 B@1 C@2");
  popup.AddItems("{{{X}}}Y", 0);
  EXPECT_EQ(Shape(), "X@1 Y@1");
  // Depths set directly may jump; the menu text opens one level at a time.
  popup.AddItems("P", 0);
  popup.AddItemAt("Q", "Q", "P", 5);
  popup.AddItemAt("R", "R", "Q", 1);
  EXPECT_EQ(popup.MenuText(0), "|P{Q}R");
  EXPECT_EQ(popup.ItemForChoice(1), "Q");
  EXPECT_EQ(popup.ItemForChoice(2), "R");
  popup.AddItemAt("Deep", "Deep", "Nobody", 0);  // appended at the depth of the last item
  EXPECT_EQ(popup.Items().back().depth, 1);
}

TEST_F(PopupMenuTest, MimickingItemsFollowTheirControls) {
  presenter.SetControl(10, {true, "&Insert", "", false});
  presenter.SetControl(11, {true, "", "", true});
  popup.AddItemMimic("&Insert", "!&Insert", 10);
  popup.AddItemMimic("&Change", "!&Change", 11);
  popup.AddItemMimic("&Delete", "&Remove", 12);  // no such control
  EXPECT_EQ(popup.MenuText(0), "|&Insert|~&Change|~&Remove");

  presenter.SetControl(10, {true, "&Add one", "", true});
  popup.SetItemEnabled("Change", true);
  EXPECT_EQ(popup.MenuText(0), "|~&Add one|&Change|~&Remove");
  // The stored items are not changed by mimicking.
  EXPECT_EQ(popup.Items()[0].text, "!&Insert");
  EXPECT_EQ(popup.Items()[0].disabled, 0);
  // Mimicking an existing name reuses the item.
  popup.AddItemMimic("&Insert", "Ins", 13);
  EXPECT_EQ(popup.ItemCount(), 3u);
  EXPECT_EQ(popup.Items()[0].control_id, 13);

  // One icon makes every entry carry an icon field.
  presenter.SetControl(11, {true, "", "chg.ico", false});
  popup.AddItem("-");
  EXPECT_EQ(popup.MenuText(0), "|~[]Ins|[31848(~chg.ico)]&Change|~[]&Remove|-");
  popup.SetItemIcon("Delete", "del.ico");
  EXPECT_EQ(popup.MenuText(0), "|~[]Ins|[31848(~chg.ico)]&Change|~[31848(~del.ico)]&Remove|-");
}

class Upper : public TextTranslator {
 public:
  std::string TranslateText(const std::string& text) override { return text == "Two" ? "Tw|o{" : text; }
};

TEST_F(PopupMenuTest, SyntaxInTextsNeverShiftsTheChoice) {
  presenter.SetControl(20, {true, "a|b{c}", "", false});
  Upper translator;
  popup.translator = &translator;
  popup.AddItemMimic("Mimic", "!x", 20);
  popup.AddItems("Two|Three", 2);
  popup.AddItemMimic("Minus", "!-", 21);  // a control text "-" is no separator
  presenter.SetControl(21, {true, "-", ")", false});
  popup.AddItem("Last");
  std::string text = popup.MenuText(0);
  PopupDefinition def = ParsePopupDefinition(text);
  ASSERT_EQ(def.item_count, 5) << text;
  std::vector<std::string> shown;
  for (const PopupEntry& e : def.entries) shown.push_back(e.text);
  EXPECT_EQ(shown, (std::vector<std::string>{"a|b{c}", "Tw|o{", "Three", "-", "Last"}));
  EXPECT_EQ(def.entries[3].attributes[1].text, "~)");
  EXPECT_EQ(popup.ItemForChoice(4), "Minus");
  EXPECT_EQ(popup.ItemForChoice(5), "Last");
}

TEST_F(PopupMenuTest, ItemsWithoutTextKeepTheirNumbers) {
  popup.AddItem("--");  // an unticked check item without text, not a separator
  popup.AddItem("~+");
  popup.AddItem("After");
  PopupDefinition def = ParsePopupDefinition(popup.MenuText(0));
  EXPECT_EQ(def.item_count, 3);
  EXPECT_EQ(popup.ItemForChoice(3), "After");
  EXPECT_EQ(popup.ItemForChoice(4), "");
}

// Whatever the items, the display's numbering and the controller's agree.
TEST_F(PopupMenuTest, DisplayNumbersMatchChoicesForRandomMenus) {
  std::mt19937 random(7);
  const char* pieces[] = {"a", "-", "~b", "+c", "{", "}", "|", "\\", "[", "(", ")", "]", " "};
  for (int round = 0; round < 300; ++round) {
    std::string menu;
    for (int i = 0; i < 12; ++i) menu += pieces[random() % 13];
    popup.AddItems(menu, 0);
    if (random() % 2) popup.AddItemAt("!zz", "zz", "a", static_cast<uint16_t>(random() % 4));
    if (random() % 2) popup.SetItemIcon("b", "i)");
    PopupDefinition def = ParsePopupDefinition(popup.MenuText(0));
    int n = 0;
    for (const PopupEntry& e : def.entries) {
      if (e.kind != PopupEntry::Kind::kItem) continue;
      ++n;
      std::string name = popup.ItemForChoice(n);
      ASSERT_FALSE(name.empty()) << menu;
      bool found = false;
      for (const PopupItem& item : popup.Items()) {
        if (item.name != name) continue;
        found = true;
        std::string expected = item.text.empty() ? " " : item.text[0] == '!' ? item.text.substr(1) : item.text;
        EXPECT_EQ(e.text, expected) << menu;
      }
      EXPECT_TRUE(found);
    }
    EXPECT_EQ(popup.ItemForChoice(n + 1), "") << menu;
  }
}

TEST_F(PopupMenuTest, AskPostsTheChosenItemsEventToTheOwnersThread) {
  presenter.SetControl(10, {true, "&Insert", "", false});
  popup.AddItemMimic("&Insert", "!&Insert", 10);
  popup.AddItem("-");
  popup.SetItemEvent("Refresh", kEventCloseWindow, 0);
  popup.SetItemEvent("Locate", kEventLocate, 0);  // a control's event without a control
  popup.AddItem("Nothing");
  presenter.thread_number = 5;  // asked from another thread than the owner's
  presenter.choices = {1, 2, 3, 4, 0, 9};

  EXPECT_EQ(popup.Ask(40, 0), "Insert");
  EXPECT_EQ(presenter.positions[0], std::make_pair(40, 0));
  EXPECT_EQ(popup.Ask(), "Refresh");
  EXPECT_EQ(popup.Ask(), "Locate");
  EXPECT_EQ(popup.Ask(), "Nothing");
  EXPECT_EQ(popup.LastSelection(), "Nothing");
  EXPECT_EQ(popup.Ask(), "");
  EXPECT_EQ(popup.LastSelection(), "");
  EXPECT_EQ(popup.Ask(), "");
  EXPECT_EQ(presenter.Posts(), (std::vector<PostedEvent>{{kEventAccepted, 10, 3}, {kEventCloseWindow, 0, 3}}));
  EXPECT_EQ(presenter.key_code_clears, 2);
  popup.clear_key_code = 0;
  presenter.choices = {1};
  popup.Ask();
  EXPECT_EQ(presenter.key_code_clears, 2);
  EXPECT_EQ(presenter.read_windows.back(), presenter.current_window);
}

TEST_F(PopupMenuTest, ToolboxRunsOnItsOwnThreadAndKillClosesIt) {
  presenter.SetControl(10, {true, "&Insert", "ins.ico", false});
  presenter.SetControl(11, {true, "&Change", "", true});
  popup.AddItemMimic("&Insert", "!&Insert", 10);
  popup.AddItem("-");
  popup.AddItem("Menu only");  // not on the toolbox: button 2 is Change
  popup.AddItemMimic("&Change", "!&Change", 11);
  presenter.current_window = 0x200;
  presenter.Press(2);
  ASSERT_TRUE(popup.ShowToolbox("Browse Actions"));
  EXPECT_FALSE(popup.ShowToolbox("Again"));
  ASSERT_TRUE(presenter.WaitForPosts(1));
  // The window is now the toolbox's; the mimicked controls stay the owner's.
  presenter.current_window = 0x300;
  // Asked from the owner's thread while the toolbox runs, the menu still shows.
  presenter.choices = {1};
  EXPECT_EQ(popup.Ask(), "Insert");
  popup.Kill();
  EXPECT_FALSE(popup.InToolbox());
  EXPECT_TRUE(presenter.toolbox_closed);
  EXPECT_EQ(presenter.toolbox_title, "Browse Actions");
  EXPECT_EQ(presenter.buttons, (std::vector<std::string>{"1:~ins.ico:&Insert", "2::&Change"}));
  ASSERT_FALSE(presenter.updates.empty());
  EXPECT_EQ(presenter.updates[1], "2::&Change:off");
  EXPECT_EQ(presenter.Posts()[0], (PostedEvent{kEventAccepted, 11, 3}));
  for (WindowRef w : presenter.read_windows) {
    EXPECT_TRUE(w == 0x300u || w == 0x200u);
  }
}

TEST_F(PopupMenuTest, ToolboxEndsWhenClosedAndCanStartAgain) {
  popup.AddItem("One");
  presenter.Press(7);  // no such button: the toolbox ends
  ASSERT_TRUE(popup.ShowToolbox("T"));
  presenter.JoinToolboxThread();
  EXPECT_FALSE(popup.InToolbox());
  EXPECT_TRUE(presenter.toolbox_closed);
  presenter.refuse_thread = true;
  EXPECT_FALSE(popup.ShowToolbox("T"));
  presenter.refuse_thread = false;
  presenter.Press(1);
  presenter.Press(99);
  ASSERT_TRUE(popup.ShowToolbox("T"));
  presenter.JoinToolboxThread();
  popup.Kill();
  EXPECT_EQ(presenter.Posts().size(), 0u);  // "One" has no event
  EXPECT_EQ(popup.LastSelection(), "");
}

}  // namespace
}  // namespace korvex::framework
