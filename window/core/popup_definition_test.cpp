#include "window/core/popup_definition.h"

#include <gtest/gtest.h>

#include <string>

namespace korvex {
namespace {

using Kind = PopupEntry::Kind;

// "kind:text#number" per entry, for compact expectations.
std::string Shape(const PopupDefinition& def) {
  std::string out;
  for (const PopupEntry& e : def.entries) {
    if (!out.empty()) out += ' ';
    switch (e.kind) {
      case Kind::kItem:
        out += e.text + "#" + std::to_string(e.number);
        break;
      case Kind::kSeparator:
        out += "-";
        break;
      case Kind::kSubmenuBegin:
        out += e.text + "{";
        break;
      case Kind::kSubmenuEnd:
        out += "}";
        break;
    }
  }
  return out;
}

TEST(PopupDefinition, NumbersItemsAndSkipsSeparatorsAndCaptions) {
  PopupDefinition def = ParsePopupDefinition("Insert|Change|Delete|-|~Select");
  EXPECT_EQ(Shape(def), "Insert#1 Change#2 Delete#3 - Select#4");
  EXPECT_EQ(def.item_count, 4);
  EXPECT_TRUE(def.entries[4].disabled);
  EXPECT_FALSE(def.entries[2].disabled);

  def = ParsePopupDefinition("Sort{By Name|By Date}|+Show All");
  EXPECT_EQ(Shape(def), "Sort{ By Name#1 By Date#2 } Show All#3");
  EXPECT_TRUE(def.entries.back().checked);
  EXPECT_EQ(def.entries[1].depth, 2);
  EXPECT_EQ(def.entries.back().depth, 1);

  // What the menu manager writes: a leading "|", "{" and "}" as marks.
  def = ParsePopupDefinition("|One|Two{Three|Four}Five");
  EXPECT_EQ(Shape(def), "One#1 Two{ Three#2 Four#3 } Five#4");
}

TEST(PopupDefinition, FlagsAndAttributes) {
  PopupDefinition def = ParsePopupDefinition("~+[31848(~Save.ico)]Save|-Plain|[(x\\)y),-7,z]Odd");
  ASSERT_EQ(def.entries.size(), 3u);
  const PopupEntry& save = def.entries[0];
  EXPECT_TRUE(save.disabled);
  EXPECT_TRUE(save.checked);
  EXPECT_TRUE(save.owner_drawn);
  ASSERT_EQ(save.attributes.size(), 2u);
  EXPECT_FALSE(save.attributes[0].is_text);
  EXPECT_EQ(save.attributes[0].number, 31848);
  EXPECT_TRUE(save.attributes[1].is_text);
  EXPECT_EQ(save.attributes[1].text, "~Save.ico");
  EXPECT_EQ(save.text, "Save");

  EXPECT_EQ(def.entries[1].text, "Plain");
  EXPECT_FALSE(def.entries[1].checked);
  EXPECT_FALSE(def.entries[1].owner_drawn);

  const PopupEntry& odd = def.entries[2];
  EXPECT_TRUE(odd.owner_drawn);
  ASSERT_EQ(odd.attributes.size(), 3u);
  EXPECT_EQ(odd.attributes[0].text, "x)y");
  EXPECT_EQ(odd.attributes[1].number, -7);
  EXPECT_EQ(odd.attributes[2].number, 0);  // not a number
  EXPECT_EQ(odd.text, "Odd");
}

TEST(PopupDefinition, EscapedTextsReadBackUnchanged) {
  for (std::string text : {"a|b", "{x}", "-", "~tilde", "+plus", "-minus", "[bracket", "back\\slash", "",
                           "end\\"}) {
    std::string def("|");
    def += EscapePopupText(text);
    def += "|After";
    PopupDefinition parsed = ParsePopupDefinition(def);
    if (text.empty()) {
      // An empty entry is no entry; the menu manager never writes one.
      EXPECT_EQ(Shape(parsed), "After#1");
      continue;
    }
    ASSERT_EQ(parsed.entries.size(), 2u) << text;
    EXPECT_EQ(parsed.entries[0].kind, Kind::kItem) << text;
    EXPECT_EQ(parsed.entries[0].text, text);
    EXPECT_FALSE(parsed.entries[0].disabled || parsed.entries[0].checked || parsed.entries[0].owner_drawn);
    EXPECT_EQ(parsed.entries[1].number, 2);
  }
  std::string with_icon("[1(");
  with_icon += EscapePopupAttributeText("a)b|c\\");
  with_icon += ")]T";
  PopupDefinition icon = ParsePopupDefinition(with_icon);
  ASSERT_EQ(icon.entries.size(), 1u);
  EXPECT_EQ(icon.entries[0].attributes[1].text, "a)b|c\\");
  EXPECT_EQ(icon.entries[0].text, "T");
}

TEST(PopupDefinition, BrokenInputIsReadAsFarAsItGoes) {
  // Unclosed submenus are closed at the end; a "}" too many is ignored.
  EXPECT_EQ(Shape(ParsePopupDefinition("A{B{C")), "A{ B{ C#1 } }");
  EXPECT_EQ(Shape(ParsePopupDefinition("A}}B}")), "A#1 B#2");
  EXPECT_EQ(Shape(ParsePopupDefinition("{X}")), "{ X#1 }");
  // Unterminated "[" and "(" end with the entry.
  PopupDefinition def = ParsePopupDefinition("[12,(abc|Next");
  ASSERT_EQ(def.entries.size(), 2u);
  EXPECT_EQ(def.entries[0].attributes.size(), 2u);
  EXPECT_EQ(def.entries[0].text, "");
  EXPECT_EQ(def.entries[1].text, "Next");
  EXPECT_EQ(Shape(ParsePopupDefinition("")), "");
  EXPECT_EQ(Shape(ParsePopupDefinition("\\")), "#1");
  EXPECT_EQ(ParsePopupDefinition("[99999999999]x").entries[0].attributes[0].number, 2147483647);
}

TEST(PopupDefinition, NumbersStayWithinSixteenBits) {
  std::string def;
  for (int i = 0; i < 65537; ++i) def += "x|";
  PopupDefinition parsed = ParsePopupDefinition(def);
  EXPECT_EQ(parsed.item_count, 65535);
  EXPECT_EQ(parsed.dropped_items, 2u);
  EXPECT_EQ(parsed.entries.back().number, 65535);
}

}  // namespace
}  // namespace korvex
