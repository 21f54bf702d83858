// The generated images, read back with the resource reader, hold exactly the
// windows the program documents: labels, flags, positions, fonts, texts,
// timer, control types, numbers and the list's drag and drop ids.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "window/core/resource_image.h"

namespace korvex::rsc {
namespace {

std::vector<uint8_t> ReadGenerated(const std::string& name) {
  std::ifstream in(std::string(KORVEX_GENERATED_RESOURCES) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Loaded {
  ResourceImage image;
  WindowRecord window;
};

void LoadWindow(Loaded& loaded, const std::string& file, const char* module, const char* label) {
  const std::vector<uint8_t> bytes = ReadGenerated(file);
  ASSERT_FALSE(bytes.empty()) << file;
  ASSERT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), module);
  ASSERT_EQ(loaded.image.Load(bytes.data(), bytes.size(), module), LoadStatus::kOk) << loaded.image.defect();
  ASSERT_EQ(loaded.image.Windows().size(), 1u);
  const uint32_t record = loaded.image.FindWindowRecord(label);
  ASSERT_NE(record, 0u);
  loaded.window = loaded.image.Window(record);
}

void ExpectRect(const ControlRecord& c, int32_t x, int32_t y, int32_t w, int32_t h) {
  EXPECT_TRUE(c.has_rect) << c.equate;
  EXPECT_EQ(c.rect.x, x) << c.equate;
  EXPECT_EQ(c.rect.y, y) << c.equate;
  EXPECT_EQ(c.rect.width, w) << c.equate;
  EXPECT_EQ(c.rect.height, h) << c.equate;
}

void ExpectFont(const ResourceImage& image, uint32_t offset, const char* face, uint32_t points, uint32_t colour,
                uint32_t weight) {
  ASSERT_NE(offset, 0u);
  const FontRecord f = image.Font(offset);
  EXPECT_EQ(f.typeface, face);
  EXPECT_EQ(f.points, points);
  EXPECT_EQ(f.colour, colour);
  EXPECT_EQ(f.weight, weight);
}

TEST(GeneratedResources, FrameImageMatchesItsTable) {
  Loaded l;
  LoadWindow(l, "KORVE001_RSC.bin", "korvex$KORVE001", "P1$APPFRAME");
  const WindowRecord& w = l.window;
  EXPECT_EQ(l.image.U8(w.offset), kTypeWindow);
  EXPECT_EQ(w.flags, 0x0810u);
  EXPECT_EQ(w.rect.x, kDefaultCoordinate);
  EXPECT_EQ(w.rect.y, kDefaultCoordinate);
  EXPECT_EQ(w.rect.width, 260);
  EXPECT_EQ(w.rect.height, 240);
  EXPECT_EQ(w.title, "Korvex Record Template Demo");
  EXPECT_EQ(w.font, 0u);
  EXPECT_EQ(w.first_control, 0u);
  EXPECT_EQ(w.flags2, 0x1840u);
  EXPECT_EQ(w.timer, 0u);
  EXPECT_EQ(w.menu, 0u);
  EXPECT_EQ(w.toolbar, 0u);
}

TEST(GeneratedResources, ShuffleWindowImageMatchesItsTables) {
  Loaded l;
  LoadWindow(l, "KORVE002_RSC.bin", "korvex$KORVE002", "P1$QUICKWINDOW");
  const ResourceImage& image = l.image;
  const WindowRecord& w = l.window;
  EXPECT_EQ(w.flags, 0x0800u);
  EXPECT_EQ(w.rect.x, kDefaultCoordinate);
  EXPECT_EQ(w.rect.y, kDefaultCoordinate);
  EXPECT_EQ(w.rect.width, 330);
  EXPECT_EQ(w.rect.height, 251);
  ExpectFont(image, w.font, "MS Sans Serif", 8, 0x00FF0000, kInherit);
  EXPECT_EQ(w.title, "");
  EXPECT_EQ(w.flags2, 0x7064u);
  EXPECT_EQ(w.timer, 100u);
  EXPECT_STREQ(image.Text(w.text45), "aWindow");
  EXPECT_EQ(w.dock_a, 0);
  EXPECT_EQ(w.dock_b, 0);

  const ControlRecord list = image.Control(w.first_control);
  EXPECT_EQ(list.type, kTypeList);
  EXPECT_EQ(list.equate, 1u);
  ExpectRect(list, 17, 21, 296, 204);
  EXPECT_EQ(list.format,
            "64R(2)|M~Order~C(0)@n-14@80L(2)|M~Name~@S20@80L(2)|M~Suburb~@s20@80L(2)|M~Phone~@s20@");
  EXPECT_EQ(list.tip_a, "Drag and Drop records to change their order");
  EXPECT_EQ(list.tip_b, "Drag and Drop records to change their order");
  EXPECT_EQ(image.IdList(list.drag_ids), std::vector<std::string>{"dragDrop"});
  EXPECT_EQ(image.IdList(list.drop_ids), std::vector<std::string>{"dragDrop"});
  EXPECT_EQ(list.flags, 0x1802u);
  EXPECT_EQ(list.drop_byte, 0);
  EXPECT_EQ(list.list_extra, -1);

  const ControlRecord sheet = image.Control(list.next);
  EXPECT_EQ(sheet.type, kTypeSheet);
  EXPECT_EQ(sheet.equate, 2u);
  ExpectRect(sheet, 13, 4, 304, 242);

  struct Expected {
    uint32_t equate;
    int32_t x, y;
    const char* text;
    uint32_t points, colour, weight, flags;
  };
  const Expected on_tabs[2][2] = {
      {{4, 125, 4, "Template is enabled  :-)", 11, 0x00FF00FF, 700, 0x1000},
       {5, 33, 233, "Just Drag-and-Drop records", 12, 0x00FF0000, kInherit, 0}},
      {{7, 125, 4, "Template is disabled :-(", 11, 0x00FF00FF, 700, 0x1000},
       {8, 33, 233, "Don't even try to do it here", 12, 0x00FF0000, kInherit, 0}},
  };
  const char* tab_texts[2] = {"By Order", "By Name"};
  const uint32_t tab_equates[2] = {3, 6};
  uint32_t tab_offset = sheet.first_child;
  for (int t = 0; t < 2; ++t) {
    const ControlRecord tab = image.Control(tab_offset);
    EXPECT_EQ(tab.type, kTypeTab);
    EXPECT_EQ(tab.equate, tab_equates[t]);
    EXPECT_EQ(tab.text, tab_texts[t]);
    uint32_t child = tab.first_child;
    for (const Expected& e : on_tabs[t]) {
      const ControlRecord c = image.Control(child);
      EXPECT_EQ(c.type, kTypeString);
      EXPECT_EQ(c.equate, e.equate);
      ExpectRect(c, e.x, e.y, kDefaultCoordinate, kDefaultCoordinate);
      EXPECT_EQ(c.text, e.text);
      EXPECT_EQ(c.flags, e.flags);
      ExpectFont(image, c.font, "", e.points, e.colour, e.weight);
      child = c.next;
    }
    EXPECT_EQ(child, 0u);
    tab_offset = tab.next;
  }
  EXPECT_EQ(tab_offset, 0u);

  const ControlRecord ok = image.Control(sheet.next);
  EXPECT_EQ(ok.type, kTypeButton);
  EXPECT_EQ(ok.equate, 9u);
  ExpectRect(ok, 251, 227, 43, 17);
  EXPECT_EQ(ok.text, "OK");
  EXPECT_EQ(ok.flags, 0x4004u);
  EXPECT_EQ(ok.next, 0u);
}

TEST(GeneratedResources, FrameworkWindowsAndTheResourceScript) {
  Loaded popup;
  LoadWindow(popup, "AXPOPUP_RSC.bin", "AXPOPUP", "P10$W");
  EXPECT_EQ(popup.window.first_control, 0u);
  Loaded query;
  LoadWindow(query, "AXQUERY_RSC.bin", "AXQUERY", "P3$W");
  EXPECT_EQ(query.window.title, "Query by Example Settings");

  const std::vector<uint8_t> rc_bytes = ReadGenerated("korvex_resources.rc");
  const std::string rc(rc_bytes.begin(), rc_bytes.end());
  for (const char* needle : {"LANGUAGE 9, 1", "KORVE002_RSC DABDUMP", "32513 CURSOR", "32514 CURSOR",
                             "32523 ICON", "535, \"Window is already open\"", "401, \"Stack overflow\""}) {
    EXPECT_NE(rc.find(needle), std::string::npos) << needle;
  }
  // Cursor and icon files start with their directory: reserved 0, type, one image.
  for (const auto& [file, type] : {std::pair{"drop_possible.cur", 2}, {"drop_refused.cur", 2}, {"korvex.ico", 1}}) {
    const std::vector<uint8_t> bytes = ReadGenerated(file);
    ASSERT_GT(bytes.size(), 62u) << file;
    EXPECT_EQ(bytes[2], type) << file;
    EXPECT_EQ(bytes[4], 1) << file;
    const uint32_t size = bytes[14] | bytes[15] << 8 | bytes[16] << 16;
    EXPECT_EQ(size + 22, bytes.size()) << file;
  }
}

}  // namespace
}  // namespace korvex::rsc
