// The message box: a small modal dialog built in memory with a text, a title,
// an optional icon and a row of buttons chosen by a bit mask.
#pragma once

#include <cstdint>
#include <string>

namespace korvex {

// Icon codes (bits 4 to 7 of the style value).
inline constexpr uint32_t kMessageIconNone = 0;
inline constexpr uint32_t kMessageIconStop = 0x10;
inline constexpr uint32_t kMessageIconQuestion = 0x20;
inline constexpr uint32_t kMessageIconExclamation = 0x30;
inline constexpr uint32_t kMessageIconInformation = 0x40;
inline constexpr uint32_t kMessageIconNamed = 0xF0;

// Style flag: the box is modal for the whole system.
inline constexpr uint32_t kMessageSystemModal = 0x1000;

struct MessageIcon {
  uint32_t code = kMessageIconNone;
  std::string name;  // with kMessageIconNamed: the icon resource of the program
};

// Shows text ("|" breaks lines) under title with icon and the buttons of the
// mask (0 = OK alone), captioned as the locale's button captions say; default_button is the bit of the button that has the
// focus, the first shown button when it names none. Runs with the runtime
// lock released and the modal counter raised, owned by the calling thread's
// window (the active window when it has none). Answers the bit of the button
// pressed, 0 when closed without one (Esc or the close box with no Cancel
// button) or when the box cannot be shown.
uint32_t ShowMessage(const std::string& text, const std::string& title, const MessageIcon& icon,
                     uint32_t buttons, uint32_t default_button, uint32_t style_flags = 0);

}  // namespace korvex
