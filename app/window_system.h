// What the application's procedures need of the window system: windows built from their
// resources (not yet open), a list bound to its queue, the window's event source and port,
// and procedures started on threads of their own. The Win32 window system implements it;
// tests fake it, so the procedures' logic runs natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "framework/event_source.h"
#include "framework/outcome.h"
#include "framework/resize_surface.h"
#include "framework/toolbar_port.h"
#include "framework/view_access.h"
#include "framework/window_port.h"
#include "runtime/queue.h"

namespace korvex::app {

// Control properties the procedures read and set through the window port, beyond those the
// framework names.
inline constexpr uint32_t kPropDragId = 0x7C30;       // list: its drag ids, one text ("" none)
inline constexpr uint32_t kPropDropId = 0x7C31;       // list: its drop ids, one text ("" none)
inline constexpr uint32_t kPropSelectedTab = 0x7C32;  // sheet: selected tab, from 1

class ProcedureWindow {
 public:
  virtual ~ProcedureWindow() = default;
  // Builds the window `label` from the resource of `module` ("korvex$KORVE002"); not open yet.
  virtual bool Build(std::string_view module, std::string_view label) = 0;
  // The rows of list control `list` are the queue's entries (not owned).
  virtual void BindQueue(int32_t list, const Queue* queue) = 0;
  virtual framework::Outcome Open() = 0;
  virtual framework::EventSource* events() = 0;
  virtual framework::WindowPort* port() = 0;
  virtual framework::ToolbarPort* toolbar_port() = 0;    // the frame's toolbar controls
  virtual framework::ResizeSurface* resize_surface() = 0;
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  virtual std::unique_ptr<ProcedureWindow> NewWindow() = 0;
  // Starts procedure on a thread of its own; false when no thread slot is free.
  virtual bool StartThread(std::function<void()> procedure, size_t stack_size) = 0;
};

// Where the procedures get their windows and views.
struct AppEnvironment {
  WindowSystem* windows = nullptr;
  // A VIEW over CUSTOMER that projects the browse's four fields.
  std::function<std::unique_ptr<framework::ViewAccess>()> customer_view;
};

}  // namespace korvex::app
