#include "app/procedure_controller.h"

#include "app/data_dictionary.h"

namespace korvex::app {

using framework::kOutcomeDone;
using framework::Outcome;

Outcome ProcedureController::BeginInit(const char* procedure, int32_t first, framework::ToolbarPort* port) {
  AppErrors.SetProcedureName(procedure);
  request = CallRequest;
  Outcome outcome = WindowController::Init();
  if (outcome != kOutcomeDone) return outcome;
  first_field = first;
  vcr_request = &NavigationRequest;
  errors = &AppErrors;
  toolbar_.Init(port);
  AttachToolbar(&toolbar_);
  CallRequest = 0;
  CallResponse = 0;
  return kOutcomeDone;
}

Outcome ProcedureController::EndKill(const char* procedure) {
  Outcome outcome = WindowController::Kill();
  if (outcome != kOutcomeDone) return outcome;
  AppErrors.SetProcedureName(procedure, true);
  return kOutcomeDone;
}

}  // namespace korvex::app
