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
  AppErrors.SetProcedureName(kProcedureName);
  request = CallRequest;
  Outcome outcome = WindowController::Init();
  if (outcome != kOutcomeDone) return outcome;
  first_field = 1;
  vcr_request = &NavigationRequest;
  errors = &AppErrors;
  toolbar_.Init(window_.toolbar_port());
  AttachToolbar(&toolbar_);
  CallRequest = 0;
  CallResponse = 0;
  outcome = window_.Open();
  if (outcome != kOutcomeDone) return outcome;
  opened = 1;
  AppEnvironment* environment = &environment_;
  shuffle_started_ = environment_.windows->StartThread([environment] { TplDragDrop(*environment); }, kShuffleStack);
  PrepareAlerts();
  return kOutcomeDone;
}

Outcome MainFrame::Kill() {
  Outcome outcome = WindowController::Kill();
  if (outcome != kOutcomeDone) return outcome;
  AppErrors.SetProcedureName(kProcedureName, true);
  return kOutcomeDone;
}

void Main(AppEnvironment& environment) {
  std::unique_ptr<ProcedureWindow> window = environment.windows->NewWindow();
  if (window == nullptr || !window->Build(kModule, kWindowLabel)) return;
  auto controller = std::make_unique<MainFrame>(environment, *window);
  CallResponse = controller->RunWindow();
}

}  // namespace korvex::app
