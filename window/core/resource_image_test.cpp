#include "window/core/resource_image.h"

#include <gtest/gtest.h>

#include <cstring>

#include "window/core/control_factory_table.h"
#include "window/core/resource_image_builder.h"
#include "window/core/resource_name.h"

namespace korvex::rsc {
namespace {

ImageSpec SampleSpec() {
  ImageSpec spec;
  spec.module_name = "prog$SAMPLE";
  WindowSpec first;
  first.label = "P1$FIRST";
  first.flags = 0x0800;
  first.flags2 = 0x0008;
  first.rect = {10, 20, 200, 100};
  first.font = FontSpec{"Arial", 9, 0x00112233, 700};
  first.title = "First";
  first.colour = ColourSpec{0x000000FF, 0x00FFFFFF};
  first.text45 = "aWindow";
  first.open_list = {"one", "two"};
  first.timer = 50;
  ControlSpec list;
  list.type = kTypeList;
  list.rect = {1, 2, 3, 4};
  list.format = "10L|M~A~@s5@";
  list.tip_a = "tip";
  list.drag_ids = {"d1", "d2"};
  list.drop_ids = {"d1"};
  ControlSpec sheet;
  sheet.type = kTypeSheet;
  sheet.rect = {5, 6, 7, 8};
  ControlSpec tab;
  tab.type = kTypeTab;
  tab.text = "Tab one";
  ControlSpec label;
  label.type = kTypeString;
  label.text = "on tab";
  label.font = FontSpec{"", 11, 0x00FF00FF, kInherit};
  tab.children = {label};
  sheet.children = {tab, tab};
  ControlSpec button;
  button.type = kTypeButton;
  button.text = "OK";
  button.key_code = 13;
  ControlSpec unusual;
  unusual.type = 21;  // a slot that creates nothing
  first.controls = {list, sheet, button, unusual};
  WindowSpec second;
  second.label = "P2$SECOND";
  spec.windows = {first, second};
  return spec;
}

LoadStatus LoadBytes(ResourceImage& image, const std::vector<uint8_t>& bytes,
                     const char* module = "prog$SAMPLE") {
  return image.Load(bytes.data(), bytes.size(), module);
}

// Offset of a buffer offset inside the stored resource bytes.
size_t StoredAt(const std::vector<uint8_t>& bytes, uint32_t buffer_offset) {
  return std::strlen(reinterpret_cast<const char*>(bytes.data())) + 1 + buffer_offset - kBufferLead;
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

TEST(ResourceImage, BuiltImageReadsBackFieldByField) {
  const std::vector<uint8_t> bytes = BuildResourceImage(SampleSpec());
  ResourceImage image;
  ASSERT_EQ(LoadBytes(image, bytes, "PROG$sample"), LoadStatus::kOk) << image.defect();
  EXPECT_EQ(image.buffer()[0], 0);
  EXPECT_EQ(image.buffer().size(), bytes.size() - std::strlen("prog$SAMPLE") - 1 + kBufferLead);

  ASSERT_EQ(image.Windows().size(), 2u);
  EXPECT_EQ(image.FindWindowRecord("P2$SECOND"), image.Windows()[1]);
  EXPECT_EQ(image.FindWindowRecord("P3$NONE"), 0u);
  const WindowRecord w = image.Window(image.FindWindowRecord("P1$FIRST"));
  EXPECT_EQ(w.flags, 0x0800u);
  EXPECT_EQ(w.flags2, 0x0008u);
  EXPECT_EQ(w.rect.x, 10);
  EXPECT_EQ(w.rect.height, 100);
  EXPECT_EQ(w.title, "First");
  EXPECT_EQ(image.Text(w.text45), std::string("aWindow"));
  EXPECT_EQ(w.text39, 0u);
  EXPECT_EQ(image.IdList(w.open_list), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(w.timer, 50u);
  const FontRecord font = image.Font(w.font);
  EXPECT_EQ(font.typeface, "Arial");
  EXPECT_EQ(font.points, 9u);
  EXPECT_EQ(font.colour, 0x00112233u);
  EXPECT_EQ(font.weight, 700u);
  EXPECT_EQ(image.U32(w.colour + kColourText), 0x000000FFu);

  const ControlRecord list = image.Control(w.first_control);
  EXPECT_EQ(list.type, kTypeList);
  EXPECT_EQ(list.equate, 1u);
  EXPECT_EQ(list.rect.width, 3);
  EXPECT_EQ(list.format, "10L|M~A~@s5@");
  EXPECT_EQ(list.tip_a, "tip");
  EXPECT_EQ(list.tip_b, "");
  EXPECT_EQ(list.list_extra, -1);
  EXPECT_EQ(image.IdList(list.drag_ids), (std::vector<std::string>{"d1", "d2"}));
  EXPECT_EQ(image.IdList(list.drop_ids), (std::vector<std::string>{"d1"}));

  // Depth-first numbering: sheet 2, tab 3, its string 4, tab 5, string 6, button 7.
  const ControlRecord sheet = image.Control(list.next);
  EXPECT_EQ(sheet.equate, 2u);
  const ControlRecord tab1 = image.Control(sheet.first_child);
  EXPECT_EQ(tab1.equate, 3u);
  EXPECT_EQ(tab1.text, "Tab one");
  EXPECT_FALSE(tab1.has_rect);
  const ControlRecord on_tab = image.Control(tab1.first_child);
  EXPECT_EQ(on_tab.equate, 4u);
  EXPECT_EQ(image.Font(on_tab.font).typeface, "");
  EXPECT_EQ(image.Font(on_tab.font).weight, kInherit);
  EXPECT_EQ(image.Control(tab1.next).equate, 5u);
  const ControlRecord button = image.Control(sheet.next);
  EXPECT_EQ(button.equate, 7u);
  EXPECT_EQ(button.text, "OK");
  EXPECT_EQ(image.U32(button.key_record), 13u);
  const ControlRecord unusual = image.Control(button.next);
  EXPECT_EQ(unusual.type, 21);
  EXPECT_EQ(unusual.equate, 8u);
  EXPECT_EQ(unusual.next, 0u);
}

TEST(ResourceImage, OtherModuleIsSkippedNotDefective) {
  const std::vector<uint8_t> bytes = BuildResourceImage(SampleSpec());
  ResourceImage image;
  EXPECT_EQ(LoadBytes(image, bytes, "prog$OTHER"), LoadStatus::kOtherModule);
  EXPECT_FALSE(image.loaded());
  EXPECT_EQ(image.stored_module(), "prog$SAMPLE");
  const std::vector<uint8_t> no_nul = {'a', 'b'};
  EXPECT_EQ(LoadBytes(image, no_nul, "ab"), LoadStatus::kDefective);
  EXPECT_EQ(image.Load(nullptr, 0, "x"), LoadStatus::kDefective);
}

TEST(ResourceImage, EveryTruncationFailsCleanly) {
  const std::vector<uint8_t> bytes = BuildResourceImage(SampleSpec());
  const size_t name = std::strlen("prog$SAMPLE") + 1;
  for (size_t size = 0; size < bytes.size(); ++size) {
    ResourceImage image;
    const LoadStatus status = image.Load(bytes.data(), size, "prog$SAMPLE");
    // A cut that only drops trailing text bytes after the last NUL may still be
    // whole; anything else must be refused with a named defect.
    if (status != LoadStatus::kOk) {
      EXPECT_FALSE(image.defect().empty()) << size;
      EXPECT_FALSE(image.loaded());
    } else {
      EXPECT_GT(size, name + kWindowRecordSize);
    }
  }
}

struct Damage {
  const char* name;
  void (*apply)(std::vector<uint8_t>& bytes, const ResourceImage& good);
  const char* defect_part;
};

TEST(ResourceImage, DamagedImagesAreRefusedWithTheDefectNamed) {
  const std::vector<uint8_t> original = BuildResourceImage(SampleSpec());
  ResourceImage good;
  ASSERT_EQ(LoadBytes(good, original), LoadStatus::kOk);
  const Damage damages[] = {
      {"window chain loops", [](std::vector<uint8_t>& b, const ResourceImage& g) {
         PutU32(b, StoredAt(b, g.Windows()[1] + kRecNext), g.Windows()[0]);
       }, "reached twice"},
      {"control chain loops", [](std::vector<uint8_t>& b, const ResourceImage& g) {
         const uint32_t first = g.Window(g.Windows()[0]).first_control;
         const uint32_t button = g.Control(g.Control(first).next).next;
         PutU32(b, StoredAt(b, button + kRecNext), first);
       }, "reached twice"},
      {"tab lists its own sheet as child", [](std::vector<uint8_t>& b, const ResourceImage& g) {
         const uint32_t sheet = g.Control(g.Window(g.Windows()[0]).first_control).next;
         const uint32_t tab = g.Control(sheet).first_child;
         PutU32(b, StoredAt(b, tab + kTabFirstChild), sheet);
       }, "reached twice"},
      {"unknown control type", [](std::vector<uint8_t>& b, const ResourceImage& g) {
         b[StoredAt(b, g.Window(g.Windows()[0]).first_control)] = 19;
       }, "unknown type 19"},
      {"window record of wrong type", [](std::vector<uint8_t>& b, const ResourceImage& g) {
         b[StoredAt(b, g.Windows()[1])] = kTypeString;
       }, "has type 2"},
      {"offset beyond the end", [](std::vector<uint8_t>& b, const ResourceImage& g) {
         PutU32(b, StoredAt(b, g.Windows()[0] + kWinTitle), 0x7FFFFFF0u);
       }, "outside the image"},
      {"offset into the lead bytes", [](std::vector<uint8_t>& b, const ResourceImage& g) {
         PutU32(b, StoredAt(b, g.Windows()[0] + kWinFont), 1);
       }, "outside the image"},
      {"text without its NUL", [](std::vector<uint8_t>& b, const ResourceImage& g) {
         // Point the title at the last byte of the image, made non-zero.
         b.back() = 'x';
         PutU32(b, StoredAt(b, g.Windows()[0] + kWinTitle),
                static_cast<uint32_t>(g.buffer().size() - 1));
       }, "not terminated"},
      {"tab at window level", [](std::vector<uint8_t>& b, const ResourceImage& g) {
         b[StoredAt(b, g.Window(g.Windows()[0]).first_control)] = kTypeTab;
       }, "TAB outside a SHEET"},
      {"field number used twice", [](std::vector<uint8_t>& b, const ResourceImage& g) {
         const uint32_t first = g.Window(g.Windows()[0]).first_control;
         PutU32(b, StoredAt(b, g.Control(first).next + kRecEquate), 1);
       }, "twice"},
      {"drag id list loops", [](std::vector<uint8_t>& b, const ResourceImage& g) {
         const uint32_t drag = g.Control(g.Window(g.Windows()[0]).first_control).drag_ids;
         PutU32(b, StoredAt(b, drag + kIdNext), drag);
       }, "reached twice"},
      {"no window at all", [](std::vector<uint8_t>& b, const ResourceImage&) {
         PutU32(b, StoredAt(b, kFirstWindowField), 0);
       }, "no window"},
  };
  for (const Damage& damage : damages) {
    std::vector<uint8_t> bytes = original;
    damage.apply(bytes, good);
    ResourceImage image;
    EXPECT_EQ(LoadBytes(image, bytes), LoadStatus::kDefective) << damage.name;
    EXPECT_NE(image.defect().find(damage.defect_part), std::string::npos)
        << damage.name << ": " << image.defect();
    EXPECT_EQ(image.FindWindowRecord("P1$FIRST"), 0u) << damage.name;
  }
}

TEST(ResourceImage, NestingDeeperThanTheBoundIsRefused) {
  ImageSpec spec;
  spec.module_name = "m";
  WindowSpec window;
  window.label = "W";
  ControlSpec innermost;
  innermost.type = kTypeString;
  ControlSpec current = innermost;
  for (int level = 0; level < kMaxNesting; ++level) {
    ControlSpec tab;
    tab.type = kTypeTab;
    tab.children = {current};
    ControlSpec sheet;
    sheet.type = kTypeSheet;
    sheet.children = {tab};
    current = sheet;
  }
  window.controls = {current};
  spec.windows = {window};
  const std::vector<uint8_t> bytes = BuildResourceImage(spec);
  ResourceImage image;
  EXPECT_EQ(image.Load(bytes.data(), bytes.size(), "m"), LoadStatus::kDefective);
  EXPECT_NE(image.defect().find("nested deeper"), std::string::npos) << image.defect();
}

TEST(ResourceName, PartAfterTheFirstDollarOrTheWholeName) {
  EXPECT_EQ(ResourceNameOf("korvex$KORVE002"), "KORVE002_RSC");
  EXPECT_EQ(ResourceNameOf("AXPOPUP"), "AXPOPUP_RSC");
  EXPECT_EQ(ResourceNameOf("a$b$c"), "b$c_RSC");
  EXPECT_EQ(ResourceNameOf(""), "_RSC");
}

int Made(int) { return 1; }
int Other(int) { return 2; }

TEST(ControlFactoryTable, TwentySixSlotsAndNothingForOtherTypes) {
  using Factory = int (*)(int);
  ControlFactoryTable<Factory> table;
  int slots = 0;
  for (int type = 0; type < 256; ++type) {
    if (FactorySlotOf(static_cast<uint8_t>(type)) >= 0) ++slots;
  }
  EXPECT_EQ(slots, 26);
  EXPECT_EQ(FactorySlotOf(kTypeWindow), -1);
  EXPECT_TRUE(table.Register(kTypeString, &Made));
  EXPECT_TRUE(table.Register(39, &Other));
  EXPECT_FALSE(table.Register(kTypeWindow, &Made));
  EXPECT_FALSE(table.Register(19, &Made));
  EXPECT_EQ(table.Find(kTypeString), &Made);
  EXPECT_EQ(table.Find(39), &Other);
  EXPECT_EQ(table.Find(kTypeButton), nullptr);  // registered by nobody
  EXPECT_EQ(table.Find(19), nullptr);
}

}  // namespace
}  // namespace korvex::rsc
