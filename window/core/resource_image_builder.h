// Writes window resource images from a readable description of each window.
//
// The resource generator of resources/ uses it to make the images the program
// carries, and tests use it to make images of their own. Standard C++ only: the
// generator is compiled for the build host even in the Windows build.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "window/core/resource_format.h"

namespace korvex::rsc {

struct FontSpec {
  std::string typeface;         // "" = inherit
  uint32_t points = 0;
  uint32_t colour = kInherit;   // COLORREF 0x00BBGGRR
  uint32_t weight = kInherit;   // 400 regular, 700 bold
};

struct RectSpec {
  int32_t x = kDefaultCoordinate;
  int32_t y = kDefaultCoordinate;
  int32_t width = kDefaultCoordinate;
  int32_t height = kDefaultCoordinate;
};

struct ControlSpec {
  uint8_t type = 0;
  uint32_t flags = 0;
  RectSpec rect;
  std::string text;                     // caption, tab text; "" = none
  std::optional<FontSpec> font;
  std::vector<std::string> drop_ids;
  // LIST and drop-down only.
  std::string format;
  std::string tip_a, tip_b;             // the two further texts at +0x2D, +0x31
  uint8_t drop_byte = 0;
  int32_t list_extra = -1;
  std::vector<std::string> drag_ids;
  // BUTTON only: the key code of its key record, 0 = no key record.
  uint32_t key_code = 0;
  // SHEET: its TABs; TAB: the controls on it.
  std::vector<ControlSpec> children;
};

struct ColourSpec {
  uint32_t text = kInherit;
  uint32_t background = kInherit;
};

struct WindowSpec {
  std::string label;
  uint32_t flags = 0;
  uint32_t flags2 = 0;
  RectSpec rect;
  std::optional<FontSpec> font;
  std::string title;
  std::optional<ColourSpec> colour;
  std::string text39, text3d, text45, text65;  // further texts the window keeps
  std::vector<std::string> open_list;
  uint32_t timer = 0;
  uint8_t dock_a = 0, dock_b = 0;
  std::vector<ControlSpec> controls;
};

struct ImageSpec {
  std::string module_name;  // "korvex$KORVE002"
  std::vector<WindowSpec> windows;
};

// The resource bytes as stored in the program: the module name with its NUL,
// then the body. Field equate numbers are given depth-first from 1 within
// each window.
std::vector<uint8_t> BuildResourceImage(const ImageSpec& spec);

}  // namespace korvex::rsc
