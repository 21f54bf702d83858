#include "window/core/list_keys.h"

namespace korvex {

EventCode ImmediateKeyEvent(uint32_t virtual_key, bool ctrl_down) {
  switch (virtual_key) {
    case kVkHome: return kEventScrollTop;
    case kVkEnd: return kEventScrollBottom;
    case kVkUp: return kEventScrollUp;
    case kVkDown: return kEventScrollDown;
    case kVkPageUp: return ctrl_down ? kEventScrollTop : kEventPageUp;
    case kVkPageDown: return ctrl_down ? kEventScrollBottom : kEventPageDown;
    default: return 0;
  }
}

EventCode ImmediateScrollEvent(uint32_t scroll_code) {
  switch (scroll_code) {
    case 0: return kEventScrollUp;      // SB_LINEUP
    case 1: return kEventScrollDown;    // SB_LINEDOWN
    case 2: return kEventPageUp;        // SB_PAGEUP
    case 3: return kEventPageDown;      // SB_PAGEDOWN
    case 4: return kEventScrollDrag;    // SB_THUMBPOSITION: the thumb was released
    case 5: return kEventScrollTrack;   // SB_THUMBTRACK: the thumb moves
    case 6: return kEventScrollTop;     // SB_TOP
    case 7: return kEventScrollBottom;  // SB_BOTTOM
    default: return 0;
  }
}

}  // namespace korvex
