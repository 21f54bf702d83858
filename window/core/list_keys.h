// The list's keys and scroll-bar codes in immediate mode, as the events they post.
#pragma once

#include <cstdint>

#include "window/core/event_codes.h"

namespace korvex {

// Virtual-key codes the list maps (the Win32 VK_ values).
constexpr uint32_t kVkPageUp = 0x21;
constexpr uint32_t kVkPageDown = 0x22;
constexpr uint32_t kVkEnd = 0x23;
constexpr uint32_t kVkHome = 0x24;
constexpr uint32_t kVkUp = 0x26;
constexpr uint32_t kVkDown = 0x28;

// The event a key posts in immediate mode, 0 when the key is not a scrolling key.
EventCode ImmediateKeyEvent(uint32_t virtual_key, bool ctrl_down);

// The event a vertical scroll-bar code (SB_LINEUP 0 ... SB_BOTTOM 7) posts in
// immediate mode; 0 for SB_ENDSCROLL and unknown codes.
EventCode ImmediateScrollEvent(uint32_t scroll_code);

}  // namespace korvex
