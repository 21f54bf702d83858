// The window controller of the application's procedures: the steps every procedure window takes
// at the start of its Init and the end of its Kill, around what each one adds.
#pragma once

#include <cstdint>

#include "framework/browse_toolbar.h"
#include "framework/toolbar_port.h"
#include "framework/window_controller.h"

namespace korvex::app {

class ProcedureController : public framework::WindowController {
 protected:
  // Names the procedure for the error reporter on this thread, takes the pending request, runs
  // the base Init and, when that succeeds, sets the shared fields, attaches the toolbar (over
  // port, none allowed) and clears the request and response.
  framework::Outcome BeginInit(const char* procedure, int32_t first, framework::ToolbarPort* port);
  // Runs the base Kill; when that succeeds, the procedure's name leaves the reporter.
  framework::Outcome EndKill(const char* procedure);

  framework::BrowseToolbar toolbar_;
};

}  // namespace korvex::app
