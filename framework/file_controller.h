// The file controller: one per declared file. It opens and closes the file
// with counting (the physical file closes with its last user), opens lazily at
// the first real use, creates a missing file, retries a locked one with
// "Recover=", falls back to read-only, rebuilds keys on 46; it reads, inserts
// and updates records and reports every failure through the error reporter by
// message id (the quiet forms store the id for a later ReportLastError); it
// numbers new records automatically; and it saves and restores the record
// buffer, the file position and the memo contents.
//
//   FileController customers;
//   customers.Init(&customer_block, &errors);
//   customers.AddKey(&kById, 1, "CUS:ByID");
//   customers.Open();
//   customers.PrepareNewRecord(false);   // numbers and adds the record
//   ... fill the buffer ...
//   customers.Insert();                  // rewrites the numbered record
//   customers.Close();
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/driver/arguments.h"
#include "data/driver/declarations.h"
#include "data/driver/driver_record.h"
#include "data/driver/file_control_block.h"
#include "framework/error_reporter.h"
#include "framework/outcome.h"

namespace korvex {
class Evaluator;
}  // namespace korvex

namespace korvex::framework {

class RelationController;

// EnsureUsable modes.
inline constexpr uint8_t kUseData = 2;       // a data operation
inline constexpr uint8_t kUseBrowse = 3;     // the view and browse controllers
inline constexpr uint8_t kUseUntracked = 4;  // not recorded in the usage tracker

class FileController {
 public:
  // Per-thread state (INFO); a file that is not threaded has one entry, id 1.
  struct ThreadState {
    int32_t id = 0;
    bool used = false;         // USED: physically open
    uint16_t opened = 0;       // OPENED: logical opens
    bool at_eof = false;       // ATEOF
    bool autoinc_done = false;  // AUTOINCDONE: the current record was added by numbering
    uint32_t autoinc_record = 0;  // the record number numbering added (rewritten by it)
    MessageId last_error = 0;  // LASTERROR
  };
  // One component of a key (FIELDS).
  struct KeyComponent {
    int field = 0;           // index into the declaration's fields (0-based)
    std::string field_name;  // FIELDNAME: label, or "UPPER(label)" for a case-free string
    bool ascend = true;      // ASCEND
  };
  // One key (KEYS), in the order added.
  struct KeyInfo {
    const driver::KeyDeclaration* key = nullptr;  // KEY
    std::string description;                      // PDESCRIPTION (at most 80)
    std::vector<KeyComponent> fields;             // FIELDS
    uint8_t autoinc = 0;                          // AUTOINC: numbered component, 0 none
    bool dups = false;                            // DUPS
    bool nocase = false;                          // NOCASE
  };

  FileController() = default;
  virtual ~FileController();
  FileController(const FileController&) = delete;
  FileController& operator=(const FileController&) = delete;

  // REQUIRES: file and errors outlive the controller (until Kill). file's
  // record is the controller's record buffer (BUFFER).
  void Init(driver::FileControlBlock* file, ErrorReporter* errors);
  void Kill();
  bool initialised() const { return file_ != nullptr; }

  // Adds a key in list order. autoinc: number (from 1) of the component that
  // numbering fills, 0 none. Keys that are not the file's are ignored.
  void AddKey(const driver::KeyDeclaration* key, uint8_t autoinc, std::string_view description);

  // --- The overridable operations ---------------------------------------------
  // Binds every field by its label and by its external name in bindings (when
  // set), reading the record buffer at evaluation time.
  virtual void BindFields();
  virtual Outcome CancelPrimedRecord(RelationController* relations);
  virtual Outcome Close();
  virtual bool BufferUnchanged(uint16_t buffer_id);
  virtual Outcome FetchOrClear(const driver::KeyDeclaration* key);
  virtual Outcome Insert();
  virtual Outcome Next();
  virtual Outcome Open();
  virtual Outcome Previous();
  virtual Outcome ReserveAutoNumber();
  virtual void InitNewFields() {}
  virtual Outcome PrepareNewRecord(bool keep_buffer);
  virtual Outcome Raise(MessageId id);
  virtual Outcome ReportLastError();
  virtual Outcome RaiseWithText(MessageId id, std::string_view text);
  virtual Outcome FetchQuiet(const driver::KeyDeclaration* key);
  virtual Outcome InsertQuiet();
  virtual Outcome NextQuiet();
  virtual Outcome OpenQuiet();
  virtual Outcome PreviousQuiet();
  virtual Outcome ReserveAutoNumberQuiet();
  virtual Outcome UpdateQuiet();
  virtual Outcome Update();
  // Field validation hook: 0 valid. An alias asks the aliased controller.
  virtual Outcome CheckField(int field_number);
  virtual Outcome CheckFields(int first, int last, int* failed_field);
  virtual Outcome CheckRecord(int* failed_field);

  // --- Other operations -------------------------------------------------------
  // The update with the ditto message (7 rather than 6 for another station's change).
  Outcome UpdateDitto();
  Outcome EnsureUsable(uint8_t mode);
  void SetError(MessageId id);
  // POSITIONkey through the primary key, else POSITIONfile; "" when not usable.
  std::string Position();
  Outcome ReGet(const std::string& position);
  uint16_t SaveFile();
  // Gives back a saved state and drops it; *state_id becomes 0.
  void RestoreFile(uint16_t* state_id, bool restore_position);
  // The same without recording a use in the usage tracker (the tracker's own call).
  void RestoreFileUntracked(uint16_t* state_id, bool restore_position);
  uint16_t SaveBuffer();
  void RestoreBuffer(uint16_t* buffer_id, bool restore);
  std::string DisplayName() const;
  bool AtEnd();
  // Rewrites the stored record buffer; the next read overwrites it.
  void ClearBuffer();

  // Key facts for the view and browse controllers. key: a key of the file
  // (added with AddKey or not); null or unknown keys answer empty / 0.
  std::string OrderText(const driver::KeyDeclaration* key, int first_component);
  std::string ComponentName(const driver::KeyDeclaration* key, int n);
  int ComponentField(const driver::KeyDeclaration* key, int n);  // 1-based field number, 0 none
  int ComponentCount(const driver::KeyDeclaration* key);
  void ClearKeyComponents(const driver::KeyDeclaration* key, int from, int to, bool high);

  // Raw driver call on this file (the transaction helper and the relations use it).
  int32_t Call(int operation, const driver::Arguments& args = {});

  // --- Fields (their upper-case names in comments) ----------------------------
  FileController* aliased_file = nullptr;   // ALIASEDFILE
  bool create = true;                       // CREATE
  const std::string* file_name = nullptr;   // FILENAME: shown name's variable, or none
  std::string file_name_value;              // FILENAMEVALUE (at most 256)
  bool has_autoinc = false;                 // HASAUTOINC
  bool lazy_open = true;                    // LAZYOPEN
  int16_t lock_recover = 10;                // LOCKRECOVER
  uint8_t open_mode = 0x42;                 // OPENMODE
  uint8_t primary_key = 0;                  // PRIMARYKEY (number in keys())
  bool skip_held_records = false;           // SKIPHELDRECORDS
  driver::DriverEntry entry = nullptr;      // the file's driver (Brisken unless set)
  Evaluator* bindings = nullptr;            // where BindFields binds the fields, or none

  driver::FileControlBlock* file() const { return file_; }
  ErrorReporter* errors() const { return errors_; }
  const std::vector<KeyInfo>& keys() const { return keys_; }
  const void* FileIdentity() const { return file_ ? &file_->declaration() : nullptr; }
  // The calling thread's state (selected or added).
  ThreadState& State();
  MessageId LastError() { return State().last_error; }

 private:
  struct SavedBuffer {
    uint16_t id;
    std::vector<uint8_t> bytes;
  };
  struct SavedState {
    uint16_t buffer = 0;
    uint16_t id = 0;
    bool held = false;
    bool watched = false;
    bool autoinc_done = false;
    uint32_t autoinc_record = 0;
    std::string position;
    uint8_t key = 0;  // number in the file's declaration, 0 record order
  };

  // Selects the calling thread's state and names the file for the reporter.
  ThreadState& Select();
  Outcome PhysicalOpen(bool report);
  Outcome OpenForm(bool report);
  Outcome Step(bool forward, bool report);
  Outcome InsertForm(bool report);
  Outcome UpdateForm(int flag);
  Outcome AutoNumber(bool report);
  // Computes the next value of the numbered component of key; 0, or the read error.
  int32_t NextNumber(const KeyInfo& key, std::string* value);
  // Finds the first key without DUP whose value the buffer repeats; -1 none.
  int DuplicatedKey();
  Outcome TakeOrFive(bool report);
  const KeyInfo* FindKey(const driver::KeyDeclaration* key) const;
  void RestoreFileWith(uint16_t* state_id, bool restore_position, uint8_t mode);
  bool Threaded() const;

  driver::FileControlBlock* file_ = nullptr;  // FILE
  ErrorReporter* errors_ = nullptr;           // ERRORS
  std::map<int32_t, ThreadState> info_;       // INFO
  std::vector<KeyInfo> keys_;                 // KEYS
  std::vector<SavedBuffer> buffers_;          // BUFFERS
  std::vector<SavedState> saved_;             // SAVED
};

}  // namespace korvex::framework
