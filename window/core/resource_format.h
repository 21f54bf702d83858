// The binary layout of a window resource image ("DABDUMP"): record types, field
// offsets inside window and control records, and the size of each record kind.
//
// The loaded buffer holds the resource without its leading module name, starting
// at buffer offset 2 (bytes 0 and 1 are not part of the resource). Every offset
// stored in the image is a buffer offset; 0 means "none". Numbers are
// little-endian and unaligned. This header is standard C++ only: the host-built
// resource generator includes it too.
#pragma once

#include <cstdint>

namespace korvex::rsc {

// Buffer offset of the u32 that names the first window record.
inline constexpr uint32_t kFirstWindowField = 2;
// Resource bytes land in the buffer this many bytes further on than the body.
inline constexpr uint32_t kBufferLead = 2;

// A coordinate or size that the system chooses.
inline constexpr int32_t kDefaultCoordinate = INT32_MIN;  // 0x80000000
inline constexpr uint32_t kInherit = 0xFFFFFFFFu;        // font colour/weight taken from the parent

// Record types.
inline constexpr uint8_t kTypeString = 2;
inline constexpr uint8_t kTypeEntry = 8;
inline constexpr uint8_t kTypeButton = 9;
inline constexpr uint8_t kTypePrompt = 10;
inline constexpr uint8_t kTypeCheck = 12;
inline constexpr uint8_t kTypeGroup = 13;
inline constexpr uint8_t kTypeList = 14;
inline constexpr uint8_t kTypeText = 17;
inline constexpr uint8_t kTypeWindow = 25;
inline constexpr uint8_t kTypeDropCombo = 33;
inline constexpr uint8_t kTypeSheet = 37;
inline constexpr uint8_t kTypeTab = 38;

// Common record header.
inline constexpr uint32_t kRecType = 0x00;       // u8
inline constexpr uint32_t kRecNext = 0x01;       // u32 next sibling
inline constexpr uint32_t kRecFlags = 0x05;      // u32
inline constexpr uint32_t kRecDropIds = 0x09;    // u32 first drop-id entry (controls)
inline constexpr uint32_t kRecEquate = 0x0D;     // u32 field equate number (controls)
inline constexpr uint32_t kCommonHeaderSize = 0x11;

// Window record (type 25).
inline constexpr uint32_t kWinX = 0x0D;
inline constexpr uint32_t kWinY = 0x11;
inline constexpr uint32_t kWinWidth = 0x15;
inline constexpr uint32_t kWinHeight = 0x19;
inline constexpr uint32_t kWinFirstControl = 0x1D;
inline constexpr uint32_t kWinLabel = 0x21;
inline constexpr uint32_t kWinFont = 0x25;
inline constexpr uint32_t kWinTitle = 0x29;
inline constexpr uint32_t kWinColour = 0x35;
inline constexpr uint32_t kWinText39 = 0x39;
inline constexpr uint32_t kWinText3D = 0x3D;
inline constexpr uint32_t kWinText45 = 0x45;
inline constexpr uint32_t kWinOpenList = 0x4D;
inline constexpr uint32_t kWinFlags2 = 0x51;
inline constexpr uint32_t kWinTimer = 0x59;
inline constexpr uint32_t kWinMenu = 0x5D;
inline constexpr uint32_t kWinToolbar = 0x61;
inline constexpr uint32_t kWinText65 = 0x65;
inline constexpr uint32_t kWinDockA = 0x72;
inline constexpr uint32_t kWinDockB = 0x73;
inline constexpr uint32_t kWindowRecordSize = 0x74;

// Window flags (+0x05).
inline constexpr uint32_t kWinFlagApplication = 0x0010;   // the application frame
inline constexpr uint32_t kWinFlagReportsResize = 0x0800; // move/size events reported
// Second window flag word (+0x51).
inline constexpr uint32_t kWin2System = 0x0004;     // system menu
inline constexpr uint32_t kWin2Modal = 0x0008;      // MODAL
inline constexpr uint32_t kWin2Gray = 0x0020;       // dialog-coloured background
inline constexpr uint32_t kWin2Resize = 0x0040;     // sizing border
inline constexpr uint32_t kWin2Iconize = 0x0800;    // minimize box
inline constexpr uint32_t kWin2Maximize = 0x1000;   // maximize box
inline constexpr uint32_t kWin2Center = 0x2000;     // centred when x and y are default
inline constexpr uint32_t kWin2Double = 0x4000;     // double (dialog) border when not resizable

// Font record: u32 typeface offset, u32 points, u32 COLORREF, u32 weight.
inline constexpr uint32_t kFontTypeface = 0;
inline constexpr uint32_t kFontPoints = 4;
inline constexpr uint32_t kFontColour = 8;
inline constexpr uint32_t kFontWeight = 12;
inline constexpr uint32_t kFontRecordSize = 16;

// Colour record: u32 text colour, u32 background colour (kInherit = system).
inline constexpr uint32_t kColourText = 0;
inline constexpr uint32_t kColourBackground = 4;
inline constexpr uint32_t kColourRecordSize = 8;

// Id list entry (drag and drop ids; the window's open list): text, next.
inline constexpr uint32_t kIdText = 0;
inline constexpr uint32_t kIdNext = 4;
inline constexpr uint32_t kIdEntrySize = 8;

// LIST (14) and drop-down (33) fields.
inline constexpr uint32_t kListFormat = 0x19;
inline constexpr uint32_t kListTipA = 0x2D;
inline constexpr uint32_t kListTipB = 0x31;
inline constexpr uint32_t kListFont = 0x35;
inline constexpr uint32_t kListDropByte = 0x4D;
inline constexpr uint32_t kListData = 0x54;
inline constexpr uint32_t kListDragIds = 0x65;
inline constexpr uint32_t kListExtra = 0x69;
// BUTTON (9).
inline constexpr uint32_t kButtonKeyRecord = 0x49;
inline constexpr uint32_t kKeyRecordSize = 4;  // u32 key code
// SHEET (37) and TAB (38).
inline constexpr uint32_t kSheetFirstTab = 0x4D;
inline constexpr uint32_t kTabText = 0x32;
inline constexpr uint32_t kTabFirstChild = 0x3A;

// Where each control kind keeps its fields; 0 = the kind has no such field.
struct ControlLayout {
  uint8_t type;
  uint32_t size;         // bytes of the record
  uint32_t rect;         // x, y, width, height (i32 each)
  uint32_t text;         // caption or tab text
  uint32_t font;         // font record
  uint32_t first_child;  // SHEET: first TAB; TAB: first control
};

// Layouts of the control kinds. Types that this program creates nothing for
// carry the common header only.
inline constexpr ControlLayout kControlLayouts[] = {
    {kTypeString, 0x31, 0x15, 0x29, 0x2D, 0},
    {kTypeEntry, 0x31, 0x15, 0x29, 0x2D, 0},
    {kTypeButton, 0x4D, 0x15, 0x45, 0x2D, 0},
    {kTypePrompt, 0x31, 0x15, 0x29, 0x2D, 0},
    {kTypeCheck, 0x31, 0x15, 0x29, 0x2D, 0},
    {kTypeGroup, 0x31, 0x15, 0x29, 0x2D, 0},
    {kTypeList, 0x6D, 0x1D, 0, kListFont, 0},
    {16, 0x25, 0x15, 0, 0, 0},
    {kTypeText, 0x31, 0x19, 0x29, 0x2D, 0},
    {kTypeDropCombo, 0x6D, 0x1D, 0, kListFont, 0},
    {34, 0x25, 0x15, 0, 0, 0},
    {kTypeSheet, 0x51, 0x19, 0, 0x2D, kSheetFirstTab},
    {kTypeTab, 0x3E, 0, kTabText, 0, kTabFirstChild},
    {39, 0x25, 0x15, 0, 0, 0},
};
inline constexpr ControlLayout kHeaderOnlyLayout = {0, kCommonHeaderSize, 0, 0, 0, 0};

// The 26 record types with a control factory slot, in slot order.
inline constexpr uint8_t kFactoryTypes[26] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,
                                              14, 15, 16, 17, 18, 21, 32, 33, 34, 35, 37, 38, 39};
inline constexpr int kFactorySlotCount = 26;

// The factory slot of a record type, -1 when the type has none.
constexpr int FactorySlotOf(uint8_t type) {
  for (int i = 0; i < kFactorySlotCount; ++i) {
    if (kFactoryTypes[i] == type) return i;
  }
  return -1;
}

// The layout of a control record of type, or nullptr for a type that is not a
// control type of the image.
constexpr const ControlLayout* LayoutOf(uint8_t type) {
  if (FactorySlotOf(type) < 0) return nullptr;
  for (const ControlLayout& layout : kControlLayouts) {
    if (layout.type == type) return &layout;
  }
  return &kHeaderOnlyLayout;
}

}  // namespace korvex::rsc
