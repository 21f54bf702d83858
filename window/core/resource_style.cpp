#include "window/core/resource_style.h"

#include "window/core/resource_format.h"

namespace korvex::rsc {

WindowStyle WindowStyleOf(uint32_t flags, uint32_t flags2, bool has_title, bool mdi_child) {
  WindowStyle s;
  s.style = kWsClipChildren;
  if (has_title) s.style |= kWsCaption;
  if (mdi_child) {
    s.style |= kWsChild;
  } else if (!has_title) {
    // A top-level window without caption must be a popup: an overlapped
    // window always gets a caption from the system.
    s.style |= kWsPopup;
  }
  const bool application = (flags & kWinFlagApplication) != 0;
  if (application || (flags2 & kWin2System) != 0) s.style |= kWsSysMenu;
  if (application || (flags2 & kWin2Iconize) != 0) s.style |= kWsMinimizeBox;
  if ((flags2 & kWin2Maximize) != 0) s.style |= kWsMaximizeBox;
  if ((flags2 & kWin2Resize) != 0) {
    s.style |= kWsThickFrame;
  } else if ((flags2 & kWin2Double) != 0) {
    s.style |= kWsDlgFrame;
    s.ex_style |= kWsExDlgModalFrame;
  } else if (!has_title) {
    s.style |= kWsBorder;
  }
  return s;
}

}  // namespace korvex::rsc
