#include "app/program.h"

#include "app/data_dictionary.h"
#include "app/settings.h"

namespace korvex::app {

void RunProgram(const ProgramHooks& hooks) {
  auto step = [&](int n) {
    if (hooks.after_step) hooks.after_step(n);
  };
  ResetGlobals();
  if (hooks.finish_startup) hooks.finish_startup();
  step(1);
  AppErrors.Init(hooks.display);
  step(2);
  AppIni.Init(hooks.ini_file);
  step(3);
  InitDataDictionary();
  step(4);
  if (hooks.run_main) hooks.run_main();
  step(5);
  AppIni.Kill();
  step(6);
  KillDataDictionary();
  step(7);
  AppErrors.Kill();
  step(8);
}

}  // namespace korvex::app
