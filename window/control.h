// The control objects of an open window and the factory table that makes them
// from control records.
//
// A control module registers one factory per record type it serves
// (RegisterControlFactory); CreateControls walks a record chain and makes one
// object per record whose type has a factory, then asks it to initialise from
// its record. Records of types without a factory create nothing. The Win32 id
// of every control window is its field equate number.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "window/core/resource_image.h"

namespace korvex {

class WindowObject;

class Control {
 public:
  Control(WindowObject& window, const rsc::ControlRecord& record, Control* parent)
      : window_(window), record_(record), parent_(parent) {}
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // Makes the control's Win32 window from its record. Answers false when it
  // could not be made (the control is then dropped).
  virtual bool InitFromRecord() = 0;
  // A WM_COMMAND notification from the control's window.
  virtual void OnCommand(UINT /*code*/) {}
  // WM_CTLCOLOR*: answers the brush to paint with, nullptr for the default.
  virtual HBRUSH OnColour(HDC /*dc*/) { return nullptr; }
  // A control whose record hangs under this one's (a TAB's control) was made.
  virtual void AdoptChild(Control& /*child*/) {}

  WindowObject& window() const { return window_; }
  const rsc::ControlRecord& record() const { return record_; }
  uint32_t field() const { return record_.equate; }
  uint8_t type() const { return record_.type; }
  // The SHEET or TAB control the record hangs under, nullptr at window level.
  Control* parent() const { return parent_; }
  HWND hwnd() const { return hwnd_; }

 protected:
  // Creates the control's window as a child of the window's client area, at
  // the record's position converted to pixels (default sizes are given as 0
  // and left to the caller), with the control's id and font.
  HWND CreateChild(const char* win_class, const char* text, DWORD style, DWORD ex_style, const RECT& pixels);
  // The record's rectangle in client pixels; default width or height become 0.
  RECT PixelRect() const;

  WindowObject& window_;
  rsc::ControlRecord record_;
  Control* parent_;
  HWND hwnd_ = nullptr;
};

using ControlFactory = std::unique_ptr<Control> (*)(WindowObject& window, const rsc::ControlRecord& record,
                                                    Control* parent);

// Puts factory into the slot of type; false when type has no slot.
bool RegisterControlFactory(uint8_t type, ControlFactory factory);
ControlFactory FindControlFactory(uint8_t type);

// Creates the controls of the chain that starts at first (and of their
// children, depth first) in window. parent: the control that owns the chain.
void CreateControls(WindowObject& window, uint32_t first, Control* parent);

}  // namespace korvex
