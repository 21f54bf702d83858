#include <gtest/gtest.h>

#include <cstring>

#include "window/core/message_box_buttons.h"
#include "window/core/message_box_template.h"

namespace korvex::mbox {
namespace {

std::vector<int> Ids(const std::vector<ShownButton>& shown) {
  std::vector<int> ids;
  for (const ShownButton& b : shown) ids.push_back(b.id);
  return ids;
}

TEST(MessageBoxButtons, MaskSelectsButtonsInTableOrder) {
  EXPECT_EQ(Ids(ShownButtons(6)), (std::vector<int>{6, 7}));
  EXPECT_EQ(Ids(ShownButtons(0)), (std::vector<int>{1}));
  EXPECT_EQ(Ids(ShownButtons(0x100)), (std::vector<int>{1}));  // no known bit
  EXPECT_EQ(Ids(ShownButtons(0xFF)), (std::vector<int>{1, 6, 7, 3, 4, 5, 2, 9}));
  EXPECT_EQ(Ids(ShownButtons(64 | 1)), (std::vector<int>{1, 2}));
  const auto captions = ShownButtons(0xFF);
  EXPECT_EQ(captions[1].caption, "&Yes");
  EXPECT_EQ(captions[6].caption, "Cancel");
  // Locale captions replace the table's where given.
  const auto local = ShownButtons(6, {"", "&Ja", ""});
  EXPECT_EQ(local[0].caption, "&Ja");
  EXPECT_EQ(local[1].caption, "&No");
  EXPECT_EQ(ShownButtons(0, {"Fine"})[0].caption, "Fine");
}

TEST(MessageBoxButtons, DefaultButtonAndAnswers) {
  const auto yes_no = ShownButtons(6);
  EXPECT_EQ(DefaultButtonIndex(yes_no, 4), 1u);
  EXPECT_EQ(DefaultButtonIndex(yes_no, 64), 0u);  // not shown: the first
  EXPECT_EQ(DefaultButtonIndex(yes_no, 0), 0u);
  EXPECT_EQ(BitForCommand(yes_no, 7), 4u);
  EXPECT_EQ(BitForCommand(yes_no, 6), 2u);
  // Esc and the close box send the Cancel id: no Cancel button, no Cancel bit.
  EXPECT_EQ(BitForCommand(yes_no, kCancelId), 0u);
  EXPECT_EQ(BitForCommand(ShownButtons(64 | 4 | 2), kCancelId), 64u);
  EXPECT_EQ(BitForCommand(ShownButtons(0), 1), 1u);
}

TEST(MessageBoxText, BarsBecomeLineBreaks) {
  EXPECT_EQ(PrepareMessageText("First line|Second line"), "First line\r\nSecond line");
  EXPECT_EQ(PrepareMessageText("||"), "\r\n\r\n");
  EXPECT_EQ(PrepareMessageText("a & b"), "a & b");
}

// Reads the template bytes back as Win32 would.
struct Reader {
  const std::vector<uint8_t>& b;
  size_t at = 0;
  uint16_t U16() { uint16_t v = static_cast<uint16_t>(b[at] | b[at + 1] << 8); at += 2; return v; }
  uint32_t U32() { uint32_t lo = U16(); return lo | static_cast<uint32_t>(U16()) << 16; }
  std::u16string Text() { std::u16string s; for (uint16_t c; (c = U16()) != 0;) s += static_cast<char16_t>(c); return s; }
};

MessageBoxRequest Request(uint32_t mask, uint32_t default_bit, bool icon) {
  MessageBoxRequest r;
  r.title = u"Title";
  r.text = u"Text";
  r.text_width = 40;
  r.text_height = 8;
  r.has_icon = icon;
  r.buttons = ShownButtons(mask);
  for (const auto& b : r.buttons) r.button_captions.emplace_back(b.caption.begin(), b.caption.end());
  r.default_index = DefaultButtonIndex(r.buttons, default_bit);
  return r;
}

TEST(MessageBoxTemplate, BytesCarryTheItemsAlignedWithTheirStyles) {
  const DialogTemplate dialog = LayoutMessageBox(Request(6, 4, true));
  const std::vector<uint8_t> bytes = EncodeDialogTemplate(dialog);
  Reader r{bytes};
  EXPECT_EQ(r.U16(), 1);
  EXPECT_EQ(r.U16(), 0xFFFF);
  r.U32();
  EXPECT_EQ(r.U32(), 0u);  // ex style
  const uint32_t style = r.U32();
  EXPECT_NE(style & kDsSetFont, 0u);
  EXPECT_EQ(style & kDsSysModal, 0u);
  EXPECT_EQ(r.U16(), 4);  // icon, text, Yes, No
  r.at += 8;
  EXPECT_EQ(r.U16(), 0);
  EXPECT_EQ(r.U16(), 0);
  EXPECT_EQ(r.Text(), u"Title");
  EXPECT_EQ(r.U16(), 8);
  EXPECT_EQ(r.U16(), 400);
  r.U16();
  EXPECT_EQ(r.Text(), u"MS Sans Serif");
  struct Item { uint32_t style; int id; uint16_t atom; std::u16string title; };
  std::vector<Item> items;
  for (int i = 0; i < 4; ++i) {
    r.at = (r.at + 3) & ~size_t{3};
    r.U32();
    r.U32();
    Item item;
    item.style = r.U32();
    r.at += 8;
    item.id = static_cast<int>(r.U32());
    EXPECT_EQ(r.U16(), 0xFFFF);
    item.atom = r.U16();
    item.title = r.Text();
    EXPECT_EQ(r.U16(), 0);
    items.push_back(item);
  }
  EXPECT_EQ(r.at, bytes.size());
  EXPECT_EQ(items[0].id, kIconId);
  EXPECT_EQ(items[0].style & 0xF, kSsIcon);
  EXPECT_EQ(items[1].id, kTextId);
  EXPECT_EQ(items[1].atom, kAtomStatic);
  EXPECT_NE(items[1].style & kSsNoPrefix, 0u);  // "&" stays an ampersand
  EXPECT_EQ(items[2].title, u"&Yes");
  EXPECT_EQ(items[2].style & kBsDefPushButton, 0u);
  EXPECT_NE(items[2].style & kWsGroup, 0u);
  EXPECT_EQ(items[3].id, 7);
  EXPECT_NE(items[3].style & kBsDefPushButton, 0u);
}

TEST(MessageBoxTemplate, LayoutWidensForTheButtonRowAndCentresIt) {
  const DialogTemplate narrow = LayoutMessageBox(Request(0xFF, 1, false));
  const int row = 8 * kButtonWidth + 7 * kButtonGap;
  EXPECT_EQ(narrow.cx, row + 2 * kMargin);
  EXPECT_EQ(narrow.items[1].x, kMargin);  // first button (item 0 is the text)
  MessageBoxRequest wide = Request(1, 1, true);
  wide.text_width = 300;
  wide.text_height = 40;
  wide.system_modal = true;
  wide.new_look = false;
  const DialogTemplate box = LayoutMessageBox(wide);
  EXPECT_EQ(box.cx, kMargin + kIconSize + kMargin + 300 + kMargin);
  const DialogItem& ok = box.items.back();
  EXPECT_EQ(ok.x, (box.cx - kButtonWidth) / 2);
  EXPECT_EQ(ok.y, kMargin + 40 + kMargin);
  EXPECT_NE(ok.style & kBsDefPushButton, 0u);
  EXPECT_NE(box.style & kDsSysModal, 0u);
  EXPECT_EQ(box.typeface, u"Helv");
  EXPECT_EQ(box.weight, 700);
}

}  // namespace
}  // namespace korvex::mbox
