// Main: the application frame. It opens the frame, starts the record shuffle window on a
// thread of its own as soon as the frame is open, and runs the frame's loop until it closes.
#pragma once

#include "app/window_system.h"
#include "app/procedure_controller.h"

namespace korvex::app {

class MainFrame : public ProcedureController {
 public:
  MainFrame(AppEnvironment& environment, ProcedureWindow& window);
  framework::Outcome Init() override;
  framework::Outcome Kill() override;
  bool shuffle_started() const { return shuffle_started_; }

 private:
  AppEnvironment& environment_;
  ProcedureWindow& window_;
  bool shuffle_started_ = false;
};

// The procedure; sets CallResponse.
void Main(AppEnvironment& environment);

}  // namespace korvex::app
