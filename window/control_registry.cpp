#include "window/control_registry.h"

#include "window/list_sheet_factories.h"
#include "window/simple_controls.h"

namespace korvex {

void RegisterWindowControls() {
  RegisterSimpleControls();
  RegisterListAndSheetControls();
}

}  // namespace korvex
