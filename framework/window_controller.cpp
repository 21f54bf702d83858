#include "framework/window_controller.h"

#include <cstring>

#include "framework/browse_toolbar.h"
#include "framework/error_reporter.h"
#include "framework/message_ids.h"
#include "framework/relation_form_record.h"
#include "framework/text_translator.h"
#include "framework/window_resizer.h"
#include "runtime/eval/evaluator.h"

namespace korvex::framework {

namespace {

constexpr size_t kPositionMax = 512;  // LASTINSERTEDPOSITION
constexpr uint32_t kYesNoCancel = kButtonYes | kButtonNo | kButtonCancel;

// The key codes of a right click that must not leak into a new window.
constexpr uint16_t kKeyMouseRight = 2;
constexpr uint16_t kKeyMouseRightUp = 0x82;

}  // namespace

void WindowController::SetWindow(EventSource* events, WindowPort* window) {
  events_ = events;
  window_ = window;
}

void WindowController::SetPrimary(RelationController* primary) {
  owned_primary_ = primary != nullptr ? std::make_unique<RelationFormRecord>(primary) : nullptr;
  primary_ = owned_primary_.get();
}

void WindowController::SetPrimary(FormRecord* primary) {
  owned_primary_.reset();
  primary_ = primary;
}

// --- Opening, the loop and closing ------------------------------------------------

Outcome WindowController::Init() {
  original_request = request;
  browses_.clear();
  buttons_.clear();
  file_drops_.clear();
  lists_made_ = true;
  dead = 0;
  if (bindings != nullptr && !scope_pushed_) {
    bindings->PushScope(false);
    scope_pushed_ = true;
  }
  if (events_ != nullptr) {
    uint16_t key = events_->KeyCode();
    if (key == kKeyMouseRight || key == kKeyMouseRightUp) events_->SetKeyCode(0);
  }
  insert_action = kInsertClose;
  delete_action = 2;
  change_action = 1;
  cancel_action = 3;
  auto_toolbar = 1;
  auto_refresh = 1;
  forced_reset = 0;
  inited = 0;
  response = kResponseNone;
  saved = 0;
  last_inserted_position.clear();
  return kOutcomeDone;
}

void WindowController::EventLoop() {
  if (dead) return;
  last_inserted_position.clear();
  if (events_ == nullptr) return;
  while (!events_->AcceptNext()) {
    Outcome outcome = HandleEvent();
    if (outcome == kOutcomeNotUsable) break;
    if (outcome == kOutcomeFailed) events_->RefuseEvent();
  }
}

uint8_t WindowController::RunWindow() {
  if (Init() == kOutcomeDone) EventLoop();
  Kill();
  return response != kResponseNone ? response : kResponseCancelled;
}

Outcome WindowController::Kill() {
  if (dead || !lists_made_) return kOutcomeFailed;
  for (WindowBrowse* browse : browses_) browse->Kill();
  browses_.clear();
  for (FileDropList* list : file_drops_) list->Kill();
  file_drops_.clear();
  buttons_.clear();
  history_.clear();
  for (SavedFile& entry : files_) entry.file->RestoreState(&entry.state, false);
  files_.clear();
  if (primary_ != nullptr) primary_->RestoreState(&saved, false);
  if (toolbar != nullptr) toolbar->Kill();
  if (resize != nullptr) resize->Kill();
  dead = 1;
  if (scope_pushed_) {
    bindings->PopScope();
    scope_pushed_ = false;
  }
  return kOutcomeDone;
}

// --- Dispatch -------------------------------------------------------------------------

Outcome WindowController::HandleEvent() {
  EventCode event = Event();
  int32_t field = Field();
  Outcome outcome = kOutcomeDone;
  if (field == 0) {
    outcome = HandleWindowEvent();
    if (outcome != kOutcomeDone) return outcome;
  }
  switch (event) {
    case kEventAccepted:
      outcome = HandleAccepted();
      break;
    case kEventRejected:
      outcome = HandleRejected();
      break;
    case kEventSelected:
      outcome = HandleSelected();
      break;
    case kEventNewSelection:
      outcome = HandleNewSelection();
      break;
    case kEventAlertKey:
      if (history_key != 0 && events_ != nullptr && events_->KeyCode() == history_key) RecallField(Focus());
      break;
    default:
      break;
  }
  if (outcome != kOutcomeDone) return outcome;
  Outcome result = field != 0 ? HandleFieldEvent() : kOutcomeDone;
  for (size_t i = 0; i < browses_.size(); ++i) browses_[i]->HandleBrowseEvent();
  for (size_t i = 0; i < file_drops_.size(); ++i) file_drops_[i]->HandleEvent();
  if (auto_refresh) {
    for (size_t i = 0; i < browses_.size(); ++i) {
      if (browses_[i]->NeedsRefresh()) ResetWindow(false);
    }
  }
  return result;
}

Outcome WindowController::HandleWindowEvent() {
  switch (Event()) {
    case kEventOpenWindow:
      if (!(inited & kInitedPrepared)) PrepareWindow();
      SelectControl(first_field);
      return kOutcomeDone;
    case kEventLoseFocus:
      if (reset_on_gain_focus) forced_reset = 1;
      return kOutcomeDone;
    case kEventGainFocus:
      if (inited & kInitedPrepared) {
        ResetWindow(false);
      } else {
        PrepareWindow();
      }
      return kOutcomeDone;
    case kEventSized:
      if (inited & kInitedSized) {
        ResetWindow(false);
      } else {
        inited |= kInitedSized;
      }
      return kOutcomeDone;
    case kEventCompleted:
      return HandleCompleted();
    case kEventCloseWindow:
    case kEventCloseDown:
      return HandleClose();
    default:
      return kOutcomeDone;
  }
}

Outcome WindowController::HandleAccepted() {
  int32_t control = Field();
  if (toolbar != nullptr) {
    toolbar->HandleToolbarEvent(control, *this);
    if (control == kDittoControl) RecallField(Focus());
  }
  for (const Button& button : buttons_) {
    if (Is(control, button.control)) {
      CloseWithResponse(button.action);
      return kOutcomeFailed;
    }
  }
  if (Is(control, ok_control)) {
    if (original_request == kRequestInsert || original_request == kRequestChange) {
      if (window_ != nullptr) window_->SelectAll();
    } else {
      Post(kEventCompleted);
    }
  }
  return kOutcomeDone;
}

Outcome WindowController::HandleNewSelection() {
  int32_t control = Field();
  if (window_ != nullptr && control != 0 && window_->ControlType(control) == kControlTypeSheet) {
    ResetWindow(false);
    if (auto_toolbar && toolbar != nullptr) toolbar->SetTarget(0);
  }
  return kOutcomeDone;
}

Outcome WindowController::HandleRejected() {
  int32_t control = Field();
  if (window_ != nullptr) window_->Beep();
  Redisplay(control);
  SelectControl(control);
  return kOutcomeDone;
}

// --- Window state ---------------------------------------------------------------------

void WindowController::PrepareWindow() {
  if (translator != nullptr && window_ != nullptr) translator->TranslateWindow(*window_);
  ResetWindow(false);
  inited |= kInitedPrepared;
}

void WindowController::ResetWindow(bool force) {
  if (window_ != nullptr) {
    std::string held = window_->Property(0, kPropNoReset);
    if (!held.empty() && held != "0") return;
  }
  bool forced = force || forced_reset;
  forced_reset = 0;
  for (size_t i = 0; i < browses_.size(); ++i) browses_[i]->ChooseSortOrder(forced);
  for (size_t i = 0; i < browses_.size(); ++i) browses_[i]->RefreshControls();
  for (size_t i = 0; i < file_drops_.size(); ++i) file_drops_[i]->Reset(forced);
  Redisplay(0);
}

void WindowController::CloseWithResponse(uint8_t new_response) {
  response = new_response;
  Post(kEventCloseWindow);
  if (new_response == kResponseCancelled && toolbar != nullptr && vcr_request != nullptr) *vcr_request = 0;
}

uint8_t WindowController::CallProcedure(uint16_t number, uint8_t call_request) {
  (void)number;
  (void)call_request;
  return kResponseCancelled;
}

void WindowController::SyncBrowseRecords() {
  for (size_t i = 0; i < browses_.size(); ++i) browses_[i]->LoadSelectedRecord();
}

void WindowController::PrepareAlerts() {
  for (size_t i = 0; i < browses_.size(); ++i) browses_[i]->PrepareBrowseAlerts();
  if (window_ == nullptr || history_key == 0) return;
  for (const HistoryField& entry : history_) {
    if (entry.control != 0) window_->SetProperty(entry.control, kPropAlertKey, std::to_string(history_key));
  }
}

// --- Registration -----------------------------------------------------------------------

void WindowController::AttachToolbar(BrowseToolbar* new_toolbar, ToolbarPort* port) {
  toolbar = new_toolbar;
  if (toolbar != nullptr && port != nullptr) toolbar->Init(port);
}

void WindowController::AttachResizer(WindowResizer* resizer) { resize = resizer; }

void WindowController::RegisterButton(int32_t control, uint8_t button_response) {
  buttons_.push_back({control, button_response});
}

void WindowController::RegisterBrowse(WindowBrowse* browse) {
  browses_.push_back(browse);
  if (request == kRequestSelect) browse->SetSelecting(true);
}

void WindowController::RegisterFileDrop(FileDropList* list) { file_drops_.push_back(list); }

void WindowController::AddSavedFile(FormRecord* file) { files_.push_back({file, 0}); }

// --- History ------------------------------------------------------------------------------

void WindowController::AddHistoryField(int32_t control, void* value, size_t length) {
  history_.push_back({static_cast<uint8_t*>(value), length, {}, control});
}

void WindowController::SaveHistory() {
  for (size_t i = 0; i < history_.size(); ++i) {
    HistoryField& entry = history_[i];
    if (i > 0 && history_[i - 1].value == entry.value) continue;
    entry.saved.assign(entry.value, entry.value + entry.length);
  }
  // Entries that share a field share its saved value.
  for (size_t i = 1; i < history_.size(); ++i) {
    if (history_[i - 1].value == history_[i].value) history_[i].saved = history_[i - 1].saved;
  }
}

void WindowController::RecallField(int32_t control) {
  if (control == 0) return;
  for (HistoryField& entry : history_) {
    if (entry.control != control) continue;
    // Nothing is recalled before a value was saved.
    if (entry.saved.size() == entry.length && entry.length > 0) {
      std::memcpy(entry.value, entry.saved.data(), entry.length);
      Redisplay(control);
    }
    return;
  }
}

// --- Update forms ---------------------------------------------------------------------------

Outcome WindowController::PrepareUpdate() {
  if (primary_ != nullptr) {
    // A form whose file cannot be used does not open.
    if (primary_->MakeUsable() != kOutcomeDone) return kOutcomeNotUsable;
    primary_->SaveLinkValues();
  }
  for (SavedFile& entry : files_) entry.state = entry.file->SaveState();
  Outcome outcome = kOutcomeDone;
  if (request == kRequestInsert && insert_action != 0) {
    response = kResponseCompleted;
    FillNewRecord();
    if (response == kResponseCancelled) {
      outcome = kOutcomeNotUsable;
    } else {
      response = kResponseCancelled;
    }
  }
  if (request == kRequestDelete && (delete_action == 2 || delete_action == 4) && primary_ != nullptr) {
    Outcome deleted = primary_->Delete(delete_action == 2);
    response = deleted == kOutcomeDone ? kResponseCompleted : kResponseCancelled;
    outcome = kOutcomeNotUsable;
  }
  if (primary_ != nullptr) saved = primary_->SaveState();
  return outcome;
}

Outcome WindowController::HandleCompleted() {
  SaveHistory();
  if (primary_ == nullptr) return kOutcomeDone;
  switch (request) {
    case kRequestInsert:
      return CompleteInsert();
    case kRequestChange:
      return CompleteChange();
    case kRequestDelete:
      return CompleteDelete();
    default:
      return kOutcomeDone;
  }
}

Outcome WindowController::CompleteInsert() {
  if (primary_->Insert() != kOutcomeDone) {
    SelectControl(first_field);
    return kOutcomeFailed;
  }
  if (insert_action == kInsertClose) {
    CloseWithResponse(kResponseCompleted);
    return kOutcomeDone;
  }
  if (insert_action == kInsertAsk) {
    // Without a reporter the question takes its default answer, yes.
    Outcome answer = errors != nullptr ? errors->Raise(kMsgAddAnother) : kOutcomeDone;
    if (answer != kOutcomeDone) {
      CloseWithResponse(kResponseCompleted);
      return kOutcomeDone;
    }
  } else if (insert_action != kInsertAnother) {
    return kOutcomeDone;
  }
  // Another record: the form starts again from the state it had when it opened.
  last_inserted_position = primary_->Position().substr(0, kPositionMax);
  for (SavedFile& entry : files_) {
    entry.file->RestoreState(&entry.state, false);
    entry.state = entry.file->SaveState();
  }
  primary_->RestoreState(&saved, false);
  if (primary_->MakeUsable() != kOutcomeDone || primary_->PrepareNewRecord() != kOutcomeDone) {
    Post(kEventCloseWindow);
  } else {
    FillNewRecord();
    response = kResponseCancelled;
  }
  saved = primary_->SaveState();
  Redisplay(0);
  SelectControl(first_field);
  return kOutcomeFailed;
}

Outcome WindowController::CompleteChange() {
  response = kResponseCancelled;
  bool unchanged = false;
  for (;;) {
    if (window_ != nullptr) window_->BeginWaitCursor();
    unchanged = primary_->Unchanged(saved);
    Outcome outcome = unchanged ? kOutcomeDone : primary_->Update(history_key != 0);
    if (window_ != nullptr) window_->EndWaitCursor();
    if (outcome == kOutcomeDone) break;
    if (outcome != kOutcomeRejected) {
      BackToFirstField();
      return kOutcomeDone;
    }
    uint32_t answer = errors != nullptr ? errors->Ask(kMsgRetrySave, kYesNoCancel, kButtonCancel) : kButtonCancel;
    if (answer == kButtonYes) continue;
    if (answer == kButtonNo) {
      Post(kEventCloseWindow);
    } else {
      BackToFirstField();
    }
    return kOutcomeDone;
  }
  bool navigating = vcr_request != nullptr && *vcr_request != 0;
  if (!unchanged || (toolbar != nullptr && !navigating)) response = kResponseCompleted;
  Post(kEventCloseWindow);
  return kOutcomeDone;
}

Outcome WindowController::CompleteDelete() {
  response = kResponseCancelled;
  if (window_ != nullptr) window_->BeginWaitCursor();
  // The relation controller confirms, reports and offers to try again itself.
  Outcome outcome = primary_->Delete(delete_action == 2);
  if (window_ != nullptr) window_->EndWaitCursor();
  if (outcome == kOutcomeDone) {
    CloseWithResponse(kResponseCompleted);
  } else {
    BackToFirstField();
  }
  return kOutcomeDone;
}

Outcome WindowController::HandleClose() {
  if (response == kResponseCompleted || primary_ == nullptr) return kOutcomeDone;
  bool editing = request == kRequestInsert || request == kRequestChange;
  if (cancel_action != 0 && editing && !primary_->Unchanged(saved)) {
    auto save = [&] {
      if (ok_control != 0) {
        Post(kEventAccepted, ok_control);
      } else if (window_ != nullptr) {
        window_->SelectAll();  // no OK button: complete the form directly
      }
    };
    if ((cancel_action & 3) == 3) {
      uint32_t answer = errors != nullptr ? errors->Ask(kMsgSaveRecord, kYesNoCancel, kButtonCancel) : kButtonCancel;
      if (answer == kButtonYes) {
        save();
        return kOutcomeFailed;
      }
      if (answer != kButtonNo) {
        SelectControl(first_field);
        return kOutcomeFailed;
      }
    } else if (cancel_action & 1) {
      save();
      return kOutcomeFailed;
    } else {
      Outcome answer = errors != nullptr ? errors->Raise(kMsgConfirmCancel) : kOutcomeDone;
      if (answer != kOutcomeDone) {
        SelectControl(first_field);
        return kOutcomeFailed;
      }
    }
  }
  if (original_request == kRequestInsert && response == kResponseCancelled) {
    if (primary_->CancelPrimedRecord() != kOutcomeDone) {
      SelectControl(first_field);
      return kOutcomeFailed;
    }
  }
  if (!last_inserted_position.empty()) {
    response = kResponseCompleted;
    primary_->ReGet(last_inserted_position);
  }
  return kOutcomeDone;
}

// --- Helpers ------------------------------------------------------------------------------------

void WindowController::Post(EventCode event, int32_t control) {
  if (window_ == nullptr) return;
  // Control 0 is "none": a control's event without a control goes nowhere.
  if (!IsWindowEvent(event) && control == 0) return;
  window_->PostEvent(event, control);
}

void WindowController::SelectControl(int32_t control) {
  if (window_ != nullptr && control != 0) window_->Select(control);
}

void WindowController::Redisplay(int32_t control) {
  if (window_ != nullptr) window_->Display(control);
}

EventCode WindowController::Event() const { return events_ != nullptr ? events_->CurrentEvent() : 0; }
int32_t WindowController::Field() const { return events_ != nullptr ? events_->CurrentField() : 0; }
int32_t WindowController::Focus() const { return events_ != nullptr ? events_->FocusField() : 0; }

void WindowController::BackToFirstField() {
  Redisplay(0);
  SelectControl(first_field);
}

}  // namespace korvex::framework
