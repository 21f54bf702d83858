// The browse toolbar's port over real windows: the toolbar controls 2000..2012
// are looked up (by their Win32 id, which is their field number) under the
// toolbar's window, at any depth; every other control under the procedure's
// window. Events go to the calling thread's current window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "framework/toolbar_port.h"

namespace korvex {

class ControlToolbarPort : public framework::ToolbarPort {
 public:
  // toolbar_window: the window that holds the toolbar (nullptr: no toolbar).
  ControlToolbarPort(HWND toolbar_window, HWND procedure_window)
      : toolbar_window_(toolbar_window), procedure_window_(procedure_window) {}

  bool Exists(int32_t control) const override { return Find(control) != nullptr; }
  bool IsEnabled(int32_t control) const override;
  void SetEnabled(int32_t control, bool enabled) override;
  bool IsVisible(int32_t control) const override;
  void SetTip(int32_t control, std::string_view tip) override;
  void PostEvent(EventCode event, int32_t control) override;
  void OpenHelp(uint32_t command) override;

  // The tip a toolbar control shows ("" when none was set).
  std::string Tip(int32_t control) const;
  // The help file that OpenHelp opens; without one it does nothing.
  void SetHelpFile(std::string file) { help_file_ = std::move(file); }

  // The window with id `control` under root, at any depth; nullptr when none.
  static HWND FindDescendant(HWND root, int32_t control);

 private:
  HWND Find(int32_t control) const;

  HWND toolbar_window_;
  HWND procedure_window_;
  std::map<int32_t, std::string> tips_;
  std::string help_file_;
};

}  // namespace korvex
