#include "resources/window_descriptions.h"

namespace korvex::resources {

namespace {

using rsc::ControlSpec;
using rsc::FontSpec;
using rsc::ImageSpec;
using rsc::RectSpec;
using rsc::WindowSpec;
constexpr int32_t kDefault = rsc::kDefaultCoordinate;

ControlSpec Text(int32_t x, int32_t y, const char* text, FontSpec font, uint32_t flags) {
  ControlSpec c;
  c.type = rsc::kTypeString;
  c.flags = flags;
  c.rect = {x, y, kDefault, kDefault};
  c.text = text;
  c.font = font;
  return c;
}

ControlSpec Tab(const char* text, std::vector<ControlSpec> children) {
  ControlSpec c;
  c.type = rsc::kTypeTab;
  c.text = text;
  c.children = std::move(children);
  return c;
}

ControlSpec Button(RectSpec rect, const char* text, uint32_t flags) {
  ControlSpec c;
  c.type = rsc::kTypeButton;
  c.flags = flags;
  c.rect = rect;
  c.text = text;
  return c;
}

ControlSpec Group(RectSpec rect, const char* text) {
  ControlSpec c;
  c.type = rsc::kTypeGroup;
  c.rect = rect;
  c.text = text;
  return c;
}

// The application frame.
ImageSpec Frame() {
  WindowSpec w;
  w.label = "P1$APPFRAME";
  w.flags = 0x0810;
  w.flags2 = 0x1840;
  w.rect = {kDefault, kDefault, 260, 240};
  w.title = "Korvex Record Template Demo";
  return {"korvex$KORVE001", {w}};
}

// The record shuffle window: a list over a sheet of two tabs, and OK.
ImageSpec ShuffleWindow() {
  WindowSpec w;
  w.label = "P1$QUICKWINDOW";
  w.flags = 0x0800;
  w.flags2 = 0x7064;
  w.rect = {kDefault, kDefault, 330, 251};
  w.font = FontSpec{"MS Sans Serif", 8, 0x00FF0000, rsc::kInherit};
  w.text45 = "aWindow";
  w.timer = 100;

  ControlSpec list;
  list.type = rsc::kTypeList;
  list.flags = 0x1802;
  list.rect = {17, 21, 296, 204};
  list.format = "64R(2)|M~Order~C(0)@n-14@80L(2)|M~Name~@S20@80L(2)|M~Suburb~@s20@80L(2)|M~Phone~@s20@";
  list.tip_a = "Drag and Drop records to change their order";
  list.tip_b = "Drag and Drop records to change their order";
  list.drag_ids = {"dragDrop"};
  list.drop_ids = {"dragDrop"};
  list.list_extra = -1;

  const FontSpec headline{"", 11, 0x00FF00FF, 700};
  const FontSpec footnote{"", 12, 0x00FF0000, rsc::kInherit};
  ControlSpec sheet;
  sheet.type = rsc::kTypeSheet;
  sheet.rect = {13, 4, 304, 242};
  sheet.children = {
      Tab("By Order", {Text(125, 4, "Template is enabled  :-)", headline, 0x1000),
                       Text(33, 233, "Just Drag-and-Drop records", footnote, 0)}),
      Tab("By Name", {Text(125, 4, "Template is disabled :-(", headline, 0x1000),
                      Text(33, 233, "Don't even try to do it here", footnote, 0)}),
  };
  w.controls = {list, sheet, Button({251, 227, 43, 17}, "OK", 0x4004)};
  return {"korvex$KORVE002", {w}};
}

// The popup toolbox: its buttons are made at run time.
ImageSpec PopupToolbox() {
  WindowSpec w;
  w.label = "P10$W";
  w.flags2 = rsc::kWin2System | rsc::kWin2Double;
  w.rect = {kDefault, kDefault, 40, 20};
  w.font = FontSpec{"MS Sans Serif", 8, rsc::kInherit, rsc::kInherit};
  return {"AXPOPUP", {w}};
}

// The query-by-example settings form.
ImageSpec QueryForm() {
  WindowSpec w;
  w.label = "P3$W";
  w.flags2 = rsc::kWin2System | rsc::kWin2Double | rsc::kWin2Modal | rsc::kWin2Gray;
  w.rect = {kDefault, kDefault, 220, 130};
  w.font = FontSpec{"MS Sans Serif", 8, rsc::kInherit, rsc::kInherit};
  w.title = "Query by Example Settings";
  w.controls = {Group({4, 4, 212, 52}, "Saved Queries"), Group({4, 60, 212, 44}, "Query Settings"),
                Button({60, 110, 45, 14}, "&OK", 0), Button({111, 110, 45, 14}, "&Cancel", 0),
                Button({162, 110, 45, 14}, "C&lear", 0)};
  return {"AXQUERY", {w}};
}

}  // namespace

std::vector<NamedImage> ProgramWindowImages() {
  return {{"KORVE001_RSC", Frame()},
          {"KORVE002_RSC", ShuffleWindow()},
          {"AXPOPUP_RSC", PopupToolbox()},
          {"AXQUERY_RSC", QueryForm()}};
}

}  // namespace korvex::resources
