// The Win32 window style that a window record's flags select. Kept portable
// (the style bits are plain numbers here) so that the rules are tested natively.
#pragma once

#include <cstdint>

namespace korvex::rsc {

// Win32 style bits used below.
inline constexpr uint32_t kWsPopup = 0x80000000u;
inline constexpr uint32_t kWsChild = 0x40000000u;
inline constexpr uint32_t kWsClipChildren = 0x02000000u;
inline constexpr uint32_t kWsCaption = 0x00C00000u;
inline constexpr uint32_t kWsBorder = 0x00800000u;
inline constexpr uint32_t kWsDlgFrame = 0x00400000u;
inline constexpr uint32_t kWsSysMenu = 0x00080000u;
inline constexpr uint32_t kWsThickFrame = 0x00040000u;
inline constexpr uint32_t kWsMinimizeBox = 0x00020000u;
inline constexpr uint32_t kWsMaximizeBox = 0x00010000u;
inline constexpr uint32_t kWsExDlgModalFrame = 0x00000001u;

struct WindowStyle {
  uint32_t style = 0;
  uint32_t ex_style = 0;
};

// flags: the record's window flags (+0x05); flags2: its second flag word
// (+0x51); has_title: the title is not empty. An MDI child is a child window
// of the frame's client; every other window is a top-level window.
WindowStyle WindowStyleOf(uint32_t flags, uint32_t flags2, bool has_title, bool mdi_child);

}  // namespace korvex::rsc
