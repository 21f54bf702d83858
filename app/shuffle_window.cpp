#include "app/shuffle_window.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/data_dictionary.h"
#include "framework/file_controller_fields.h"

namespace korvex::app {

using framework::kOutcomeDone;
using framework::Outcome;

namespace {

constexpr char kModule[] = "korvex$KORVE002";
constexpr char kWindowLabel[] = "P1$QUICKWINDOW";
constexpr char kProcedureName[] = "aWindow";
constexpr size_t kPositionSize = 1024;

int32_t Number(framework::WindowPort* port, int32_t control, uint32_t property) {
  return port != nullptr ? static_cast<int32_t>(std::strtol(port->Property(control, property).c_str(), nullptr, 10)) : 0;
}

}  // namespace

std::unique_ptr<Queue> NewCustomerBrowseQueue() {
  return std::make_unique<Queue>(std::vector<QueueField>{{"CUS:CUSID", kTypeLong, 4},
                                                         {"CUS:NAME", kTypeString, 20},
                                                         {"CUS:SUBURB", kTypeString, 20},
                                                         {"CUS:PHONE", kTypeString, 20},
                                                         {"MARK", kTypeByte, 1},
                                                         {"VIEWPOSITION", kTypeString, kPositionSize}});
}

bool CustomerBrowse::ChooseSortOrderNumber(bool force) {
  auto* shuffle = static_cast<ShuffleWindow*>(window());
  return SelectSortOrder(shuffle->SelectedTab() == kByNameTab ? 1 : 2, force);
}

ShuffleWindow::ShuffleWindow(AppEnvironment& environment, ProcedureWindow& window, Queue& queue)
    : environment_(environment), window_(window), queue_(queue) {
  SetWindow(window.events(), window.port());
}

ShuffleWindow::~ShuffleWindow() = default;

int ShuffleWindow::SelectedTab() { return Number(window(), kShuffleSheet, kPropSelectedTab); }

Outcome ShuffleWindow::Init() {
  Outcome outcome = BeginInit(kProcedureName, kShuffleList, window_.toolbar_port());
  if (outcome != kOutcomeDone) return outcome;
  RegisterButton(kShuffleOk, framework::kResponseCancelled);
  // Without its files the window has nothing to show: it does not open, and no page load
  // reports the same failure again.
  outcome = CustomerRelations.OpenWithRelated(false);
  if (outcome != kOutcomeDone) return outcome;
  state_.files_opened = true;
  view_ = environment_.customer_view ? environment_.customer_view() : nullptr;
  if (view_ == nullptr) return framework::kOutcomeNotUsable;
  browse_.Init(kShuffleList, &queue_, "VIEWPOSITION", this, &CustomerRelations, view_.get());
  outcome = window_.Open();
  if (outcome != kOutcomeDone) return outcome;
  opened = 1;
  browse_.q = &queue_;
  browse_.AppendSortOrder(&name_step_, &kCusByName);
  name_locator_.Init(0, browse_.FreeField(), true, &browse_);
  browse_.AttachLocator(&name_locator_);
  browse_.AppendSortOrder(&order_step_, &kCusById);
  order_locator_.Init(0, browse_.FreeField(), true, &browse_);
  browse_.AttachLocator(&order_locator_);
  browse_.MapField(&CustomerBlock(), kCusId - 1, "CUS:CUSID");
  browse_.MapField(&CustomerBlock(), kCusName - 1, "CUS:NAME");
  browse_.MapField(&CustomerBlock(), kCusSuburb - 1, "CUS:SUBURB");
  browse_.MapField(&CustomerBlock(), kCusPhone - 1, "CUS:PHONE");
  if (framework::ResizeSurface* surface = window_.resize_surface()) {
    resizer_.Init(surface, 2, true, false);
    resizer_.auto_transparent = true;
    AttachResizer(&resizer_);
  }
  browse_.AttachToolbar(&toolbar_);
  PrepareAlerts();
  return kOutcomeDone;
}

Outcome ShuffleWindow::Kill() {
  Outcome outcome = EndKill(kProcedureName);
  if (outcome != kOutcomeDone) return outcome;
  if (state_.files_opened) {
    CustomerRelations.CloseWithRelated(false);
    state_.files_opened = false;
  }
  if (view_ != nullptr) view_->Close();
  return kOutcomeDone;
}

Outcome ShuffleWindow::HandleAccepted() {
  // "OK" ends the whole program: the frame on the first thread closes too.
  if (events() != nullptr && events()->CurrentField() == kShuffleOk && window() != nullptr) {
    window()->PostEventToThread(kEventCloseWindow, 0, 1);
  }
  return WindowController::HandleAccepted();
}

Outcome ShuffleWindow::HandleEvent() {
  Outcome outcome = WindowController::HandleEvent();
  if (outcome != kOutcomeDone) return outcome;
  SetDragIds();
  return kOutcomeDone;
}

void ShuffleWindow::SetDragIds() {
  if (window() == nullptr) return;
  std::string ids = SelectedTab() == kByOrderTab ? state_.drag_drop_id : std::string();
  if (state_.ids_known && ids == state_.ids_set) return;  // the list has them already
  window()->SetProperty(kShuffleList, kPropDragId, ids);
  window()->SetProperty(kShuffleList, kPropDropId, ids);
  state_.ids_set = ids;
  state_.ids_known = true;
}

Outcome ShuffleWindow::HandleFieldEvent() {
  if (events() != nullptr && events()->CurrentField() == kShuffleList) {
    EventCode event = events()->CurrentEvent();
    if (event == kEventDrag) {
      state_.drag_row = Number(window(), kShuffleList, framework::kPropMouseDownRow);
    } else if (event == kEventDrop) {
      Drop();
    }
  }
  return WindowController::HandleFieldEvent();
}

void ShuffleWindow::Drop() {
  Outcome loaded = browse_.LoadSelected();
  const int32_t rows = static_cast<int32_t>(queue_.Records());
  int32_t drop = Number(window(), kShuffleList, framework::kPropMouseUpRow);
  if (drop == 0) drop = 1;       // on the header: the first row
  if (drop < 0) drop = rows;     // below the last row: the last row
  state_.drop_row = drop;
  const int32_t drag = state_.drag_row;
  // A move is made only when it is safe: on the order tab, both rows on the page, and the
  // record read back is the one shown on the drag row (RotateOrderNumbers checks that too).
  if (SelectedTab() == kByOrderTab && loaded == kOutcomeDone && drag >= 1 && drag <= rows && drop >= 1 &&
      drop <= rows && drop != drag) {
    std::vector<int32_t> page;
    const QueueField& id_field = queue_.fields()[0];
    for (int32_t row = 1; row <= rows; ++row) {
      page.push_back(static_cast<int32_t>(Queue::ReadNumber(queue_.Entry(static_cast<size_t>(row)), id_field)));
    }
    RotateOrderNumbers(CustomerFile, drag, drop, page, state_.rotation);
  }
  // The dragged customer comes back on the row it was dropped on, and that row is selected.
  if (drop >= 1) browse_.current_choice = drop;
  browse_.ResyncFromFile();
  browse_.RefreshControls();
}

Outcome ShuffleWindow::HandleWindowEvent() {
  if (events() != nullptr && events()->CurrentEvent() == kEventTimer) Blink();
  return WindowController::HandleWindowEvent();
}

void ShuffleWindow::Blink() {
  ++state_.blink_count;  // a BYTE: wraps from 255 to 0
  if (window() == nullptr) return;
  bool odd = (state_.blink_count & 1) != 0;
  auto show = [&](int32_t control, bool shown) {
    window()->SetProperty(control, framework::kPropHidden, shown ? "" : "1");
  };
  show(kShuffleDisabledText, odd);
  show(kShuffleEnabledText, odd);
  show(kShuffleJustDragText, !odd);
  show(kShuffleDontTryText, !odd);
}

void TplDragDrop(AppEnvironment& environment) {
  std::unique_ptr<Queue> queue = NewCustomerBrowseQueue();
  std::unique_ptr<ProcedureWindow> window = environment.windows->NewWindow();
  if (window == nullptr || !window->Build(kModule, kWindowLabel)) return;
  window->BindQueue(kShuffleList, queue.get());
  auto controller = std::make_unique<ShuffleWindow>(environment, *window, *queue);
  CallResponse = controller->RunWindow();
  controller.reset();
  window.reset();
}

}  // namespace korvex::app
