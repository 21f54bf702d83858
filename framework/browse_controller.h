// The browse controller: shows a page of a VIEW's records in a list control. It keeps exactly
// the rows on screen in a queue with each row's view position, reads on from either end of the
// page, keeps the selected record on its screen row when the page is rebuilt, moves a page at
// a time, and turns the list's scroll, key and selection events into reads. Every paging
// operation reads a bounded number of records, whatever the size of the file.
//
//   BrowseController browse;
//   browse.Init(1, &queue, "VIEWPOSITION", &window, &relations, &view);
//   browse.AppendSortOrder(&name_step, &kByName);
//   browse.AttachLocator(&name_locator);
//   browse.MapField(customer, 1, "CUS:NAME");
//   ... the window controller drives it through WindowBrowse ...
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/driver/file_control_block.h"
#include "framework/key_locator.h"
#include "framework/outcome.h"
#include "framework/scroll_step.h"
#include "framework/toolbar_target.h"
#include "framework/view_controller.h"
#include "framework/window_browse.h"
#include "runtime/queue.h"
#include "window/core/event_codes.h"

namespace korvex::framework {

class BrowseController;
class BrowseToolbar;
class ErrorReporter;
class PopupMenuController;
class WindowController;

// List properties the browse reads and sets.
inline constexpr uint32_t kPropListItems = 0x7C8E;     // rows the list shows
inline constexpr uint32_t kPropListSelected = 0x7C8F;  // selected row, from 1
inline constexpr uint32_t kPropListThumb = 0x7C9E;     // thumb position 0..100
inline constexpr uint32_t kPropListOwnThumb = 0x7C8B;  // the list moves its own thumb
inline constexpr uint32_t kPropMouseDownRow = 0x7C20;  // row of the last press (0 header, -1 below)
inline constexpr uint32_t kPropMouseUpRow = 0x7C22;    // row of the last release
// Control state properties the browse sets on its buttons ("1" / "").
inline constexpr uint32_t kPropDisabled = 0x7A02;
inline constexpr uint32_t kPropHidden = 0x7A03;
inline constexpr uint32_t kPropDefaultButton = 31838;

// Key codes the browse acts on.
inline constexpr uint16_t kKeyActivate = 0x05;     // Enter on a row
inline constexpr uint16_t kKeyContextMenu = 0x82;  // right button
inline constexpr uint16_t kKeyInsert = 0x2D;
inline constexpr uint16_t kKeyDelete = 0x2E;
inline constexpr uint16_t kKeyCtrlEnter = 0x20D;

// RebuildPage modes.
inline constexpr int kRebuildKeepSelection = 1;  // around the selected row of the page
inline constexpr int kRebuildFromView = 2;       // from wherever the VIEW is positioned

// FetchRows directions.
inline constexpr int kFetchBackward = 1;
inline constexpr int kFetchForward = 2;

// The named filter a query sets on the browse's sort order.
inline constexpr char kQueryFilterId[] = "9 Query";

// A field of a file's record buffer, as a locator sets it and the thumb reads it.
class RecordField : public LocatorField {
 public:
  RecordField(driver::FileControlBlock* file, int index) : file_(file), index_(index) {}
  std::string Text() const override;
  void Assign(std::string_view text) override;

 private:
  driver::FileControlBlock* file_;
  int index_;  // 0-based field of the file's declaration
};

// A query the user fills in to filter the browse; the browse applies its filter text.
class BrowseQuery {
 public:
  virtual ~BrowseQuery() = default;
  // Whether the entries changed since the filter text was last taken.
  virtual bool Changed() = 0;
  virtual void Clear() = 0;
  // The filter expression of the entries (empty: no filter).
  virtual std::string FilterText() = 0;
};

// One column of the list that can be edited in place (an EDITLIST entry).
struct EditColumn {
  int32_t field = 0;            // FIELD: the list column
  bool free_up = false;         // FREEUP: the browse owns the column's control
  void* control = nullptr;      // CONTROL: the column's editing control, none for the default
};

// The in-place editor as the browse starts it: it edits the selected row of the list.
class InPlaceEditor {
 public:
  struct Settings {
    uint8_t request = 0;  // 1 insert, 2 change, 3 delete
    uint8_t arrow_action = 0;
    uint8_t enter_action = 0;
    uint8_t focus_loss_action = 0;
    uint8_t tab_action = 0;
    const std::vector<EditColumn>* columns = nullptr;
    int32_t list_control = 0;
    ErrorReporter* errors = nullptr;
  };
  virtual ~InPlaceEditor() = default;
  // Runs the editor over the browse's selected row; answers the response (1 completed, 2 cancelled).
  virtual uint8_t Run(BrowseController& browse, const Settings& settings) = 0;
};
// Makes the in-place editor; it may make none (then nothing is edited in place).
using InPlaceEditorFactory = std::function<std::unique_ptr<InPlaceEditor>()>;

// A browse's sort order: the view's, with its locator, reset fields and scroll step.
struct BrowseSortOrder : SortOrder {
  KeyLocator* locator = nullptr;                      // LOCATOR
  std::vector<std::function<std::string()>> resets;  // RESETS: values whose change reloads
  std::vector<std::string> saved_resets;
  ScrollStep* thumb = nullptr;                        // THUMB
  std::unique_ptr<RecordField> free_field;            // the free element a locator sets
  bool limits_taken = false;                          // the step has the data's limits
};

class BrowseController : public ViewController, public WindowBrowse, public LocatorBrowse {
 public:
  // One pair of the field map: a field of a file's record and a field of the queue.
  struct FieldPair {
    driver::FileControlBlock* file = nullptr;
    int file_field = 0;   // 0-based in the file's declaration
    int queue_field = 0;  // 0-based in the queue
  };

  BrowseController() = default;
  ~BrowseController() override;

  // REQUIRES: everything given outlives the controller (until Kill).
  void Init(int32_t list_control, Queue* queue, std::string_view position_field, WindowController* window,
            RelationController* primary, ViewAccess* view);
  void AttachToolbar(BrowseToolbar* toolbar);
  // Adds a sort order over key with step (none allowed); answers its number.
  int AppendSortOrder(ScrollStep* step, const driver::KeyDeclaration* key);
  // The locator of the sort order added last.
  void AttachLocator(KeyLocator* locator);
  // Pairs a field of file's record with a queue field (by name); false when either is unknown.
  bool MapField(driver::FileControlBlock* file, int file_field, std::string_view queue_field);
  // The field of the last added sort order's key component that a locator sets.
  LocatorField* FreeField();

  // --- WindowBrowse -----------------------------------------------------------
  void ChooseSortOrder(bool force) override;
  void RefreshControls() override;
  bool NeedsRefresh() override;
  void HandleBrowseEvent() override;
  // The outcome is kept for the callers that synchronised through the window (LastLoadOutcome).
  void LoadSelectedRecord() override { last_load_ = LoadSelected(); }
  void PrepareBrowseAlerts() override;
  // Selecting saves the primary file's state (BUFFER); it is given back when the window closes.
  void SetSelecting(bool on) override;
  void Kill() override;

  // --- LocatorBrowse ----------------------------------------------------------
  bool HasRows() const override { return queue_ != nullptr && queue_->Records() > 0; }
  void ScrollByRow(EventCode event) override;
  void LoadRowFields() override;

  // --- The browse's overridable operations --------------------------------------
  Outcome Next() override;
  Outcome Previous() override;
  virtual uint8_t AskRecord(uint8_t request);
  // Edits the selected row in the list through the editor the factory makes; answers the
  // response (cancelled when there is no editor).
  virtual uint8_t EditInPlace(uint8_t request);
  virtual void FetchRows(int direction);
  virtual void ReloadAfterUpdate(uint8_t request, uint8_t response);
  virtual void ReloadFromThumb();
  virtual void ResyncFromFile();
  virtual void PlaceThumb();
  virtual void RebuildPage(int mode);
  virtual void ScrollToEnd(EventCode event);
  virtual void ScrollByPage(EventCode event);
  virtual void FillQueueRow();
  virtual bool SelectSortOrder(int order, bool force);
  virtual void HandleKey();
  virtual void HandleLocate();
  virtual void HandleNewSelection();
  virtual void HandleScroll(EventCode event);
  virtual void HandleNavigation(int32_t request);
  // Re-reads the selected row's record through the view. kOutcomeDone with the record in the
  // buffers; kOutcomeFailed when the page is empty or the record has gone (buffers cleared).
  virtual Outcome LoadSelected();
  Outcome LastLoadOutcome() const { return last_load_; }
  // The base chooses the current sort order; procedures decide by their own state.
  virtual bool ChooseSortOrderNumber(bool force) { return SelectSortOrder(current_order_number(), force); }

  // --- Fields (their upper-case names in comments) ------------------------------
  bool active_invisible = false;  // ACTIVEINVISIBLE
  bool allow_unfilled = false;    // ALLOWUNFILLED
  uint8_t arrow_action = 0;       // ARROWACTION
  uint16_t ask_procedure = 0;     // ASKPROCEDURE
  uint16_t buffer = 0;            // BUFFER: the primary file's saved state while selecting
  int32_t change_control = 0;     // CHANGECONTROL
  int32_t current_choice = 0;     // CURRENTCHOICE
  EventCode current_event = 0;    // CURRENTEVENT
  int32_t delete_control = 0;     // DELETECONTROL
  std::vector<EditColumn> edit_list;      // EDITLIST
  InPlaceEditor* eip = nullptr;           // EIP
  InPlaceEditorFactory eip_factory;       // makes EIP when there is none
  uint8_t enter_action = 0;       // ENTERACTION
  bool file_loaded = false;       // FILELOADED
  uint8_t focus_loss_action = 0;  // FOCUSLOSSACTION
  bool has_thumb = false;         // HASTHUMB
  bool hide_select = false;       // HIDESELECT
  int32_t insert_control = 0;     // INSERTCONTROL
  int32_t items_to_fill = 0;      // ITEMSTOFILL
  int32_t last_choice = 0;        // LASTCHOICE
  int32_t last_items = 0;         // LASTITEMS
  bool loaded = false;            // LOADED
  bool load_pending = false;      // LOADPENDING
  bool retain_row = true;         // RETAINROW
  int32_t print_control = 0;      // PRINTCONTROL
  uint16_t print_procedure = 0;   // PRINTPROCEDURE
  PopupMenuController* popup = nullptr;  // POPUP (not owned)
  BrowseQuery* query = nullptr;   // QUERY (not owned)
  int32_t query_control = 0;      // QUERYCONTROL
  bool quick_scan = false;        // QUICKSCAN
  int32_t select_control = 0;     // SELECTCONTROL
  bool selecting = false;         // SELECTING
  bool select_whole_record = false;  // SELECTWHOLERECORD
  bool start_at_current = false;  // STARTATCURRENT
  uint8_t tab_action = 0;         // TABACTION
  BrowseToolbar* toolbar = nullptr;  // TOOLBAR
  int32_t tool_control = 0;       // TOOLCONTROL
  ToolbarTarget* toolbar_item = nullptr;  // TOOLBARITEM

  int32_t list_control() const { return list_control_; }  // LISTCONTROL
  Queue* queue() const { return queue_; }                  // LISTQUEUE
  WindowController* window() const { return window_; }     // WINDOW
  const std::vector<FieldPair>& fields() const { return fields_; }  // FIELDS
  BrowseSortOrder* browse_order() { return static_cast<BrowseSortOrder*>(current_order()); }

 protected:
  std::unique_ptr<SortOrder> MakeSortOrder() override { return std::make_unique<BrowseSortOrder>(); }
  // List properties through the window.
  int32_t ListNumber(uint32_t property);
  // The rows the list shows now (at least one): the page size.
  int32_t ListRows();
  // Takes the list's page size into LASTITEMS; a change marks the browse for reloading.
  void TakePageSize();
  // The selected record has gone: the page is read again around it and the user hears a beep.
  void RecordVanished();
  // EVENT:CloseWindow while selecting: the chosen record, or the state from before.
  void CloseWhileSelecting();
  // Applies a changed query's filter and reads the page from the start.
  void ApplyQuery();
  void SetListNumber(uint32_t property, int32_t value);
  bool ListVisible();
  // The selected row shown: the list's selection := CURRENTCHOICE, EVENT:NewSelection posted.
  void ShowCurrentRow();
  // The row's view position as stored in the queue (whole field).
  std::string RowPosition(size_t row);
  // The queue row holding position, 0 when none.
  int32_t FindRow(const std::string& position);
  void Post(EventCode event, int32_t control);
  void SetButton(int32_t control, bool enabled);
  // Reads the first and last key values of the order for its scroll step.
  void TakeStepLimits();
  void SaveResets();
  // The field a locator sets and the thumb reads for this order (made on first use).
  LocatorField* FreeFieldOf(BrowseSortOrder* order);

 private:
  int32_t list_control_ = 0;
  Queue* queue_ = nullptr;
  int position_field_ = -1;  // VIEWPOSITION: index of the queue field
  WindowController* window_ = nullptr;
  std::vector<FieldPair> fields_;
  std::unique_ptr<ToolbarTarget> owned_target_;
  std::unique_ptr<InPlaceEditor> owned_eip_;  // FREEEIP: set when the browse made EIP
  Outcome last_load_ = kOutcomeDone;
};

}  // namespace korvex::framework
