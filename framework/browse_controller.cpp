#include "framework/browse_controller.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "framework/browse_toolbar.h"
#include "framework/file_controller.h"
#include "framework/file_controller_fields.h"
#include "framework/popup_menu_controller.h"
#include "framework/relation_controller.h"
#include "framework/window_controller.h"

namespace korvex::framework {

namespace {

bool IsScrollEvent(EventCode event) { return event >= kEventScrollUp && event <= kEventScrollBottom; }

// The character a key code types, 0 for none. Key codes are virtual keys with 100h for Shift
// (200h Ctrl, 400h Alt): only letters, digits and the space type a character here, so that
// function, arrow and editing keys (F1 is 70h, Insert 2Dh) never reach a locator as "p" or "-".
uint8_t KeyCharacter(uint16_t key) {
  const bool shift = (key & 0x100) != 0;
  if ((key & 0x600) != 0) return 0;
  const uint16_t base = key & 0xFF;
  if (base >= 'A' && base <= 'Z') return static_cast<uint8_t>(shift ? base : base - 'A' + 'a');
  if (shift) return 0;
  if ((base >= '0' && base <= '9') || base == ' ') return static_cast<uint8_t>(base);
  if (base >= 0x60 && base <= 0x69) return static_cast<uint8_t>('0' + (base - 0x60));  // number pad
  return 0;
}

}  // namespace

// --- RecordField ---------------------------------------------------------------

std::string RecordField::Text() const {
  std::string text;
  if (file_ != nullptr) FieldText(*file_, index_, &text);
  return text;
}

void RecordField::Assign(std::string_view text) {
  if (file_ != nullptr) SetFieldText(*file_, index_, text);
}

// --- Set-up ----------------------------------------------------------------------

BrowseController::~BrowseController() = default;

void BrowseController::Init(int32_t list_control, Queue* queue, std::string_view position_field,
                            WindowController* window, RelationController* primary, ViewAccess* view) {
  window_ = window;
  list_control_ = list_control;
  queue_ = queue;
  position_field_ = queue != nullptr ? queue->FieldIndex(position_field) : -1;
  fields_.clear();
  retain_row = true;
  ViewController::Init(primary, view);
  if (window_ != nullptr) window_->RegisterBrowse(this);
  if (selecting) SetSelecting(true);
}

void BrowseController::SetSelecting(bool on) {
  selecting = on;
  if (!on || buffer != 0) return;
  if (FileController* file = primary_file()) {
    file->EnsureUsable(kUseBrowse);
    buffer = file->SaveFile();
  }
}

void BrowseController::AttachToolbar(BrowseToolbar* bar) {
  toolbar = bar;
  if (toolbar == nullptr) return;
  BrowseButtons buttons;
  buttons.insert = insert_control;
  buttons.change = change_control;
  buttons.remove = delete_control;
  buttons.select = select_control;
  toolbar_item = toolbar->AddTarget(std::make_unique<ToolbarTarget>(buttons), list_control_);
  toolbar->SetTarget(list_control_);
}

int BrowseController::AppendSortOrder(ScrollStep* step, const driver::KeyDeclaration* key) {
  int n = AddKeyOrder(key);
  static_cast<BrowseSortOrder*>(sort_order(n))->thumb = step;
  return n;
}

void BrowseController::AttachLocator(KeyLocator* locator) {
  if (sort_orders() == 0) return;
  static_cast<BrowseSortOrder*>(sort_order(static_cast<int>(sort_orders())))->locator = locator;
}

LocatorField* BrowseController::FreeField() {
  if (sort_orders() == 0) return nullptr;
  return FreeFieldOf(static_cast<BrowseSortOrder*>(sort_order(static_cast<int>(sort_orders()))));
}

bool BrowseController::MapField(driver::FileControlBlock* file, int file_field, std::string_view queue_field) {
  if (queue_ == nullptr || file == nullptr) return false;
  int index = queue_->FieldIndex(queue_field);
  if (index < 0 || FieldBytes(*file, file_field).empty()) return false;
  fields_.push_back(FieldPair{file, file_field, index});
  return true;
}

void BrowseController::Kill() {
  if (buffer != 0) {
    if (FileController* file = primary_file()) file->RestoreFile(&buffer, true);
    buffer = 0;
  }
  eip = nullptr;
  owned_eip_.reset();
  fields_.clear();
  toolbar_item = nullptr;
  toolbar = nullptr;
  ViewController::Kill();
}

// --- The window and the list ----------------------------------------------------------

int32_t BrowseController::ListNumber(uint32_t property) {
  if (window_ == nullptr || window_->window() == nullptr) return 0;
  return static_cast<int32_t>(std::strtol(window_->window()->Property(list_control_, property).c_str(), nullptr, 10));
}

void BrowseController::SetListNumber(uint32_t property, int32_t value) {
  if (window_ == nullptr || window_->window() == nullptr) return;
  window_->window()->SetProperty(list_control_, property, std::to_string(value));
}

int32_t BrowseController::ListRows() { return std::max<int32_t>(1, ListNumber(kPropListItems)); }

void BrowseController::TakePageSize() {
  int32_t rows = ListRows();
  if (rows == last_items) return;
  last_items = rows;
  if (loaded) load_pending = true;
}

bool BrowseController::ListVisible() { return ListNumber(kPropVisible) != 0; }

void BrowseController::Post(EventCode event, int32_t control) {
  // Control 0 means "none": a field event is never posted to it.
  if (window_ == nullptr || window_->window() == nullptr) return;
  if (event < 0x200 && control == 0) return;
  window_->window()->PostEvent(event, control);
}

void BrowseController::SetButton(int32_t control, bool enabled) {
  if (control == 0 || window_ == nullptr || window_->window() == nullptr) return;
  window_->window()->SetProperty(control, kPropDisabled, enabled ? "" : "1");
}

void BrowseController::ShowCurrentRow() {
  SetListNumber(kPropListSelected, current_choice);
  Post(kEventNewSelection, list_control_);
}

std::string BrowseController::RowPosition(size_t row) {
  if (queue_ == nullptr || position_field_ < 0) return {};
  return Queue::ReadText(queue_->Entry(row), queue_->fields()[static_cast<size_t>(position_field_)]);
}

int32_t BrowseController::FindRow(const std::string& position) {
  if (queue_ == nullptr || position.empty()) return 0;
  for (size_t row = 1; row <= queue_->Records(); ++row) {
    if (RowPosition(row) == position) return static_cast<int32_t>(row);
  }
  return 0;
}

// --- Reading rows ------------------------------------------------------------------

Outcome BrowseController::Next() {
  Outcome outcome = ViewController::Next();
  if (outcome == kOutcomeFailed) LoadRowFields();
  if (outcome == kOutcomeNotUsable) Post(kEventCloseWindow, 0);
  return outcome;
}

Outcome BrowseController::Previous() {
  Outcome outcome = ViewController::Previous();
  if (outcome == kOutcomeFailed) LoadRowFields();
  if (outcome == kOutcomeNotUsable) Post(kEventCloseWindow, 0);
  return outcome;
}

void BrowseController::FillQueueRow() {
  if (queue_ == nullptr) return;
  std::span<uint8_t> row = queue_->buffer();
  for (const FieldPair& pair : fields_) {
    const QueueField& target = queue_->fields()[static_cast<size_t>(pair.queue_field)];
    std::span<uint8_t> source = FieldBytes(*pair.file, pair.file_field);
    if (source.size() == target.size) {
      std::memcpy(row.data() + target.offset, source.data(), source.size());
    } else {
      std::string text;
      FieldText(*pair.file, pair.file_field, &text);
      if (target.type == kTypeString || target.type == kTypeCString) {
        Queue::WriteText(row, target, text);
      } else {
        Queue::WriteNumber(row, target, std::strtoll(text.c_str(), nullptr, 10));
      }
    }
  }
  if (position_field_ >= 0) {
    Queue::WriteText(row, queue_->fields()[static_cast<size_t>(position_field_)], view()->Position());
  }
}

void BrowseController::FetchRows(int direction) {
  if (queue_ == nullptr) return;
  RelationController* relations = primary();
  bool scanning = quick_scan && items_to_fill > 1 && relations != nullptr;
  if (scanning) relations->SetQuickScan(true, kScanThisFile);
  std::string edge;
  if (queue_->Records() > 0) {
    edge = RowPosition(direction == kFetchForward ? queue_->Records() : 1);
    view()->Reset(edge);
  }
  const size_t page = static_cast<size_t>(std::max<int32_t>(last_items, 1));
  while (items_to_fill != 0) {
    Outcome outcome = direction == kFetchForward ? Next() : Previous();
    if (outcome != kOutcomeDone) break;  // the end of the data, or a reported read error
    if (!edge.empty()) {
      // RESET delivers the edge row again: it is on the page already.
      bool same = false;
      if (position_field_ >= 0) {
        std::vector<uint8_t> probe(queue_->entry_size(), 0);
        Queue::WriteText(probe, queue_->fields()[static_cast<size_t>(position_field_)], view()->Position());
        same = Queue::ReadText(probe, queue_->fields()[static_cast<size_t>(position_field_)]) == edge;
      }
      edge.clear();
      if (same) continue;
    }
    // A list made shorter since the page was read leaves more rows than it shows: trim them all.
    while (queue_->Records() >= page) queue_->Delete(direction == kFetchForward ? 1 : queue_->Records());
    FillQueueRow();
    if (direction == kFetchForward) {
      queue_->Add();
    } else {
      queue_->Add(1);
    }
    --items_to_fill;
  }
  if (scanning) relations->SetQuickScan(false, kScanThisFile);
}

void BrowseController::RebuildPage(int mode) {
  if (queue_ == nullptr) return;
  if (!active_invisible && !ListVisible()) {
    load_pending = true;
    return;
  }
  // The page is as tall as the list is now: a resized list is refilled, never overfilled.
  last_items = ListRows();
  loaded = true;
  load_pending = false;
  if (window_ != nullptr && window_->window() != nullptr) window_->window()->BeginWaitCursor();
  if (current_choice <= 0) current_choice = 1;
  current_choice = std::min(current_choice, last_items);

  int32_t offset = 0;
  std::string remembered;
  bool skip_upwards = false;
  if (mode == kRebuildFromView) {
    if (retain_row) offset = current_choice - 1;
  } else if (queue_->Records() > 0) {
    size_t row = std::min<size_t>(static_cast<size_t>(current_choice), queue_->Records());
    remembered = RowPosition(row);
    view()->Reset(RowPosition(1));
  } else {
    PositionViewAtStart();
    skip_upwards = true;
  }
  int32_t target = retain_row ? current_choice : 1;
  queue_->Free();
  items_to_fill = last_items - offset;
  FetchRows(kFetchForward);
  bool ran_out = items_to_fill != 0;

  if (remembered.empty() && queue_->Records() > 0) remembered = RowPosition(1);
  current_choice = remembered.empty() ? 1 : FindRow(remembered);
  // The remembered record has gone (another station removed it): the page keeps its place
  // rather than being shifted by the selected row's number, and the selection its row.
  const bool lost = current_choice == 0;
  if (retain_row) offset = lost ? 0 : target - current_choice;
  if (queue_->Records() == 0) PositionViewAtStart();

  items_to_fill = allow_unfilled ? 0 : last_items - static_cast<int32_t>(queue_->Records());
  if (!skip_upwards && (items_to_fill != 0 || offset > 0)) {
    items_to_fill = std::max(items_to_fill, offset);
    FetchRows(kFetchBackward);
    current_choice = FindRow(remembered.empty() ? RowPosition(queue_->Records()) : remembered);
  }
  if (retain_row) {
    int32_t free_rows = last_items - static_cast<int32_t>(queue_->Records());
    if (offset < 0 || (free_rows > 0 && !ran_out)) {
      items_to_fill = std::max(-offset, free_rows);
      FetchRows(kFetchForward);
      current_choice = FindRow(remembered);
    }
  }
  while (static_cast<int32_t>(queue_->Records()) > last_items) {
    if (offset < 0) {
      queue_->Delete(1);
      ++offset;
      --current_choice;
    } else {
      queue_->Delete(queue_->Records());
    }
  }
  if (lost) current_choice = target;
  if (current_choice <= 0) current_choice = 1;
  if (queue_->Records() > 0) {
    current_choice = std::min<int32_t>(current_choice, static_cast<int32_t>(queue_->Records()));
    LoadRowFields();
  } else if (FileController* file = primary_file(); file != nullptr && file->file() != nullptr) {
    ClearRecord(*file->file());
  }
  if (window_ != nullptr && window_->window() != nullptr) window_->window()->EndWaitCursor();
}

// --- Scrolling ----------------------------------------------------------------------

void BrowseController::ScrollByRow(EventCode event) {
  current_event = event;
  const int32_t rows = static_cast<int32_t>(queue_ != nullptr ? queue_->Records() : 0);
  if (event == kEventScrollUp && current_choice > 1) {
    --current_choice;
  } else if (event == kEventScrollDown && current_choice < rows) {
    ++current_choice;
  } else if (!file_loaded) {
    items_to_fill = 1;
    FetchRows(event == kEventScrollUp ? kFetchBackward : kFetchForward);
  }
  current_choice = std::clamp<int32_t>(current_choice, 1, std::max<int32_t>(1, static_cast<int32_t>(queue_->Records())));
}

void BrowseController::ScrollByPage(EventCode event) {
  current_event = event;
  int32_t n = ListRows();
  if (!file_loaded) TakePageSize();
  if (!file_loaded) {
    items_to_fill = n;
    FetchRows(event == kEventPageUp ? kFetchBackward : kFetchForward);
    n = items_to_fill;
  }
  const int32_t rows = static_cast<int32_t>(queue_->Records());
  if (event == kEventPageUp) {
    current_choice = std::max<int32_t>(1, current_choice - n);
  } else {
    current_choice = std::min<int32_t>(std::max<int32_t>(rows, 1), current_choice + n);
  }
}

void BrowseController::ScrollToEnd(EventCode event) {
  current_event = event;
  if (!file_loaded) {
    TakePageSize();
    queue_->Free();
    PositionViewAtStart();
    items_to_fill = last_items;
    FetchRows(event == kEventScrollTop ? kFetchForward : kFetchBackward);
  }
  current_choice = event == kEventScrollTop ? 1 : std::max<int32_t>(1, static_cast<int32_t>(queue_->Records()));
}

void BrowseController::HandleScroll(EventCode event) {
  if (!HasRows()) return;
  if (event == kEventScrollUp || event == kEventScrollDown) {
    ScrollByRow(event);
  } else if (event == kEventPageUp || event == kEventPageDown) {
    ScrollByPage(event);
  } else {
    ScrollToEnd(event);
  }
  ShowCurrentRow();
  BrowseSortOrder* order = browse_order();
  if (order != nullptr && order->locator != nullptr) order->locator->Clear();
  if (order == nullptr || order->thumb == nullptr) PlaceThumb();
  LoadRowFields();
}

void BrowseController::PlaceThumb() {
  BrowseSortOrder* order = browse_order();
  int position;
  if (order != nullptr && order->thumb != nullptr && FreeFieldOf(order) != nullptr) {
    position = order->thumb->PositionOf(FreeFieldOf(order)->Text());
  } else if (current_event == kEventScrollTop || current_choice <= 0) {
    position = kFirstThumbPosition;
  } else if (current_event == kEventScrollBottom) {
    position = kLastThumbPosition;
  } else {
    position = 50;  // without a step the browse cannot tell where it is without reading
  }
  SetListNumber(kPropListThumb, position);
}

void BrowseController::ReloadFromThumb() {
  PositionView(FirstFreeComponent());
  RebuildPage(kRebuildFromView);
  ShowCurrentRow();
  LoadRowFields();
}

// --- Records ------------------------------------------------------------------------

void BrowseController::LoadRowFields() {
  if (queue_ == nullptr) return;
  if (queue_->Records() == 0) {
    for (const FieldPair& pair : fields_) ClearField(*pair.file, pair.file_field);
    return;
  }
  current_choice = std::clamp<int32_t>(current_choice, 1, static_cast<int32_t>(queue_->Records()));
  queue_->Get(static_cast<size_t>(current_choice));
  std::span<const uint8_t> row = queue_->buffer();
  for (const FieldPair& pair : fields_) {
    const QueueField& source = queue_->fields()[static_cast<size_t>(pair.queue_field)];
    std::span<uint8_t> target = FieldBytes(*pair.file, pair.file_field);
    if (target.size() == source.size) {
      std::memcpy(target.data(), row.data() + source.offset, target.size());
    } else if (source.type == kTypeString || source.type == kTypeCString) {
      SetFieldText(*pair.file, pair.file_field, Queue::ReadText(row, source));
    } else {
      SetFieldText(*pair.file, pair.file_field, std::to_string(Queue::ReadNumber(row, source)));
    }
  }
}

Outcome BrowseController::LoadSelected() {
  if (!HasRows()) return kOutcomeFailed;
  int32_t selected = ListNumber(kPropListSelected);
  if (selected > 0) current_choice = selected;
  current_choice = std::clamp<int32_t>(current_choice, 1, static_cast<int32_t>(queue_->Records()));
  queue_->Get(static_cast<size_t>(current_choice));
  std::string position = RowPosition(static_cast<size_t>(current_choice));
  view()->Watch();
  if (view()->Reget(position) != 0) {
    // The record has gone: the buffers must not keep another record's values.
    view()->ClearRecords();
    return kOutcomeFailed;
  }
  return kOutcomeDone;
}

void BrowseController::ResyncFromFile() {
  Open();
  if (view()->ResetToPrimaryRecord() != 0) {
    RebuildPage(kRebuildKeepSelection);
    return;
  }
  RebuildPage(kRebuildFromView);
}

// --- Sort orders and refreshing -------------------------------------------------------

void BrowseController::ChooseSortOrder(bool force) { ChooseSortOrderNumber(force); }

void BrowseController::SaveResets() {
  BrowseSortOrder* order = browse_order();
  if (order == nullptr) return;
  order->saved_resets.clear();
  for (const auto& value : order->resets) order->saved_resets.push_back(value ? value() : "");
}

void BrowseController::TakeStepLimits() {
  BrowseSortOrder* order = browse_order();
  FileController* file = primary_file();
  if (order == nullptr || order->thumb == nullptr || !order->thumb->WantsLimits() || order->free_element <= 0 ||
      file == nullptr || file->file() == nullptr) {
    return;
  }
  // Reading the ends moves the buffers: they are given back afterwards.
  uint16_t saved = file->SaveBuffer();
  RecordField field(file->file(), order->free_element - 1);
  std::string first, last;
  PositionViewAtStart();
  if (ViewController::Next() == kOutcomeDone) first = field.Text();
  PositionViewAtStart();
  if (ViewController::Previous() == kOutcomeDone) last = field.Text();
  order->thumb->SetLimits(first, last);
  order->limits_taken = true;
  file->RestoreBuffer(&saved, true);
}

bool BrowseController::SelectSortOrder(int order_number, bool force) {
  bool changed = UseSortOrder(order_number);
  BrowseSortOrder* order = browse_order();
  if (changed && order != nullptr && order->locator != nullptr) order->locator->Clear();
  bool refresh = NeedsRefresh();
  if (!changed && !refresh && !force && loaded && !load_pending) {
    LoadRowFields();
    return false;
  }
  SaveResets();
  RefreshOrder();
  RefreshFilter();
  if (changed || force || (order != nullptr && !order->limits_taken)) TakeStepLimits();
  if ((selecting || start_at_current) && !loaded) {
    PositionView(FirstFreeComponent());
    RebuildPage(kRebuildFromView);
  } else if (HasRows() && position_field_ >= 0) {
    Open();
    view()->Reset(Queue::ReadText(queue_->buffer(), queue_->fields()[static_cast<size_t>(position_field_)]));
    RebuildPage(kRebuildFromView);
  } else {
    RebuildPage(kRebuildKeepSelection);
  }
  if (!load_pending) {
    ShowCurrentRow();
    PlaceThumb();
  }
  LoadRowFields();
  return changed;
}

bool BrowseController::NeedsRefresh() {
  int32_t n = ListRows();
  if (n != last_items && !file_loaded) {
    last_items = n;
    return true;
  }
  bool resets_changed = false;
  if (BrowseSortOrder* order = browse_order()) {
    for (size_t i = 0; i < order->resets.size(); ++i) {
      std::string now = order->resets[i] ? order->resets[i]() : "";
      if (i >= order->saved_resets.size() || order->saved_resets[i] != now) resets_changed = true;
    }
  }
  if (ViewController::NeedsRefresh() || resets_changed) {
    load_pending = true;
    return true;
  }
  return false;
}

void BrowseController::RefreshControls() {
  BrowseSortOrder* order = browse_order();
  if (order != nullptr && order->locator != nullptr) order->locator->UpdateDisplay();
  bool rows = HasRows();
  SetButton(change_control, rows);
  SetButton(delete_control, rows);
  SetButton(print_control, rows);
  if (select_control != 0 && window_ != nullptr && window_->window() != nullptr) {
    if (selecting) {
      bool usable = rows && window_->request == kRequestSelect;
      SetButton(select_control, usable);
      if (usable) window_->window()->SetProperty(0, kPropDefaultButton, std::to_string(select_control));
    } else if (hide_select) {
      SetButton(select_control, false);
      window_->window()->SetProperty(select_control, kPropHidden, "1");
    }
  }
  PlaceThumb();
  if (toolbar != nullptr) toolbar->ShowButtons();
  if (window_ != nullptr && window_->window() != nullptr) window_->window()->Display(list_control_);
  SetListNumber(kPropListSelected, current_choice);
}

void BrowseController::PrepareBrowseAlerts() {
  if (window_ == nullptr || window_->window() == nullptr) return;
  WindowPort* port = window_->window();
  port->SetProperty(list_control_, kPropAlertKey, std::to_string(kKeyActivate));
  port->SetProperty(list_control_, kPropAlertKey, std::to_string(kKeyContextMenu));
  has_thumb = ListNumber(kPropListOwnThumb) != 0;
  SetListNumber(kPropListOwnThumb, 0);
  for (size_t n = 1; n <= sort_orders(); ++n) {
    auto* order = static_cast<BrowseSortOrder*>(sort_order(static_cast<int>(n)));
    if (order->locator != nullptr) order->locator->AlertKeys();
  }
  // "!" lets a mimicking item show its button's own text.
  auto offer = [&](int32_t control, uint16_t key, std::string_view name_source, std::string_view text) {
    if (control == 0) return;
    if (key != 0) port->SetProperty(list_control_, kPropAlertKey, std::to_string(key));
    if (popup != nullptr) popup->AddItemMimic(name_source, text, control);
  };
  offer(insert_control, kKeyInsert, "&Insert", "!&Insert");
  offer(change_control, kKeyCtrlEnter, "&Change", "!&Change");
  offer(delete_control, kKeyDelete, "&Delete", "!&Delete");
  offer(print_control, 0, "&Print", "!&Print");
  if (query_control != 0 && popup != nullptr) {
    popup->AddItemLast("-", "Separator2");
    offer(query_control, 0, "&Query", "!&Query");
  }
  offer(select_control, 0, "&Select", "!&Select");
  if (tool_control != 0 && popup != nullptr) {
    popup->AddItem("-");
    // The toolbox does not offer itself.
    popup->SetItemOnToolbox(popup->AddItemMimic("&Toolbox", "!&Toolbox", tool_control), false);
  }
}

// --- Events ---------------------------------------------------------------------------

void BrowseController::HandleBrowseEvent() {
  if (window_ == nullptr || window_->events() == nullptr) return;
  EventSource* events = window_->events();
  EventCode event = events->CurrentEvent();
  int32_t field = events->CurrentField();
  auto is = [](int32_t control, int32_t setting) { return control != 0 && control == setting; };
  if (is(field, list_control_)) {
    if (IsScrollEvent(event)) {
      HandleScroll(event);
    } else if (event == kEventScrollDrag) {
      int32_t p = ListNumber(kPropListThumb);
      BrowseSortOrder* order = browse_order();
      if (p <= 1) {
        Post(kEventScrollTop, list_control_);
      } else if (p >= 100) {
        Post(kEventScrollBottom, list_control_);
      } else if (order != nullptr && order->thumb != nullptr && order->free_element > 0 && FreeFieldOf(order)) {
        FreeFieldOf(order)->Assign(order->thumb->ValueAt(p));
        ReloadFromThumb();
      } else if (file_loaded && HasRows()) {
        current_choice = std::max<int32_t>(1, p * static_cast<int32_t>(queue_->Records()) / 100);
        ShowCurrentRow();
      } else if (p < 50) {
        Post(kEventPageUp, list_control_);
      } else if (p > 50) {
        Post(kEventPageDown, list_control_);
      }
    } else if (event == kEventAlertKey) {
      HandleKey();
    } else if (event == kEventNewSelection) {
      HandleNewSelection();
    } else if (event == kEventLocate) {
      HandleLocate();
    }
    return;
  }
  if (event == kEventCloseWindow) {
    if (selecting) CloseWhileSelecting();
    return;
  }
  if (event == kEventNewSelection && is(field, query_control) && query != nullptr) {
    HandleLocate();  // applies the query when it reports a change
    return;
  }
  if (event != kEventAccepted || field == 0) return;
  if (is(field, delete_control)) {
    // Another station may have removed the record since the page was read: it is read again
    // first, and only a record that is still there is offered for deleting or changing.
    last_load_ = kOutcomeDone;
    window_->SyncBrowseRecords();
    if (last_load_ == kOutcomeDone) {
      AskRecord(kRequestDelete);
    } else {
      RecordVanished();
    }
  } else if (is(field, change_control)) {
    if (LoadSelected() == kOutcomeDone) {
      AskRecord(kRequestChange);
    } else {
      RecordVanished();
    }
  } else if (is(field, insert_control)) {
    AskRecord(kRequestInsert);
  } else if (is(field, select_control)) {
    window_->CloseWithResponse(kResponseCompleted);
  } else if (is(field, print_control)) {
    if (LoadSelected() == kOutcomeDone) {
      window_->CallProcedure(print_procedure, 5);
      LoadRowFields();
    } else {
      RecordVanished();
    }
  } else if (is(field, query_control) && query != nullptr) {
    query->Clear();
    HandleLocate();
  } else if (is(field, tool_control)) {
    if (popup != nullptr) popup->ShowToolbox("Browse Actions");
  } else {
    BrowseSortOrder* order = browse_order();
    if (order != nullptr && order->locator != nullptr && is(field, order->locator->control()) &&
        order->locator->HandleAccepted()) {
      PositionView(FirstFreeComponent());
      if (window_->window() != nullptr) window_->window()->Select(list_control_);
      RebuildPage(kRebuildFromView);
      order->locator->UpdateDisplay();
      RefreshControls();
      ShowCurrentRow();
    }
  }
}

void BrowseController::RecordVanished() {
  if (window_ != nullptr && window_->window() != nullptr) window_->window()->Beep();
  if (HasRows()) queue_->Delete(static_cast<size_t>(current_choice));  // LoadSelected clamped it
  RebuildPage(kRebuildKeepSelection);
  RefreshControls();
  ShowCurrentRow();
}

void BrowseController::CloseWhileSelecting() {
  FileController* file = primary_file();
  if (window_->response == kResponseCompleted) {
    Outcome chosen = kOutcomeFailed;
    if (select_whole_record) {
      chosen = LoadSelected();
    } else if (HasRows()) {
      current_choice = std::clamp<int32_t>(ListNumber(kPropListSelected), 1, static_cast<int32_t>(queue_->Records()));
      LoadRowFields();
      chosen = kOutcomeDone;
    }
    if (chosen == kOutcomeDone) {
      // The saved state is dropped (a restore without position keeps the buffer): the chosen
      // record is what the caller gets.
      if (file != nullptr) file->RestoreFile(&buffer, false);
      return;
    }
    // Nothing can be handed back as chosen: the caller hears "cancelled" and gets its own record.
    window_->response = kResponseCancelled;
  }
  if (file != nullptr) file->RestoreFile(&buffer, true);
}

void BrowseController::ApplyQuery() {
  SetNamedFilter(query->FilterText(), kQueryFilterId);
  RefreshFilter();
  queue_->Free();
  current_choice = 1;
  RebuildPage(kRebuildKeepSelection);  // an empty queue reads from the start
  RefreshControls();
  ShowCurrentRow();
}

LocatorField* BrowseController::FreeFieldOf(BrowseSortOrder* order) {
  FileController* file = primary_file();
  if (order->free_field == nullptr && order->free_element > 0 && file != nullptr) {
    order->free_field = std::make_unique<RecordField>(file->file(), order->free_element - 1);
  }
  return order->free_field.get();
}

void BrowseController::HandleNewSelection() {
  if (HasRows()) {
    int32_t selected = ListNumber(kPropListSelected);
    current_choice = std::clamp<int32_t>(selected, 1, static_cast<int32_t>(queue_->Records()));
    last_choice = current_choice;
  }
  LoadRowFields();
  if (window_ == nullptr) return;
  if (window_->events() != nullptr && window_->events()->KeyCode() == kKeyContextMenu && popup != nullptr) {
    popup->Ask();
  } else {
    window_->ResetWindow(false);
  }
}

void BrowseController::HandleKey() {
  uint16_t key = window_->events() != nullptr ? window_->events()->KeyCode() : 0;
  BrowseSortOrder* order = browse_order();
  auto locate = [&] {
    uint8_t character = KeyCharacter(key);
    if (order != nullptr && order->locator != nullptr && order->locator->HandleTypedKey(character)) {
      PositionView(FirstFreeComponent());
      RebuildPage(kRebuildFromView);
    }
  };
  if (key == kKeyContextMenu) {
    int32_t row = ListNumber(kPropMouseDownRow);
    if (row > 0 && HasRows()) {
      current_choice = std::min<int32_t>(row, static_cast<int32_t>(queue_->Records()));
      ShowCurrentRow();
    }
  } else if (HasRows()) {
    if (key == kKeyInsert) {
      Post(kEventAccepted, insert_control);
    } else if (key == kKeyDelete) {
      Post(kEventAccepted, delete_control);
    } else if (key == kKeyCtrlEnter) {
      LoadRowFields();
      Post(kEventAccepted, change_control);
    } else if (key == kKeyActivate) {
      Post(kEventAccepted, selecting ? select_control : change_control);
    } else {
      locate();
    }
  } else {
    locate();
    if (key == kKeyInsert) Post(kEventAccepted, insert_control);
  }
  RefreshControls();
  ShowCurrentRow();
}

void BrowseController::HandleLocate() {
  if (query != nullptr && query->Changed()) {
    ApplyQuery();
    return;
  }
  BrowseSortOrder* order = browse_order();
  if (order == nullptr || order->locator == nullptr || !order->locator->HandleAccepted()) return;
  PositionView(FirstFreeComponent());
  RebuildPage(kRebuildFromView);
  RefreshControls();
  ShowCurrentRow();
}

uint8_t BrowseController::AskRecord(uint8_t request) {
  uint8_t response = kResponseCancelled;
  int32_t* navigation = window_ != nullptr ? window_->vcr_request : nullptr;
  for (;;) {
    if (navigation != nullptr) *navigation = 0;
    if (window_->events() != nullptr && window_->events()->KeyCode() == kKeyContextMenu) {
      window_->events()->SetKeyCode(0);
    }
    if (ask_procedure == 0) {
      response = EditInPlace(request);
      break;
    }
    if (request == kRequestInsert) PrepareRangeRecord(false);
    response = window_->CallProcedure(ask_procedure, request);
    ReloadAfterUpdate(request, response);
    if (navigation == nullptr || *navigation == 0) break;
    if (*navigation == kToolbarInsert) {
      request = kRequestInsert;
    } else if (last_load_ != kOutcomeDone) {
      // The navigation moved to a record that has gone meanwhile: it is not offered.
      *navigation = 0;
      RecordVanished();
      break;
    }
  }
  return response;
}

uint8_t BrowseController::EditInPlace(uint8_t request) {
  if (eip == nullptr && eip_factory) {
    owned_eip_ = eip_factory();
    eip = owned_eip_.get();
  }
  if (eip == nullptr) return kResponseCancelled;
  InPlaceEditor::Settings settings;
  settings.request = request;
  settings.arrow_action = arrow_action;
  settings.enter_action = enter_action;
  settings.focus_loss_action = focus_loss_action;
  settings.tab_action = tab_action;
  settings.columns = &edit_list;
  settings.list_control = list_control_;
  settings.errors = window_ != nullptr ? window_->errors : nullptr;
  return eip->Run(*this, settings);
}

void BrowseController::ReloadAfterUpdate(uint8_t request, uint8_t response) {
  if (response == kResponseCompleted) {
    view()->Flush();
    if (request == kRequestDelete) {
      if (HasRows()) {
      current_choice = std::clamp<int32_t>(current_choice, 1, static_cast<int32_t>(queue_->Records()));
      queue_->Delete(static_cast<size_t>(current_choice));
    }
      RebuildPage(kRebuildKeepSelection);
    } else {
      ResyncFromFile();
    }
  } else {
    RebuildPage(kRebuildKeepSelection);
  }
  int32_t* navigation = window_ != nullptr ? window_->vcr_request : nullptr;
  if (navigation != nullptr && *navigation != 0) {
    if (*navigation == kToolbarInsert || (*navigation == kToolbarDown && request == kRequestInsert)) {
      *navigation = kToolbarInsert;
      if (FileController* file = primary_file(); file != nullptr && file->file() != nullptr) {
        ClearRecord(*file->file());
      }
      return;
    }
    HandleNavigation(*navigation);
    return;
  }
  PlaceThumb();
  RefreshControls();
  ShowCurrentRow();
  if (window_ != nullptr && window_->window() != nullptr) window_->window()->Select(list_control_);
}

void BrowseController::HandleNavigation(int32_t request) {
  EventCode event = 0;
  switch (request) {
    case kToolbarDown: event = kEventScrollDown; break;
    case kToolbarUp: event = kEventScrollUp; break;
    case kToolbarPageDown: event = kEventPageDown; break;
    case kToolbarPageUp: event = kEventPageUp; break;
    case kToolbarTop: event = kEventScrollTop; break;
    case kToolbarBottom: event = kEventScrollBottom; break;
    default: return;
  }
  HandleScroll(event);
  window_->ResetWindow(false);
  window_->SyncBrowseRecords();
}

}  // namespace korvex::framework
