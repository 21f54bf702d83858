#include "app/main_frame.h"

#include <memory>

#include "app/data_dictionary.h"
#include "app/shuffle_window.h"

namespace korvex::app {

using framework::kOutcomeDone;
using framework::Outcome;

namespace {
constexpr char kModule[] = "korvex$KORVE001";
constexpr char kWindowLabel[] = "P1$APPFRAME";
constexpr char kProcedureName[] = "Main";
constexpr size_t kShuffleStack = 50000;
}  // namespace

MainFrame::MainFrame(AppEnvironment& environment, ProcedureWindow& window)
    : environment_(environment), window_(window) {
  SetWindow(window.events(), window.port());
}

Outcome MainFrame::Init() {
  Outcome outcome = BeginInit(kProcedureName, 1, window_.toolbar_port());
  if (outcome != kOutcomeDone) return outcome;
  outcome = window_.Open();
  if (outcome != kOutcomeDone) return outcome;
  opened = 1;
  AppEnvironment* environment = &environment_;
  shuffle_started_ = environment_.windows->StartThread([environment] { TplDragDrop(*environment); }, kShuffleStack);
  PrepareAlerts();
  return kOutcomeDone;
}

Outcome MainFrame::Kill() { return EndKill(kProcedureName); }

void Main(AppEnvironment& environment) {
  std::unique_ptr<ProcedureWindow> window = environment.windows->NewWindow();
  if (window == nullptr || !window->Build(kModule, kWindowLabel)) return;
  auto controller = std::make_unique<MainFrame>(environment, *window);
  CallResponse = controller->RunWindow();
}

}  // namespace korvex::app
