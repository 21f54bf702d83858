// The definition text of a popup menu, read into a flat list of entries that the
// display turns into menus.
//
// Syntax: entries are separated by "|"; "Caption{" opens a submenu whose items
// run up to the matching "}". An entry that is exactly "-" is a separator. Other
// entries start with optional flags: "~" (disabled), then "+" (checked) or "-"
// (unchecked, skipped), then an optional "[a,(b),...]" attribute list (numbers or
// texts in parentheses; a text may follow a number directly, as in "[31848(~x)]")
// that makes the item owner-drawn; the rest is the text.
// A backslash takes the next character literally anywhere, so texts can hold
// "|", "{", "}", a leading "~", "+", "-" or "[", and ")" inside an attribute text.
// Empty entries (as between "}" and "|") are skipped. Items that are not
// separators or captions are numbered 1, 2, ... in definition order, up to
// 65535; items past that are dropped. Broken input (an unclosed submenu, a "}"
// too many, an unterminated "[" or "(") is read as far as it goes, never refused.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvex {

// One entry of an owner-drawn item's attribute list.
struct PopupAttribute {
  bool is_text = false;   // written "(text)"; else a decimal number
  int32_t number = 0;     // the number (clamped to 32 bits) when !is_text
  std::string text;       // the text without its parentheses when is_text
};

struct PopupEntry {
  enum class Kind : uint8_t {
    kItem,          // a choosable item; number 1..65535
    kSeparator,     // a line, no number
    kSubmenuBegin,  // opens a submenu; text is its caption, no number
    kSubmenuEnd,    // closes the innermost open submenu
  };
  Kind kind = Kind::kItem;
  std::string text;                        // item text or caption, escapes removed
  bool disabled = false;                   // "~"
  bool checked = false;                    // "+"
  bool owner_drawn = false;                // had an attribute list
  std::vector<PopupAttribute> attributes;  // the "[...]" entries
  uint16_t number = 0;                     // items only
  uint16_t depth = 1;                      // 1 for the top level
};

struct PopupDefinition {
  std::vector<PopupEntry> entries;  // every kSubmenuBegin has its kSubmenuEnd
  uint16_t item_count = 0;          // numbered items
  size_t dropped_items = 0;         // items past the 16-bit numbering
};

inline constexpr uint16_t kMaxPopupItems = 65535;

PopupDefinition ParsePopupDefinition(std::string_view definition);

// The text with the definition's syntax characters escaped, so that it reads
// back as exactly this item text (the whole of the text after any flags).
std::string EscapePopupText(std::string_view text);

// A text for use inside "(...)" of an attribute list.
std::string EscapePopupAttributeText(std::string_view text);

}  // namespace korvex
