// What the browse toolbar needs of the window system: the toolbar controls
// (2000..2012, normally on the application frame) and posting events to the
// controls of the procedure's window. The Win32 side implements it; tests fake it.
#pragma once

#include <cstdint>
#include <string_view>

#include "window/core/event_codes.h"

namespace korvex::framework {

class ToolbarPort {
 public:
  virtual ~ToolbarPort() = default;

  // Whether the control exists (a frame without a toolbar has none of 2000..2012).
  virtual bool Exists(int32_t control) const = 0;
  virtual bool IsEnabled(int32_t control) const = 0;
  virtual void SetEnabled(int32_t control, bool enabled) = 0;
  // Whether the control is visible (a list on a tab that is not shown is not).
  virtual bool IsVisible(int32_t control) const = 0;
  virtual void SetTip(int32_t control, std::string_view tip) = 0;
  // Posts the event for the control to the procedure's window.
  virtual void PostEvent(EventCode event, int32_t control) = 0;
  // Opens the help (the window system's help call with the given command).
  virtual void OpenHelp(uint32_t command) = 0;
};

}  // namespace korvex::framework
