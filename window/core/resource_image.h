// A loaded window resource image: the buffer that windows and controls read
// their attributes from, checked once when it is loaded.
//
// Load() accepts an image only when every offset it holds points inside the
// buffer with room for what is read there, every text ends inside it, record
// chains have no cycles, SHEET/TAB nesting is bounded and every record type is
// known. After that the accessors never read outside the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "window/core/resource_format.h"

namespace korvex::rsc {

inline constexpr int kMaxNesting = 8;  // SHEET inside TAB inside SHEET ... levels

enum class LoadStatus {
  kOk,
  kOtherModule,  // the image belongs to another module name: search on
  kDefective,    // the image is damaged: defect() names what is wrong
};

struct Rect {
  int32_t x = 0, y = 0, width = 0, height = 0;
};

struct FontRecord {
  std::string typeface;  // "" = inherit
  uint32_t points = 0;
  uint32_t colour = kInherit;
  uint32_t weight = kInherit;
};

struct WindowRecord {
  uint32_t offset = 0;
  uint32_t next = 0;
  uint32_t flags = 0;
  Rect rect;               // dialog units; kDefaultCoordinate = default
  uint32_t first_control = 0;
  std::string label;
  uint32_t font = 0;       // font record offset, 0 = system font
  std::string title;
  uint32_t colour = 0;     // colour record offset
  uint32_t text39 = 0, text3d = 0, text45 = 0, text65 = 0;
  uint32_t open_list = 0;
  uint32_t flags2 = 0;
  uint32_t timer = 0;      // hundredths of a second
  uint32_t menu = 0, toolbar = 0;
  uint8_t dock_a = 0, dock_b = 0;
};

struct ControlRecord {
  uint32_t offset = 0;
  uint8_t type = 0;
  uint32_t next = 0;
  uint32_t flags = 0;
  uint32_t drop_ids = 0;
  uint32_t equate = 0;
  bool has_rect = false;
  Rect rect;               // dialog units, relative to the window's client area
  std::string text;
  uint32_t font = 0;
  uint32_t first_child = 0;
  // LIST and drop-down.
  std::string format, tip_a, tip_b;
  uint8_t drop_byte = 0;
  uint32_t data_record = 0;
  uint32_t drag_ids = 0;
  int32_t list_extra = 0;
  // BUTTON.
  uint32_t key_record = 0;
};

class ResourceImage {
 public:
  ResourceImage() = default;

  // Takes the resource bytes as stored (module name, NUL, body). The module
  // name is compared without regard to ASCII case.
  LoadStatus Load(const uint8_t* resource, size_t size, std::string_view module_name);

  // What made Load() answer kDefective or kOtherModule.
  const std::string& defect() const { return defect_; }
  // The stored module name (valid after any Load that found its NUL).
  const std::string& stored_module() const { return stored_module_; }

  // Offset of the window record whose label equals label, 0 when none.
  uint32_t FindWindowRecord(std::string_view label) const;
  // Offsets of every window record in chain order.
  std::vector<uint32_t> Windows() const;

  WindowRecord Window(uint32_t offset) const;
  ControlRecord Control(uint32_t offset) const;
  FontRecord Font(uint32_t offset) const;
  std::vector<std::string> IdList(uint32_t first) const;

  // Raw reads; 0 or "" for anything outside the buffer.
  uint8_t U8(uint32_t offset) const;
  uint32_t U32(uint32_t offset) const;
  int32_t I32(uint32_t offset) const { return static_cast<int32_t>(U32(offset)); }
  const char* Text(uint32_t offset) const;

  const std::vector<uint8_t>& buffer() const { return buffer_; }
  bool loaded() const { return !buffer_.empty(); }

 private:
  bool Validate();
  bool CheckRoom(uint32_t offset, uint32_t size, const char* what);
  bool CheckText(uint32_t record, uint32_t field, const char* what);
  bool CheckFont(uint32_t offset, const char* what);
  bool CheckIdList(uint32_t first, const char* what);
  bool CheckControls(uint32_t first, int depth, uint8_t parent_type, std::vector<uint32_t>& equates);
  bool Fail(std::string message);
  bool Claim(uint32_t offset);  // false when the record was reached before

  std::vector<uint8_t> buffer_;
  std::vector<uint8_t> seen_;  // records visited during validation
  std::vector<uint32_t> nuls_; // offsets of the NUL bytes, during validation
  std::string defect_;
  std::string stored_module_;
};

}  // namespace korvex::rsc
