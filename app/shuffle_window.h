// TplDragDrop, the record shuffle window: every customer in a list on a sheet with two tabs.
// On "By Order" the list runs by order number and a row dragged onto another row moves that
// customer there (the order numbers in between rotate); on "By Name" it runs by name and
// dragging is off. Its texts blink once a second; "OK" ends the whole program.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/order_rotation.h"
#include "app/procedure_controller.h"
#include "app/window_system.h"
#include "framework/browse_controller.h"
#include "framework/browse_toolbar.h"
#include "framework/key_locator.h"
#include "framework/scroll_step.h"
#include "framework/window_resizer.h"
#include "runtime/queue.h"

namespace korvex::app {

// Control numbers of the window.
inline constexpr int32_t kShuffleList = 1;
inline constexpr int32_t kShuffleSheet = 2;
inline constexpr int32_t kShuffleEnabledText = 4;   // "Template is enabled  :-)"
inline constexpr int32_t kShuffleJustDragText = 5;  // "Just Drag-and-Drop records"
inline constexpr int32_t kShuffleDisabledText = 7;  // "Template is disabled :-("
inline constexpr int32_t kShuffleDontTryText = 8;   // "Don't even try to do it here"
inline constexpr int32_t kShuffleOk = 9;
inline constexpr int kByOrderTab = 1;
inline constexpr int kByNameTab = 2;

// The procedure's variables, one set per running procedure.
struct ShuffleState {
  std::string drag_drop_id = "TplDragDrop";  // DragDropId
  int32_t drag_row = 0;                      // DragRow
  int32_t drop_row = 0;                      // DropRow
  RotationValues rotation;                   // HeldOrder, NextHeldOrder, StepDirection
  uint8_t blink_count = 0;                   // BlinkCount
  bool files_opened = false;                 // FilesOpened
  std::string ids_set;                       // the ids last given to the list
  bool ids_known = false;
};

// The queue behind the list: the four shown fields, a mark and the row's view position.
std::unique_ptr<Queue> NewCustomerBrowseQueue();

class ShuffleWindow;

// CustomerBrowse: the browse whose sort order follows the sheet's tab.
class CustomerBrowse : public framework::BrowseController {
 public:
  bool ChooseSortOrderNumber(bool force) override;
  Queue* q = nullptr;  // Q: the procedure's queue
};

class ShuffleWindow : public ProcedureController {
 public:
  ShuffleWindow(AppEnvironment& environment, ProcedureWindow& window, Queue& queue);
  ~ShuffleWindow() override;

  framework::Outcome Init() override;
  framework::Outcome Kill() override;
  framework::Outcome HandleAccepted() override;
  framework::Outcome HandleEvent() override;
  framework::Outcome HandleFieldEvent() override;
  framework::Outcome HandleWindowEvent() override;

  ShuffleState& state() { return state_; }
  CustomerBrowse& browse() { return browse_; }
  // The sheet's selected tab.
  int SelectedTab();

 private:
  void SetDragIds();
  void Drop();
  void Blink();

  AppEnvironment& environment_;
  ProcedureWindow& window_;
  Queue& queue_;
  ShuffleState state_;
  std::unique_ptr<framework::ViewAccess> view_;  // CustomerView
  CustomerBrowse browse_;
  framework::AlphaScrollStep name_step_{1, 3};
  framework::NumericScrollStep order_step_{1};
  framework::SteppingLocator name_locator_;
  framework::SteppingLocator order_locator_;
  framework::WindowResizer resizer_;
};

// The procedure: builds the window, runs it, releases everything. Sets CallResponse.
void TplDragDrop(AppEnvironment& environment);

}  // namespace korvex::app
