// The message box's buttons: the bit mask a caller passes, the captions and
// dialog control ids, which button is the default, and how the pressed
// button's id maps back to its bit. Also the text preparation ("|" breaks).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::mbox {

struct ButtonInfo {
  uint32_t bit;
  const char* caption;
  int id;  // dialog control id
};

// Left-to-right order of the buttons in a box.
inline constexpr std::array<ButtonInfo, 8> kButtonTable = {{
    {1, "OK", 1},
    {2, "&Yes", 6},
    {4, "&No", 7},
    {8, "&Abort", 3},
    {16, "&Retry", 4},
    {32, "&Ignore", 5},
    {64, "Cancel", 2},
    {128, "&Help", 9},
}};

inline constexpr int kCancelId = 2;  // what Esc and the close box send

struct ShownButton {
  uint32_t bit;
  int id;
  std::string caption;
};

// Captions that replace the table's, in table order; an empty or missing
// entry keeps the table's caption.
using CaptionOverrides = std::vector<std::string>;

// The buttons shown for mask, in table order; a mask of 0 (or one with no
// known bit) shows OK alone.
std::vector<ShownButton> ShownButtons(uint32_t mask, const CaptionOverrides& overrides = {});

// Index into shown of the default button: the one whose bit is default_bit,
// else the first.
size_t DefaultButtonIndex(const std::vector<ShownButton>& shown, uint32_t default_bit);

// The bit answered for a dialog command id. Esc and the close box send the
// Cancel id: that answers the Cancel bit only when Cancel is shown, else 0.
uint32_t BitForCommand(const std::vector<ShownButton>& shown, int id);

// Every "|" becomes a line break (CR LF).
std::string PrepareMessageText(std::string_view text);

}  // namespace korvex::mbox
