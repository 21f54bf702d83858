// One table of a Brisken file opened for record work: its definition, its keys
// and memos, the record operations and the sequential processing state.
//
// The API the driver entry and the `brisken` tool use:
//
//   std::unique_ptr<BriskenFile> file;            // BriskenFile::Open(path, mode, &file)
//   std::vector<std::string> names;
//   Table::ListTables(file.get(), &names);         // the tables of a file, by name
//   std::unique_ptr<Table> t;
//   Table::OpenStored(file.get(), "UNNAMED", &t);  // by its own stored definition
//   Table::Open(file.get(), "ORDERS", decl, &t);   // by a program's declaration (47 if it differs)
//   Table::Create(file.get(), "ORDERS", decl, &t); // new table (replaces one of that name)
//
//   std::vector<uint8_t> record(t->record_size());
//   std::vector<std::vector<uint8_t>> memos = t->BlankMemos();
//   RecordBuffers b{record, &memos};
//   t->SetFile();                                  // or SetKey(k), keys counted from 1
//   while (t->Next(b) == 0) { ... }                // 33 at the end
//   t->Add(b);                                     // a new record from the buffers
//   file->Commit();                                // changes stay pending until then
//
// Every operation answers a file error code (0 = done). A failed operation
// leaves the file, the buffers and the table's state as they were, except that
// an ADD keeps its record number used.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/brisken/brisken_file.h"
#include "data/brisken/key_encoding.h"
#include "data/brisken/record.h"
#include "data/brisken/record_hold.h"
#include "data/driver/declaration_builder.h"
#include "data/driver/declarations.h"
#include "data/driver/record_layout.h"

namespace korvex::brisken {

// The buffers an operation reads from or fills: the record buffer (at least
// record_size() bytes) and the memos in declaration order (a MEMO of its
// declared size, a BLOB of any length). Null memos: memos are neither read nor
// written (an ADD stores none, a PUT keeps the stored ones).
struct RecordBuffers {
  std::span<uint8_t> record;
  std::vector<std::vector<uint8_t>>* memos = nullptr;
};

class Table {
 public:
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;
  ~Table();

  // --- Tables of a file --------------------------------------------------
  // Opens table `name` and checks the stored definition against decl: 2 when
  // the file has no such table, 47 when a number differs, 79 for a field type
  // the driver does not keep.
  static int32_t Open(BriskenFile* file, std::string_view name,
                      const driver::FileDeclaration& decl, std::unique_ptr<Table>* out);
  // Opens table `name` by the definition stored with it (no program declaration).
  static int32_t OpenStored(BriskenFile* file, std::string_view name, std::unique_ptr<Table>* out);
  // Creates table `name` from decl (replacing a table of that name): a new table
  // number, the name record, the definition records and the counters.
  static int32_t Create(BriskenFile* file, std::string_view name,
                        const driver::FileDeclaration& decl, std::unique_ptr<Table>* out);
  // Removes every record of table `name`, its name record included (2 when absent).
  static int32_t Drop(BriskenFile* file, std::string_view name);
  // The names of the file's tables in name order.
  static int32_t ListTables(BriskenFile* file, std::vector<std::string>* names);

  BriskenFile* file() const { return file_; }
  uint32_t number() const { return number_; }  // the table number T
  const std::string& name() const { return name_; }
  const driver::FileDeclaration& declaration() const { return *decl_; }
  const driver::RecordLayout& layout() const { return layout_; }
  size_t record_size() const { return layout_.record_size(); }
  int key_count() const { return static_cast<int>(keys_.size()); }
  // Memo buffers as a fresh record has them (MEMO blank-filled, BINARY zero-filled, BLOB empty).
  std::vector<std::vector<uint8_t>> BlankMemos() const;

  // --- Records -------------------------------------------------------------
  // ADD and APPEND: a new record from b (40 when a key without DUP would repeat).
  int32_t Add(RecordBuffers b);
  // PUT: rewrites the current record from b (33 when there is none).
  int32_t Put(RecordBuffers b);
  // PUTfileptr: rewrites record r from b, which becomes current (33 when absent).
  int32_t PutAt(uint32_t r, RecordBuffers b);
  // DELETE: removes the current record (33 when there is none).
  int32_t Delete();
  // GETfilekey: the record whose value in key `key` (from 1) equals b's (35 when none).
  int32_t GetByKey(int key, RecordBuffers b);
  // GETfileptr, GETkeyptr: record r (35 when absent).
  int32_t GetByNumber(uint32_t r, RecordBuffers b);
  // DUPLICATE (key 0: every key) and DUPLICATEkey: would writing b as the current
  // record (or as a new one, when there is none) repeat a value of a key without DUP?
  int32_t Duplicate(int key, std::span<const uint8_t> record, bool* duplicate);
  // RECORDSfile (key 0) and RECORDSkey: counts.
  int32_t Records(int key, uint32_t* count);
  // The current record: last read, added or written; 0 when none.
  uint32_t current() const { return current_; }
  // Bytes of the last record read (BYTES).
  size_t last_size() const { return last_read_.size(); }
  // NOMEMO: the next read leaves the memo buffers alone.
  void SkipMemosOnce() { skip_memos_ = true; }

  // --- Sequential processing -------------------------------------------------
  // Each only records where the next NEXT or PREVIOUS starts.
  int32_t SetFile();                       // record order, from either end
  int32_t SetFilePtr(uint32_t r);          // record order from record r (r 0: SetFile)
  int32_t SetKey(int key);                 // key order, from either end
  int32_t SetKeyPtr(int key, uint32_t r);  // key order from record r's entry (r 0: SetKey)
  // Key order from b's key value: SETfilekey, SETkeykey (r 0) and SETkeykeyptr.
  int32_t SetKeyValue(int key, std::span<const uint8_t> record, uint32_t r);
  int32_t Next(RecordBuffers b) { return Step(true, b); }
  int32_t Previous(RecordBuffers b) { return Step(false, b); }
  // SKIP: moves n entries (backwards when negative) without reading them; stops at an end.
  int32_t Skip(int64_t n);
  // EOF and BOF: true when no record follows (precedes) in the current order.
  int32_t AtEnd(bool forward, bool* at_end);
  // The key of the current order, 0 for record order.
  int current_key() const { return order_; }

  // POSITIONfile (key 0) and POSITIONkey: the current record number
  // (big-endian), followed for a key by the key value of the record as last read.
  int32_t Position(int key, std::string* position);
  // RESETfile / RESETkey: the next NEXT or PREVIOUS continues at the position.
  int32_t Reset(int key, std::string_view position);
  // REGETfile / REGETkey: reads the record at the position.
  int32_t Reget(int key, std::string_view position, RecordBuffers b);

  // --- Whole table ---------------------------------------------------------------
  // BUILDkey (key from 1) and BUILDfile (key 0): entries rebuilt from the records.
  int32_t Build(int key);
  // EMPTY: removes every record, memo and key entry; counts back to 0.
  int32_t Empty();
  // The table's flags value (kept with the data-record count).
  int32_t GetFlags(uint32_t* flags);
  int32_t SetFlags(uint32_t flags);

  // --- Holding and watching ----------------------------------------------------
  // The record bytes this table takes (HOLD, and PUT of a record it does not
  // hold); without them holding is a flag only.
  void SetRecordLocks(RecordLocks* locks) { locks_ = locks; }
  // The next read that finds its record locks it without waiting; when that
  // fails the read answers 43 with the buffers untouched and the request stays.
  void RequestHold() { hold_requested_ = true; }
  bool hold_requested() const { return hold_requested_; }
  void DropHoldRequest() { hold_requested_ = false; }
  // RELEASE: frees the held record.
  void Release();
  bool holding() const { return holding_; }
  void RequestWatch() { watch_requested_ = true; }
  bool watched() const { return watch_requested_ || watch_copy_.has_value(); }

  // True while key `key` is an INDEX that has not been built since the table opened.
  bool NeedsBuild(int key) const;

 private:
  Table(BriskenFile* file, uint32_t number, std::string name);
  int32_t Prepare(const driver::FileDeclaration& decl);

  // The undo log of the operation in progress.
  struct Undo {
    enum class What { kInserted, kRemoved, kReplaced } what;
    Record record;  // inserted: its header; removed and replaced: the old record
  };
  Status Insert(Record r, bool* inserted);
  Status Remove(std::string_view h, bool* found, const RecordTree::RemoveCondition& only_if = {});
  Status Replace(Record r, bool* found);
  void Begin() { journal_.clear(); }
  int32_t Fail(int32_t code);       // undoes the journal, answers code
  int32_t Fail(Status s) { return Fail(s.ok() ? driver::kErrFileSystem : s.code()); }

  // Keys.
  bool IsIndex(int key) const;
  bool ValidKey(int key) const { return key >= 1 && key <= key_count(); }
  bool EntryOf(int key, std::string_view buffer_form, uint32_t r, Record* out) const;
  std::string EntryHeader(int key, std::string_view buffer_form, uint32_t r) const;
  int32_t AdjustCounter(uint8_t kind, int delta);
  int32_t ReadCounter(uint8_t kind, uint32_t* count, uint32_t* second, bool* found);
  int32_t WriteCounter(uint8_t kind, uint32_t count, uint32_t second);
  // Lookups in a key's entries (the file's tree, or an INDEX's own entries).
  Status SeekEntry(int key, std::string_view h, bool after, Record* out, bool* found);
  Status SeekEntryBack(int key, std::string_view h, bool before, Record* out, bool* found);

  // Records in stored form and buffer form (text fields in the OEM code page).
  std::string ToStored(std::span<const uint8_t> record) const;
  std::string FromStored(std::string_view stored) const;
  // The same into record_size() bytes at out.
  void CopyFromStored(std::string_view stored, uint8_t* out) const;
  // for_change: the record is about to be rewritten or removed (its leaf is remembered).
  int32_t ReadData(uint32_t r, Record* out, bool* found, bool for_change = false);
  int32_t ReadMemos(uint32_t r, std::vector<std::vector<uint8_t>>* memos);
  int32_t WriteMemos(uint32_t r, const std::vector<std::vector<uint8_t>>& memos);
  int32_t RemoveMemos(uint32_t r);
  // Fills b with record r (stored form given), makes it current; 0 or an error.
  int32_t Deliver(uint32_t r, std::string_view stored, RecordBuffers b);
  int32_t Rewrite(uint32_t r, RecordBuffers b);
  int32_t RewriteLocked(uint32_t r, RecordBuffers b);
  void Unhold();

  // Sequential processing.
  struct Start {
    std::string next;        // NEXT starts at the first entry >= next (> when !next_inclusive)
    bool next_inclusive = true;
    std::string prev;        // PREVIOUS starts at the last entry <= prev (< when !prev_inclusive)
    bool prev_inclusive = true;
  };
  std::string OrderPrefix(int key) const;
  // The entry after (or before) the current position, without moving.
  int32_t Look(bool forward, Record* entry, bool* found);
  int32_t Step(bool forward, RecordBuffers b);
  uint32_t EntryRecord(int key, const Record& entry) const;
  int32_t BuildKey(int key, std::map<std::string, std::string>* index);

  BriskenFile* file_;
  uint32_t number_;
  std::string name_;
  std::unique_ptr<driver::OwnedDeclaration> owned_;  // OpenStored: the declaration read back
  const driver::FileDeclaration* decl_ = nullptr;
  driver::RecordLayout layout_;
  std::vector<KeyEncoder> keys_;  // index k - 1 for key k
  // Entries of INDEX keys, kept apart from the file; absent until built.
  std::vector<std::optional<std::map<std::string, std::string>>> index_entries_;
  std::vector<Undo> journal_;

  uint32_t current_ = 0;          // current record number
  std::string last_read_;         // stored form of the record as last read or written
  bool skip_memos_ = false;       // NOMEMO armed
  bool memos_skipped_ = false;    // the current record was read without its memos

  int order_ = 0;                 // key of the sequential order, 0: record order
  bool sequencing_ = false;       // a SET or RESET has happened
  std::optional<Start> pending_;  // where the first NEXT/PREVIOUS starts
  std::string position_;          // header of the last entry visited
  Record step_entry_, step_data_; // scratch of Step, kept for their storage

  RecordLocks* locks_ = nullptr;
  bool hold_requested_ = false;
  bool holding_ = false;
  uint32_t held_ = 0;             // the held record while holding_
  bool watch_requested_ = false;
  std::optional<std::string> watch_copy_;  // stored record (and memos) when read
};

}  // namespace korvex::brisken
