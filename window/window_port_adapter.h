// An open procedure window as a window controller's window port: events are
// posted through the event engine, controls are found by their id (their field
// number) at any depth below the window.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>

#include "framework/window_port.h"

namespace korvex {

class WindowObject;

class ControlWindowPort : public framework::WindowPort {
 public:
  // REQUIRES: the window stays open while the port is used. object: the window
  // object the window was opened from (control types come from its records);
  // nullptr for a plain window, whose types are given with SetControlType.
  explicit ControlWindowPort(HWND window, WindowObject* object = nullptr);
  ~ControlWindowPort() override;

  void PostEvent(EventCode event, int32_t control) override;
  void PostEventToThread(EventCode event, int32_t control, int thread) override;
  void Select(int32_t control) override;
  // There is no validation to run on this window's controls: the pass ends
  // at once in EVENT:Completed.
  void SelectAll() override;
  void Display(int32_t control) override;
  int32_t ControlType(int32_t control) override;
  // kPropVisible reads the control's visibility; other properties are kept
  // here per control.
  std::string Property(int32_t control, uint32_t property) override;
  void SetProperty(int32_t control, uint32_t property, const std::string& value) override;
  void Beep() override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;

  void SetControlType(int32_t control, int32_t type) { types_[control] = type; }
  // The child window with id control at any depth, nullptr when none.
  HWND FindControl(int32_t control) const;

 private:
  HWND window_;
  WindowObject* object_;
  std::map<int32_t, int32_t> types_;
  std::map<std::pair<int32_t, uint32_t>, std::string> properties_;
  HCURSOR saved_cursor_ = nullptr;
  int wait_depth_ = 0;
};

}  // namespace korvex
