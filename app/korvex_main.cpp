// korvex.exe: the runtime's start-up around the program procedure. The event engine makes this
// the program's first thread, the control classes and drag and drop are set up, the
// procedures get the Win32 window system, and messages appear as real message boxes.
#include <windows.h>

#include "app/customer_view.h"
#include "app/main_frame.h"
#include "app/program.h"
#include "app/win32_window_system.h"
#include "runtime/locale/locale_startup.h"
#include "window/drag_drop.h"
#include "window/control_registry.h"
#include "window/event_engine.h"
#include "window/message_box_display.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  korvex::StartEventEngine();
  korvex::MessageBoxDisplay display;
  korvex::app::Win32WindowSystem windows;
  korvex::app::AppEnvironment environment{&windows, korvex::app::NewCustomerView};

  korvex::app::ProgramHooks hooks;
  hooks.display = &display;
  hooks.finish_startup = [] {
    korvex::RegisterWindowControls();
    korvex::StartDragDrop();
    korvex::StartLocaleOnce();
  };
  hooks.run_main = [&] {
    korvex::app::Main(environment);
    // Nothing may use the global objects once the program procedure takes them down.
    windows.CloseProcedures(5000);
  };
  korvex::app::RunProgram(hooks);
  korvex::ShutdownDragDrop();
  return 0;
}
