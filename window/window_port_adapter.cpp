#include "window/window_port_adapter.h"

#include "window/event_engine.h"
#include "window/toolbar_port_adapter.h"
#include "window/window_object.h"

namespace korvex {

ControlWindowPort::ControlWindowPort(HWND window, WindowObject* object) : window_(window), object_(object) {}

ControlWindowPort::~ControlWindowPort() {
  if (wait_depth_ > 0) SetCursor(saved_cursor_);
}

HWND ControlWindowPort::FindControl(int32_t control) const {
  if (control == 0 || window_ == nullptr) return nullptr;
  return ControlToolbarPort::FindDescendant(window_, control);
}

void ControlWindowPort::PostEvent(EventCode event, int32_t control) { korvex::PostEvent(event, control); }

void ControlWindowPort::PostEventToThread(EventCode event, int32_t control, int thread) {
  korvex::PostEvent(event, control, thread);
}

void ControlWindowPort::Select(int32_t control) {
  if (HWND hwnd = FindControl(control)) SetFocus(hwnd);
}

void ControlWindowPort::SelectAll() { korvex::PostEvent(kEventCompleted); }

void ControlWindowPort::Display(int32_t control) {
  HWND hwnd = control == 0 ? window_ : FindControl(control);
  if (hwnd != nullptr) InvalidateRect(hwnd, nullptr, TRUE);
}

int32_t ControlWindowPort::ControlType(int32_t control) {
  if (object_ != nullptr && control > 0) {
    if (const Control* c = object_->FindControl(static_cast<uint32_t>(control))) return c->type();
  }
  auto it = types_.find(control);
  return it == types_.end() ? 0 : it->second;
}

std::string ControlWindowPort::Property(int32_t control, uint32_t property) {
  if (property == framework::kPropVisible) {
    HWND hwnd = control == 0 ? window_ : FindControl(control);
    return hwnd != nullptr && IsWindowVisible(hwnd) ? "1" : "";
  }
  auto it = properties_.find({control, property});
  return it == properties_.end() ? std::string() : it->second;
}

void ControlWindowPort::SetProperty(int32_t control, uint32_t property, const std::string& value) {
  properties_[{control, property}] = value;
}

void ControlWindowPort::Beep() { MessageBeep(0); }

void ControlWindowPort::BeginWaitCursor() {
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  if (wait_depth_++ == 0) saved_cursor_ = previous;
}

void ControlWindowPort::EndWaitCursor() {
  if (wait_depth_ == 0) return;
  if (--wait_depth_ == 0) SetCursor(saved_cursor_);
}

}  // namespace korvex
