// The application's window system on Win32: windows opened from the program's resources over
// the event engine, their lists showing runtime queues, the app's control properties routed
// to the real controls, and procedures on threads of their own. Windows target only.
#pragma once

#include <memory>
#include <vector>

#include "app/window_system.h"

namespace korvex::app {

class Win32WindowSystem : public WindowSystem {
 public:
  std::unique_ptr<ProcedureWindow> NewWindow() override;
  bool StartThread(std::function<void()> procedure, size_t stack_size) override;
  // Asks every started procedure that still runs to close (EVENT:CloseDown) and waits for
  // them, at most timeout_ms, so nothing outlives the objects the program takes down next.
  void CloseProcedures(unsigned timeout_ms);

 private:
  std::vector<int> threads_;  // thread numbers of the started procedures
};

}  // namespace korvex::app
