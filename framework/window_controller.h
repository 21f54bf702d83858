// The window controller: drives one procedure window. RunWindow opens it
// (Init), hands each event of its ACCEPT loop to the event operations and from
// there to the registered browses, toolbar and file-drop lists (EventLoop), and
// releases everything (Kill). As an update form it inserts, changes or deletes
// one record of a primary file, asks before changes are lost and can repeat an
// insert. Procedures derive from it and replace the operations they need.
//
// It reaches the window only through an EventSource and a WindowPort (set with
// SetWindow before RunWindow, or in a replaced Init before the base one runs);
// every window step is skipped while they are not set, as every form step is
// without a primary record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/event_source.h"
#include "framework/form_record.h"
#include "framework/outcome.h"
#include "framework/toolbar_target.h"
#include "framework/window_browse.h"
#include "framework/window_port.h"

namespace korvex {
class Evaluator;
}

namespace korvex::framework {

class BrowseToolbar;
class ToolbarPort;
class ErrorReporter;
class RelationController;
class TextTranslator;
class WindowResizer;

// Request codes (REQUEST) and response codes (RESPONSE).
inline constexpr uint8_t kRequestNone = 0;
inline constexpr uint8_t kRequestInsert = 1;
inline constexpr uint8_t kRequestChange = 2;
inline constexpr uint8_t kRequestDelete = 3;
inline constexpr uint8_t kRequestSelect = 4;
inline constexpr uint8_t kResponseNone = 0;
inline constexpr uint8_t kResponseCompleted = 1;
inline constexpr uint8_t kResponseCancelled = 2;

// INSERTACTION values.
inline constexpr uint8_t kInsertClose = 2;
inline constexpr uint8_t kInsertAnother = 3;
inline constexpr uint8_t kInsertAsk = 4;

// The toolbar's ditto button, which recalls a field from history.
inline constexpr int32_t kDittoControl = 2011;

// INITED bits.
inline constexpr uint8_t kInitedPrepared = 1;  // PrepareWindow has run
inline constexpr uint8_t kInitedSized = 2;     // the first EVENT:Sized has been seen

class WindowController : public ToolbarHost {
 public:
  struct Button {
    int32_t control = 0;  // CONTROL
    uint8_t action = 0;   // ACTION: the response it closes the window with
  };
  struct SavedFile {
    FormRecord* file = nullptr;  // the file whose state the form keeps
    uint16_t state = 0;          // its saved state, 0 none
  };
  struct HistoryField {
    uint8_t* value = nullptr;    // the field's bytes
    size_t length = 0;
    std::vector<uint8_t> saved;  // the value when the form last completed
    int32_t control = 0;         // the control that shows the field
  };

  WindowController() = default;
  ~WindowController() override = default;
  WindowController(const WindowController&) = delete;
  WindowController& operator=(const WindowController&) = delete;

  // REQUIRES: both outlive the controller's use of the window.
  void SetWindow(EventSource* events, WindowPort* window);
  // PRIMARY over a relation controller (the controller owns the adapter), or
  // over any FormRecord (not owned); null makes a plain window.
  void SetPrimary(RelationController* primary);
  void SetPrimary(FormRecord* primary);
  FormRecord* primary() const { return primary_; }

  // --- Virtual operations ------------------------------------------------------
  virtual void EventLoop();
  virtual Outcome Init();
  virtual Outcome Kill();
  virtual void PrepareWindow();
  virtual void FillNewRecord() {}
  virtual Outcome PrepareUpdate();
  virtual void ResetWindow(bool force);
  virtual void RecallField(int32_t control);
  // Init, EventLoop when Init gave 0, Kill; answers RESPONSE, or 2 when unset.
  virtual uint8_t RunWindow();
  virtual uint8_t CallProcedure(uint16_t number, uint8_t request);
  virtual void PrepareAlerts();
  void CloseWithResponse(uint8_t response) override;
  virtual Outcome HandleAccepted();
  virtual Outcome HandleCompleted();
  virtual Outcome HandleClose();
  virtual Outcome HandleEvent();
  virtual Outcome HandleFieldEvent() { return kOutcomeDone; }
  virtual Outcome HandleNewSelection();
  virtual Outcome HandleRejected();
  virtual Outcome HandleSelected() { return kOutcomeDone; }
  virtual Outcome HandleWindowEvent();
  void SyncBrowseRecords() override;

  // --- Other operations ----------------------------------------------------------
  // Sets TOOLBAR; with a port the toolbar is initialised over it (no targets).
  // Without one its owner has initialised it.
  void AttachToolbar(BrowseToolbar* toolbar, ToolbarPort* port = nullptr);
  void AttachResizer(WindowResizer* resizer);
  void RegisterButton(int32_t control, uint8_t response);
  void RegisterBrowse(WindowBrowse* browse);
  void RegisterFileDrop(FileDropList* list);
  // Another file whose state the form saves and gives back.
  void AddSavedFile(FormRecord* file);
  // A field that the history key (or the ditto button) restores on control.
  void AddHistoryField(int32_t control, void* value, size_t length);
  // Copies every history field's value into its saved copy.
  void SaveHistory();

  EventSource* events() const { return events_; }
  WindowPort* window() const { return window_; }
  const std::vector<WindowBrowse*>& browses() const { return browses_; }
  const std::vector<Button>& buttons() const { return buttons_; }
  const std::vector<HistoryField>& history() const { return history_; }

  // --- Fields (their upper-case names in comments) -------------------------------
  uint8_t auto_refresh = 0;                 // AUTOREFRESH
  uint8_t auto_toolbar = 0;                 // AUTOTOOLBAR
  uint8_t cancel_action = 0;                // CANCELACTION: bit 0 ask, bit 1 three-way
  uint8_t change_action = 0;                // CHANGEACTION
  uint8_t dead = 0;                         // DEAD
  uint8_t delete_action = 0;                // DELETEACTION: 2 ask first
  ErrorReporter* errors = nullptr;          // ERRORS
  int32_t first_field = 0;                  // FIRSTFIELD
  uint8_t forced_reset = 0;                 // FORCEDRESET
  uint8_t reset_on_gain_focus = 0;          // RESETONGAINFOCUS
  uint16_t history_key = 0;                 // HISTORYKEY, 0 none
  uint8_t inited = 0;                       // INITED (kInited* bits)
  uint8_t insert_action = 0;                // INSERTACTION
  std::string last_inserted_position;       // LASTINSERTEDPOSITION (at most 512)
  int32_t ok_control = 0;                   // OKCONTROL, 0 none
  uint8_t opened = 0;                       // OPENED
  uint8_t original_request = 0;             // ORIGINALREQUEST
  uint8_t request = 0;                      // REQUEST
  WindowResizer* resize = nullptr;          // RESIZE
  uint8_t response = 0;                     // RESPONSE
  uint16_t saved = 0;                       // SAVED
  BrowseToolbar* toolbar = nullptr;         // TOOLBAR
  TextTranslator* translator = nullptr;     // TRANSLATOR
  int32_t* vcr_request = nullptr;           // VCRREQUEST, none allowed
  Evaluator* bindings = nullptr;            // the evaluator whose bound names the window scopes

 protected:
  // Whether control is one of the numbers registered: 0 never matches.
  static bool Is(int32_t control, int32_t setting) { return control != 0 && control == setting; }
  // Posts to this window; nothing for a control event without a control.
  void Post(EventCode event, int32_t control = 0);
  void SelectControl(int32_t control);
  void Redisplay(int32_t control = 0);
  // The current event, its control and the focused control (0 without a loop).
  EventCode Event() const;
  int32_t Field() const;
  int32_t Focus() const;

 private:
  Outcome CompleteInsert();
  Outcome CompleteChange();
  Outcome CompleteDelete();
  // Selects FIRSTFIELD after redisplaying every control.
  void BackToFirstField();

  EventSource* events_ = nullptr;
  WindowPort* window_ = nullptr;
  FormRecord* primary_ = nullptr;                  // PRIMARY
  std::unique_ptr<FormRecord> owned_primary_;
  bool lists_made_ = false;                        // BROWSES and the other lists exist
  bool scope_pushed_ = false;
  std::vector<WindowBrowse*> browses_;             // BROWSES
  std::vector<Button> buttons_;                    // BUTTONS
  std::vector<FileDropList*> file_drops_;          // FILEDROPS
  std::vector<SavedFile> files_;                   // FILES
  std::vector<HistoryField> history_;              // HISTORY
};

}  // namespace korvex::framework
