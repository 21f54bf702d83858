// What a window controller needs of its open window: posting events to it,
// selecting and redisplaying controls, control properties, the beep and the
// wait cursor. The window system implements it over an open window; tests fake
// it (framework/fake_window.h).
#pragma once

#include <cstdint>
#include <string>

#include "window/core/event_codes.h"

namespace korvex::framework {

// Control types of the window resources that the framework tells apart.
inline constexpr int32_t kControlTypeList = 14;
inline constexpr int32_t kControlTypeSheet = 37;

// Properties the framework reads or sets.
inline constexpr uint32_t kPropNoReset = 0x7C9A;     // window: resets are held off while set
inline constexpr uint32_t kPropAlertKey = 0x7D06;    // control: alert this key code on it
inline constexpr uint32_t kPropVisible = 0x7CA7;     // control: it is visible

class WindowPort {
 public:
  virtual ~WindowPort() = default;

  // Posts event for control (0: a window event) to this window.
  virtual void PostEvent(EventCode event, int32_t control = 0) = 0;
  // Posts event to the current window of runtime thread `thread` (1 = the
  // program's first thread).
  virtual void PostEventToThread(EventCode event, int32_t control, int thread) = 0;
  // Gives control the focus.
  virtual void Select(int32_t control) = 0;
  // Starts the accept-all pass: every control is validated in turn and the pass
  // ends in EVENT:Completed.
  virtual void SelectAll() = 0;
  // Redraws control from its variable; 0 redraws every control.
  virtual void Display(int32_t control = 0) = 0;
  // The control's type (0 when the window has no such control).
  virtual int32_t ControlType(int32_t control) = 0;
  // A property of control (0: of the window) as text; "" when unset.
  virtual std::string Property(int32_t control, uint32_t property) = 0;
  virtual void SetProperty(int32_t control, uint32_t property, const std::string& value) = 0;
  virtual void Beep() = 0;
  // Shows the wait cursor until the matching EndWaitCursor.
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
};

}  // namespace korvex::framework
