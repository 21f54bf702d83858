// The message box as an in-memory dialog template: its layout in dialog units
// and the template bytes (the extended dialog template format, UTF-16 texts)
// that DialogBoxIndirectParamA runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "window/core/message_box_buttons.h"

namespace korvex::mbox {

// Control ids of the non-button items (clear of the button ids 1 to 9).
inline constexpr int kIconId = 100;
inline constexpr int kTextId = 101;

// Layout metrics in dialog units.
inline constexpr int kMargin = 7;
inline constexpr int kIconSize = 21;
inline constexpr int kButtonWidth = 50;
inline constexpr int kButtonHeight = 14;
inline constexpr int kButtonGap = 5;
inline constexpr int kMinimumTextWidth = 60;

// Win32 bits the template uses.
inline constexpr uint32_t kDsSysModal = 0x0002;
inline constexpr uint32_t kDs3dLook = 0x0004;
inline constexpr uint32_t kDsSetFont = 0x0040;
inline constexpr uint32_t kDsModalFrame = 0x0080;
inline constexpr uint32_t kDsCenter = 0x0800;
inline constexpr uint32_t kWsExTopmost = 0x0008;
inline constexpr uint32_t kSsIcon = 0x0003;
inline constexpr uint32_t kSsNoPrefix = 0x0080;
inline constexpr uint32_t kBsDefPushButton = 0x0001;
inline constexpr uint32_t kWsGroup = 0x00020000;
inline constexpr uint32_t kWsTabStop = 0x00010000;
inline constexpr uint32_t kWsVisible = 0x10000000;
inline constexpr uint32_t kWsChildStyle = 0x40000000;
inline constexpr uint16_t kAtomButton = 0x0080;
inline constexpr uint16_t kAtomStatic = 0x0082;
// Style value bit: a box modal for the whole system.
inline constexpr uint32_t kSystemModalFlag = 0x1000;

struct DialogItem {
  uint32_t style = 0;
  uint32_t ex_style = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  uint32_t id = 0;
  uint16_t class_atom = 0;
  std::u16string title;
};

struct DialogTemplate {
  uint32_t style = 0;
  uint32_t ex_style = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  std::u16string title;
  uint16_t points = 8;
  uint16_t weight = 400;
  std::u16string typeface;
  std::vector<DialogItem> items;
};

struct MessageBoxRequest {
  std::u16string title;
  std::u16string text;           // prepared: line breaks in place
  int text_width = 0;            // the text's extent in dialog units
  int text_height = 0;
  bool has_icon = false;
  std::vector<ShownButton> buttons;   // in display order
  std::vector<std::u16string> button_captions;  // UTF-16, parallel to buttons
  size_t default_index = 0;
  bool system_modal = false;
  bool new_look = true;          // "MS Sans Serif" 400, else "Helv" 700
};

// Lays the box out: icon top left, text beside it, one row of buttons below,
// evenly spaced and centred; the box widens when the row is wider than the text.
DialogTemplate LayoutMessageBox(const MessageBoxRequest& request);

// The template bytes. Items start on 4-byte boundaries, as Win32 wants them.
std::vector<uint8_t> EncodeDialogTemplate(const DialogTemplate& dialog);

}  // namespace korvex::mbox
