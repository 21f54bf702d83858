// Reads arbitrary text as a popup menu definition. Submenus must balance,
// items must be numbered 1, 2, ... and every item text must read back the same
// after escaping.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "window/core/popup_definition.h"

namespace {

void MustHold(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using korvex::PopupEntry;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  korvex::PopupDefinition def = korvex::ParsePopupDefinition(text);
  int open = 0;
  uint16_t expected = 0;
  for (const PopupEntry& e : def.entries) {
    MustHold(e.depth == open + 1 || e.kind == PopupEntry::Kind::kSubmenuEnd);
    switch (e.kind) {
      case PopupEntry::Kind::kSubmenuBegin:
        ++open;
        break;
      case PopupEntry::Kind::kSubmenuEnd:
        MustHold(open > 0);
        --open;
        break;
      case PopupEntry::Kind::kItem: {
        MustHold(e.number == ++expected);
        korvex::PopupDefinition again = korvex::ParsePopupDefinition(korvex::EscapePopupText(e.text) + "|x");
        if (!e.text.empty()) {
          MustHold(again.entries.size() == 2 && again.entries[0].text == e.text && again.item_count == 2);
        }
        break;
      }
      case PopupEntry::Kind::kSeparator:
        break;
    }
  }
  MustHold(open == 0);
  MustHold(expected == def.item_count);
  return 0;
}
