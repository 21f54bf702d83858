// The program procedure: sets up the global objects, runs Main and takes
// everything down again in a fixed order. The window system's own start-up
// and Main come in as hooks, so the procedure runs without windows too.
#pragma once

#include <functional>
#include <string>

#include "framework/message_display.h"

namespace korvex::app {

struct ProgramHooks {
  // Lets the runtime finish its start-up (window classes, locale); may be empty.
  std::function<void()> finish_startup;
  // The frame procedure; returns when the application frame has closed.
  std::function<void()> run_main;
  // Where the error reporter shows its messages (null: the console).
  framework::MessageDisplay* display = nullptr;
  // The INI file the settings object reads and writes back.
  std::string ini_file = "korvex.INI";
  // Called after each numbered step of the procedure (1 start-up, 2 reporter,
  // 3 INI settings, 4 data dictionary, 5 Main, 6 INI killed, 7 dictionary
  // killed, 8 reporter killed); for tests.
  std::function<void(int step)> after_step;
};

void RunProgram(const ProgramHooks& hooks);

}  // namespace korvex::app
