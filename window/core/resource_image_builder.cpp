#include "window/core/resource_image_builder.h"

#include <cstring>

namespace korvex::rsc {

namespace {

// Lays out records and texts in a buffer that starts with the two lead bytes,
// so that every position in it is a buffer offset.
class ImageWriter {
 public:
  ImageWriter() : bytes_(kBufferLead + 4, 0) {}

  uint32_t Reserve(uint32_t size) {
    const uint32_t at = static_cast<uint32_t>(bytes_.size());
    bytes_.resize(bytes_.size() + size, 0);
    return at;
  }
  void PutU8(uint32_t at, uint8_t value) { bytes_[at] = value; }
  void PutU32(uint32_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(value >> (8 * i));
  }
  void PutI32(uint32_t at, int32_t value) { PutU32(at, static_cast<uint32_t>(value)); }

  // Appends text with its NUL; "" gives offset 0 (none).
  uint32_t Text(const std::string& text) {
    if (text.empty()) return 0;
    const uint32_t at = Reserve(static_cast<uint32_t>(text.size() + 1));
    std::memcpy(&bytes_[at], text.data(), text.size());
    return at;
  }

  uint32_t Font(const std::optional<FontSpec>& font) {
    if (!font) return 0;
    const uint32_t at = Reserve(kFontRecordSize);
    PutU32(at + kFontTypeface, Text(font->typeface));
    PutU32(at + kFontPoints, font->points);
    PutU32(at + kFontColour, font->colour);
    PutU32(at + kFontWeight, font->weight);
    return at;
  }

  uint32_t IdList(const std::vector<std::string>& ids) {
    uint32_t first = 0, previous = 0;
    for (const std::string& id : ids) {
      const uint32_t entry = Reserve(kIdEntrySize);
      PutU32(entry + kIdText, Text(id));
      if (previous != 0) PutU32(previous + kIdNext, entry); else first = entry;
      previous = entry;
    }
    return first;
  }

  void PutRect(uint32_t at, const RectSpec& rect) {
    PutI32(at, rect.x);
    PutI32(at + 4, rect.y);
    PutI32(at + 8, rect.width);
    PutI32(at + 12, rect.height);
  }

  uint32_t Controls(const std::vector<ControlSpec>& controls, uint32_t& equate) {
    uint32_t first = 0, previous = 0;
    for (const ControlSpec& control : controls) {
      const uint32_t record = Control(control, equate);
      if (previous != 0) PutU32(previous + kRecNext, record); else first = record;
      previous = record;
    }
    return first;
  }

  uint32_t Control(const ControlSpec& control, uint32_t& equate) {
    const ControlLayout* layout = LayoutOf(control.type);
    const uint32_t size = layout != nullptr ? layout->size : kCommonHeaderSize;
    const uint32_t at = Reserve(size);
    PutU8(at + kRecType, control.type);
    PutU32(at + kRecFlags, control.flags);
    PutU32(at + kRecDropIds, IdList(control.drop_ids));
    PutU32(at + kRecEquate, ++equate);
    if (layout == nullptr) return at;
    if (layout->rect != 0) PutRect(at + layout->rect, control.rect);
    if (layout->text != 0) PutU32(at + layout->text, Text(control.text));
    if (layout->font != 0) PutU32(at + layout->font, Font(control.font));
    if (control.type == kTypeList || control.type == kTypeDropCombo) {
      PutU32(at + kListFormat, Text(control.format));
      PutU32(at + kListTipA, Text(control.tip_a));
      PutU32(at + kListTipB, Text(control.tip_b));
      PutU8(at + kListDropByte, control.drop_byte);
      PutU32(at + kListDragIds, IdList(control.drag_ids));
      PutI32(at + kListExtra, control.list_extra);
    }
    if (control.type == kTypeButton && control.key_code != 0) {
      const uint32_t key = Reserve(kKeyRecordSize);
      PutU32(key, control.key_code);
      PutU32(at + kButtonKeyRecord, key);
    }
    if (layout->first_child != 0) PutU32(at + layout->first_child, Controls(control.children, equate));
    return at;
  }

  uint32_t Window(const WindowSpec& window) {
    const uint32_t at = Reserve(kWindowRecordSize);
    PutU8(at + kRecType, kTypeWindow);
    PutU32(at + kRecFlags, window.flags);
    PutI32(at + kWinX, window.rect.x);
    PutI32(at + kWinY, window.rect.y);
    PutI32(at + kWinWidth, window.rect.width);
    PutI32(at + kWinHeight, window.rect.height);
    PutU32(at + kWinLabel, Text(window.label));
    PutU32(at + kWinFont, Font(window.font));
    PutU32(at + kWinTitle, Text(window.title));
    if (window.colour) {
      const uint32_t colour = Reserve(kColourRecordSize);
      PutU32(colour + kColourText, window.colour->text);
      PutU32(colour + kColourBackground, window.colour->background);
      PutU32(at + kWinColour, colour);
    }
    PutU32(at + kWinText39, Text(window.text39));
    PutU32(at + kWinText3D, Text(window.text3d));
    PutU32(at + kWinText45, Text(window.text45));
    PutU32(at + kWinText65, Text(window.text65));
    PutU32(at + kWinOpenList, IdList(window.open_list));
    PutU32(at + kWinFlags2, window.flags2);
    PutU32(at + kWinTimer, window.timer);
    PutU8(at + kWinDockA, window.dock_a);
    PutU8(at + kWinDockB, window.dock_b);
    uint32_t equate = 0;
    PutU32(at + kWinFirstControl, Controls(window.controls, equate));
    return at;
  }

  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace

std::vector<uint8_t> BuildResourceImage(const ImageSpec& spec) {
  ImageWriter writer;
  uint32_t previous = 0;
  for (const WindowSpec& window : spec.windows) {
    const uint32_t record = writer.Window(window);
    if (previous != 0) writer.PutU32(previous + kRecNext, record);
    else writer.PutU32(kFirstWindowField, record);
    previous = record;
  }
  std::vector<uint8_t> resource(spec.module_name.begin(), spec.module_name.end());
  resource.push_back(0);
  resource.insert(resource.end(), writer.bytes().begin() + kBufferLead, writer.bytes().end());
  return resource;
}

}  // namespace korvex::rsc
