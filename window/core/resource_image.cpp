#include "window/core/resource_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace korvex::rsc {

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

}  // namespace

LoadStatus ResourceImage::Load(const uint8_t* resource, size_t size, std::string_view module_name) {
  buffer_.clear();
  defect_.clear();
  stored_module_.clear();
  if (resource == nullptr || size == 0) {
    defect_ = "empty resource";
    return LoadStatus::kDefective;
  }
  const auto* end = static_cast<const uint8_t*>(std::memchr(resource, 0, size));
  if (end == nullptr) {
    defect_ = "module name is not terminated";
    return LoadStatus::kDefective;
  }
  const size_t name_length = static_cast<size_t>(end - resource);
  stored_module_.assign(reinterpret_cast<const char*>(resource), name_length);
  if (!SameIgnoringCase(stored_module_, module_name)) {
    defect_ = "resource belongs to module " + stored_module_;
    return LoadStatus::kOtherModule;
  }
  const size_t body = size - name_length - 1;
  // Offsets are 32-bit: a body that cannot be addressed is refused.
  if (body > 0x7FFFFFF0u) {
    defect_ = "resource too large";
    return LoadStatus::kDefective;
  }
  buffer_.assign(kBufferLead, 0);
  buffer_.insert(buffer_.end(), end + 1, resource + size);
  const bool valid = Validate();
  seen_ = {};
  nuls_ = {};
  if (!valid) {
    buffer_.clear();
    return LoadStatus::kDefective;
  }
  return LoadStatus::kOk;
}

bool ResourceImage::Fail(std::string message) {
  defect_ = std::move(message);
  return false;
}

bool ResourceImage::CheckRoom(uint32_t offset, uint32_t size, const char* what) {
  if (offset < kBufferLead || offset > buffer_.size() || buffer_.size() - offset < size) {
    return Fail(std::string(what) + " at " + Hex(offset) + " lies outside the image");
  }
  return true;
}

bool ResourceImage::CheckText(uint32_t record, uint32_t field, const char* what) {
  const uint32_t offset = U32(record + field);
  if (offset == 0) return true;
  if (!CheckRoom(offset, 1, what)) return false;
  // A NUL at or after offset ends the text; looked up, not scanned, so that
  // many texts over one long unterminated run cost no more than a search each.
  if (std::lower_bound(nuls_.begin(), nuls_.end(), offset) == nuls_.end()) {
    return Fail(std::string(what) + " at " + Hex(offset) + " is not terminated");
  }
  return true;
}

bool ResourceImage::CheckFont(uint32_t offset, const char* what) {
  if (offset == 0) return true;
  if (!CheckRoom(offset, kFontRecordSize, what)) return false;
  return CheckText(offset, kFontTypeface, "typeface name");
}

bool ResourceImage::CheckIdList(uint32_t first, const char* what) {
  // An entry reached twice means the chain loops; seen_ marks entries too.
  for (uint32_t entry = first; entry != 0; entry = U32(entry + kIdNext)) {
    if (!CheckRoom(entry, kIdEntrySize, what)) return false;
    if (!Claim(entry)) return Fail(std::string(what) + " at " + Hex(entry) + " is reached twice");
    if (!CheckText(entry, kIdText, what)) return false;
  }
  return true;
}

bool ResourceImage::Claim(uint32_t offset) {
  if (seen_[offset] != 0) return false;
  seen_[offset] = 1;
  return true;
}

bool ResourceImage::CheckControls(uint32_t first, int depth, uint8_t parent_type,
                                  std::vector<uint32_t>& equates) {
  if (depth > kMaxNesting) return Fail("controls nested deeper than " + std::to_string(kMaxNesting));
  for (uint32_t record = first; record != 0; record = U32(record + kRecNext)) {
    if (!CheckRoom(record, kCommonHeaderSize, "control record")) return false;
    if (!Claim(record)) return Fail("control record at " + Hex(record) + " is reached twice");
    const uint8_t type = U8(record + kRecType);
    const ControlLayout* layout = LayoutOf(type);
    if (layout == nullptr) {
      return Fail("control record at " + Hex(record) + " has unknown type " + std::to_string(type));
    }
    if ((type == kTypeTab) != (parent_type == kTypeSheet)) {
      return Fail("control record at " + Hex(record) + (type == kTypeTab ? ": a TAB outside a SHEET"
                                                                          : ": a SHEET holds a non-TAB"));
    }
    if (!CheckRoom(record, layout->size, "control record")) return false;
    const uint32_t equate = U32(record + kRecEquate);
    if (equate == 0) return Fail("control record at " + Hex(record) + " has field number 0");
    equates.push_back(equate);
    if (!CheckIdList(U32(record + kRecDropIds), "drop id")) return false;
    if (layout->text != 0 && !CheckText(record, layout->text, "control text")) return false;
    if (layout->font != 0 && !CheckFont(U32(record + layout->font), "control font")) return false;
    if (type == kTypeList || type == kTypeDropCombo) {
      if (!CheckText(record, kListFormat, "list format") || !CheckText(record, kListTipA, "list text") ||
          !CheckText(record, kListTipB, "list text") || !CheckIdList(U32(record + kListDragIds), "drag id")) {
        return false;
      }
      const uint32_t data = U32(record + kListData);
      if (data != 0 && !CheckRoom(data, 4, "list data record")) return false;
    }
    if (type == kTypeButton) {
      const uint32_t key = U32(record + kButtonKeyRecord);
      if (key != 0 && !CheckRoom(key, kKeyRecordSize, "button key record")) return false;
    }
    if (layout->first_child != 0 &&
        !CheckControls(U32(record + layout->first_child), depth + 1, type, equates)) {
      return false;
    }
  }
  return true;
}

bool ResourceImage::Validate() {
  seen_.assign(buffer_.size(), 0);
  nuls_.clear();
  for (uint32_t i = kBufferLead; i < buffer_.size(); ++i) {
    if (buffer_[i] == 0) nuls_.push_back(i);
  }
  if (buffer_.size() < kFirstWindowField + 4) return Fail("image too short for its header");
  const uint32_t first = U32(kFirstWindowField);
  if (first == 0) return Fail("image holds no window record");
  for (uint32_t record = first; record != 0; record = U32(record + kRecNext)) {
    if (!CheckRoom(record, kWindowRecordSize, "window record")) return false;
    if (!Claim(record)) return Fail("window record at " + Hex(record) + " is reached twice");
    if (U8(record + kRecType) != kTypeWindow) {
      return Fail("window record at " + Hex(record) + " has type " + std::to_string(U8(record + kRecType)));
    }
    static constexpr struct { uint32_t field; const char* what; } kTexts[] = {
        {kWinLabel, "window label"}, {kWinTitle, "window title"}, {kWinText39, "window text"},
        {kWinText3D, "window text"}, {kWinText45, "window text"}, {kWinText65, "window text"}};
    for (const auto& text : kTexts) {
      if (!CheckText(record, text.field, text.what)) return false;
    }
    if (U32(record + kWinLabel) == 0) return Fail("window record at " + Hex(record) + " has no label");
    if (!CheckFont(U32(record + kWinFont), "window font")) return false;
    const uint32_t colour = U32(record + kWinColour);
    if (colour != 0 && !CheckRoom(colour, kColourRecordSize, "colour record")) return false;
    if (!CheckIdList(U32(record + kWinOpenList), "window list entry")) return false;
    // Menus and toolbars are not part of this program's images; their header
    // must at least lie inside the buffer.
    for (uint32_t field : {kWinMenu, kWinToolbar}) {
      const uint32_t offset = U32(record + field);
      if (offset != 0 && !CheckRoom(offset, kCommonHeaderSize, "menu or toolbar record")) return false;
    }
    std::vector<uint32_t> equates;
    if (!CheckControls(U32(record + kWinFirstControl), 0, kTypeWindow, equates)) return false;
    // Field numbers become Win32 control ids: two controls must not share one.
    std::sort(equates.begin(), equates.end());
    const auto twice = std::adjacent_find(equates.begin(), equates.end());
    if (twice != equates.end()) {
      return Fail("window " + std::string(Text(U32(record + kWinLabel))) + " uses field number " +
                  std::to_string(*twice) + " twice");
    }
  }
  return true;
}

uint8_t ResourceImage::U8(uint32_t offset) const { return offset < buffer_.size() ? buffer_[offset] : 0; }

uint32_t ResourceImage::U32(uint32_t offset) const {
  if (offset > buffer_.size() || buffer_.size() - offset < 4) return 0;
  return static_cast<uint32_t>(buffer_[offset]) | static_cast<uint32_t>(buffer_[offset + 1]) << 8 |
         static_cast<uint32_t>(buffer_[offset + 2]) << 16 | static_cast<uint32_t>(buffer_[offset + 3]) << 24;
}

const char* ResourceImage::Text(uint32_t offset) const {
  if (offset == 0 || offset >= buffer_.size()) return "";
  if (std::memchr(&buffer_[offset], 0, buffer_.size() - offset) == nullptr) return "";
  return reinterpret_cast<const char*>(&buffer_[offset]);
}

uint32_t ResourceImage::FindWindowRecord(std::string_view label) const {
  for (uint32_t record : Windows()) {
    if (label == Text(U32(record + kWinLabel))) return record;
  }
  return 0;
}

std::vector<uint32_t> ResourceImage::Windows() const {
  std::vector<uint32_t> records;
  if (!loaded()) return records;
  for (uint32_t record = U32(kFirstWindowField); record != 0; record = U32(record + kRecNext)) {
    records.push_back(record);
  }
  return records;
}

WindowRecord ResourceImage::Window(uint32_t offset) const {
  WindowRecord w;
  w.offset = offset;
  w.next = U32(offset + kRecNext);
  w.flags = U32(offset + kRecFlags);
  w.rect = {I32(offset + kWinX), I32(offset + kWinY), I32(offset + kWinWidth), I32(offset + kWinHeight)};
  w.first_control = U32(offset + kWinFirstControl);
  w.label = Text(U32(offset + kWinLabel));
  w.font = U32(offset + kWinFont);
  w.title = Text(U32(offset + kWinTitle));
  w.colour = U32(offset + kWinColour);
  w.text39 = U32(offset + kWinText39);
  w.text3d = U32(offset + kWinText3D);
  w.text45 = U32(offset + kWinText45);
  w.text65 = U32(offset + kWinText65);
  w.open_list = U32(offset + kWinOpenList);
  w.flags2 = U32(offset + kWinFlags2);
  w.timer = U32(offset + kWinTimer);
  w.menu = U32(offset + kWinMenu);
  w.toolbar = U32(offset + kWinToolbar);
  w.dock_a = U8(offset + kWinDockA);
  w.dock_b = U8(offset + kWinDockB);
  return w;
}

ControlRecord ResourceImage::Control(uint32_t offset) const {
  ControlRecord c;
  c.offset = offset;
  c.type = U8(offset + kRecType);
  c.next = U32(offset + kRecNext);
  c.flags = U32(offset + kRecFlags);
  c.drop_ids = U32(offset + kRecDropIds);
  c.equate = U32(offset + kRecEquate);
  const ControlLayout* layout = LayoutOf(c.type);
  if (layout == nullptr) return c;
  if (layout->rect != 0) {
    const uint32_t r = offset + layout->rect;
    c.has_rect = true;
    c.rect = {I32(r), I32(r + 4), I32(r + 8), I32(r + 12)};
  }
  if (layout->text != 0) c.text = Text(U32(offset + layout->text));
  if (layout->font != 0) c.font = U32(offset + layout->font);
  if (layout->first_child != 0) c.first_child = U32(offset + layout->first_child);
  if (c.type == kTypeList || c.type == kTypeDropCombo) {
    c.format = Text(U32(offset + kListFormat));
    c.tip_a = Text(U32(offset + kListTipA));
    c.tip_b = Text(U32(offset + kListTipB));
    c.drop_byte = U8(offset + kListDropByte);
    c.data_record = U32(offset + kListData);
    c.drag_ids = U32(offset + kListDragIds);
    c.list_extra = I32(offset + kListExtra);
  }
  if (c.type == kTypeButton) c.key_record = U32(offset + kButtonKeyRecord);
  return c;
}

FontRecord ResourceImage::Font(uint32_t offset) const {
  FontRecord f;
  if (offset == 0) return f;
  f.typeface = Text(U32(offset + kFontTypeface));
  f.points = U32(offset + kFontPoints);
  f.colour = U32(offset + kFontColour);
  f.weight = U32(offset + kFontWeight);
  return f;
}

std::vector<std::string> ResourceImage::IdList(uint32_t first) const {
  std::vector<std::string> ids;
  // Validation ruled out cycles; the bound guards use on an unvalidated buffer.
  for (uint32_t entry = first; entry != 0 && ids.size() < buffer_.size(); entry = U32(entry + kIdNext)) {
    ids.emplace_back(Text(U32(entry + kIdText)));
  }
  return ids;
}

}  // namespace korvex::rsc
