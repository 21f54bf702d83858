#include "window/core/message_box_buttons.h"

namespace korvex::mbox {

std::vector<ShownButton> ShownButtons(uint32_t mask, const CaptionOverrides& overrides) {
  std::vector<ShownButton> shown;
  for (size_t i = 0; i < kButtonTable.size(); ++i) {
    const ButtonInfo& info = kButtonTable[i];
    if ((mask & info.bit) == 0) continue;
    const bool replaced = i < overrides.size() && !overrides[i].empty();
    shown.push_back({info.bit, info.id, replaced ? overrides[i] : std::string(info.caption)});
  }
  if (shown.empty()) {
    const bool replaced = !overrides.empty() && !overrides[0].empty();
    shown.push_back({kButtonTable[0].bit, kButtonTable[0].id,
                     replaced ? overrides[0] : std::string(kButtonTable[0].caption)});
  }
  return shown;
}

size_t DefaultButtonIndex(const std::vector<ShownButton>& shown, uint32_t default_bit) {
  for (size_t i = 0; i < shown.size(); ++i) {
    if (shown[i].bit == default_bit) return i;
  }
  return 0;
}

uint32_t BitForCommand(const std::vector<ShownButton>& shown, int id) {
  for (const ShownButton& button : shown) {
    if (button.id == id) return button.bit;
  }
  return 0;
}

std::string PrepareMessageText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '|') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace korvex::mbox
