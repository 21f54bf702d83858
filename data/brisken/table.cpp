#include "data/brisken/table.h"

#include <algorithm>
#include <cstring>

#include "data/brisken/definition_stream.h"
#include "data/brisken/memo_pieces.h"
#include "data/brisken/record_kinds.h"
#include "data/brisken/table_catalog.h"
#include "data/driver/error_codes.h"

namespace korvex::brisken {

using namespace driver;  // error codes and declaration flags

namespace {

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

bool IsText(uint8_t type) {
  return type == kTypeString || type == kTypeCString || type == kTypePString;
}

// Passes each record whose header starts with prefix and that filter accepts
// to remove (which takes it out of the tree).
template <typename Remove, typename Filter>
Status RemoveAll(BriskenFile* file, std::string_view prefix, Filter filter, Remove remove) {
  std::string at(prefix);
  bool after = false;
  for (;;) {
    Record r;
    bool found = false;
    Status s = file->Seek(at, after, &r, &found);
    if (!s.ok()) return s;
    if (!found || !StartsWith(r.header(), prefix)) return Status::Ok();
    at.assign(r.header());
    after = true;
    if (!filter(r)) continue;
    s = remove(at);
    if (!s.ok()) return s;
  }
}

}  // namespace

Table::Table(BriskenFile* file, uint32_t number, std::string name)
    : file_(file), number_(number), name_(std::move(name)) {}

Table::~Table() { Unhold(); }

void Table::Unhold() {
  if (holding_ && locks_ != nullptr) locks_->Unlock(held_, this);
  holding_ = false;
  held_ = 0;
}

void Table::Release() {
  hold_requested_ = false;
  Unhold();
}

// --- Tables of a file -------------------------------------------------------

int32_t Table::Prepare(const FileDeclaration& decl) {
  decl_ = &decl;
  for (const FieldDescriptor& f : decl.fields) {
    if (!IsSupportedFieldType(f.type)) return kErrUnsupportedDataType;
  }
  if (!layout_.Build(decl.fields) || layout_.record_size() == 0) {
    return kErrInvalidRecordDeclaration;
  }
  // A data record is T, kind, R and the record: it must fit a page on its own.
  if (layout_.record_size() + kDataHeaderLength > kMaxRecordLength) {
    return kErrInvalidRecordDeclaration;
  }
  if (decl.keys.size() > static_cast<size_t>(kind::kMaxKeys) || decl.memos.size() > 255) {
    return kErrInvalidRecordDeclaration;
  }
  keys_.assign(decl.keys.size(), KeyEncoder());
  for (size_t k = 0; k < decl.keys.size(); ++k) {
    int32_t code = keys_[k].Init(decl, layout_, decl.keys[k]);
    if (code != kNoError) return code;
  }
  index_entries_.assign(decl.keys.size(), std::nullopt);
  return kNoError;
}

// The number and stored definition stream of the table named name (2 when missing).
static int32_t FindStoredDefinition(BriskenFile* file, std::string_view name, uint32_t* number,
                                    std::string* stream) {
  bool found = false;
  Status s = FindTable(file, name, number, &found);
  if (!s.ok()) return s.code();
  if (!found) return kErrFileNotFound;
  s = ReadDefinition(file, *number, stream);
  return s.ok() ? kNoError : s.code();
}

int32_t Table::Open(BriskenFile* file, std::string_view name, const FileDeclaration& decl,
                    std::unique_ptr<Table>* out) {
  uint32_t number = 0;
  std::string stream;
  int32_t code = FindStoredDefinition(file, name, &number, &stream);
  if (code != kNoError) return code;
  code = CompareDefinition(stream, decl);
  if (code != kNoError) return code == kErrInvalidDataFile ? kErrInvalidRecordDeclaration : code;
  std::unique_ptr<Table> t(new Table(file, number, std::string(name)));
  code = t->Prepare(decl);
  if (code != kNoError) return code;
  *out = std::move(t);
  return kNoError;
}

int32_t Table::OpenStored(BriskenFile* file, std::string_view name, std::unique_ptr<Table>* out) {
  uint32_t number = 0;
  std::string stream;
  int32_t code = FindStoredDefinition(file, name, &number, &stream);
  if (code != kNoError) return code;
  std::unique_ptr<OwnedDeclaration> owned;
  code = ReadDefinitionStream(stream, name, &owned);
  if (code != kNoError) return code;
  std::unique_ptr<Table> t(new Table(file, number, std::string(name)));
  t->owned_ = std::move(owned);
  code = t->Prepare(t->owned_->declaration());
  if (code != kNoError) return code;
  *out = std::move(t);
  return kNoError;
}

int32_t Table::Create(BriskenFile* file, std::string_view name, const FileDeclaration& decl,
                      std::unique_ptr<Table>* out) {
  if (name.empty() || name.size() + 1 > kMaxRecordLength - 4) return kErrInvalidFilename;
  if (!file->writable()) return kErrAccessDenied;
  std::unique_ptr<Table> t(new Table(file, 0, std::string(name)));
  // Everything that can be refused is checked before the file is touched.
  int32_t code = t->Prepare(decl);
  if (code != kNoError) return code;
  std::string stream;
  code = WriteDefinitionStream(decl, &stream);
  if (code != kNoError) return code;

  code = Drop(file, name);
  if (code != kNoError && code != kErrFileNotFound) return code;
  Status s = file->NextNumber(&t->number_);
  if (!s.ok()) return s.code();
  const uint32_t T = t->number_;
  t->Begin();
  std::vector<Record> records;
  records.push_back(TableNameRecord(name, T));
  for (Record& r : DefinitionRecords(T, stream)) records.push_back(std::move(r));
  records.push_back(CounterRecord(T, kind::kData, 0, 0));
  for (int k = 1; k <= t->key_count(); ++k) {
    if (!t->IsIndex(k)) records.push_back(CounterRecord(T, static_cast<uint8_t>(k), 0, 0));
  }
  for (Record& r : records) {
    bool inserted = false;
    s = t->Insert(std::move(r), &inserted);
    if (!s.ok()) return t->Fail(s);
    if (!inserted) return t->Fail(kErrAccessDenied);
  }
  t->journal_.clear();
  *out = std::move(t);
  return kNoError;
}

int32_t Table::Drop(BriskenFile* file, std::string_view name) {
  uint32_t number = 0;
  bool found = false;
  Status s = FindTable(file, name, &number, &found);
  if (!s.ok()) return s.code();
  if (!found) return kErrFileNotFound;
  if (!file->writable()) return kErrAccessDenied;
  s = RemoveAll(
      file, TablePrefix(number), [](const Record&) { return true; },
      [file](std::string_view h) {
        bool gone = false;
        return file->Remove(h, &gone);
      });
  if (!s.ok()) return s.code();
  bool gone = false;
  s = file->Remove(TableNameHeader(name), &gone);
  return s.code();
}

int32_t Table::ListTables(BriskenFile* file, std::vector<std::string>* names) {
  names->clear();
  std::string at(1, static_cast<char>(kind::kTableName));
  bool after = false;
  for (;;) {
    Record r;
    bool found = false;
    Status s = file->Seek(at, after, &r, &found);
    if (!s.ok()) return s.code();
    if (!found) return kNoError;
    ParsedHeader p = ParseHeader(r.header());
    if (p.kind == ParsedHeader::Kind::kTableName) names->emplace_back(p.rest);
    at.assign(r.header());
    after = true;
  }
}

std::vector<std::vector<uint8_t>> Table::BlankMemos() const {
  std::vector<std::vector<uint8_t>> memos;
  for (const MemoDeclaration& m : decl_->memos) {
    if ((m.flags & kMemoBlob) != 0) {
      memos.emplace_back();
    } else {
      memos.emplace_back(m.max_size, (m.flags & kMemoBinary) != 0 ? uint8_t{0} : uint8_t{' '});
    }
  }
  return memos;
}

// --- Changes with their undo ------------------------------------------------

Status Table::Insert(Record r, bool* inserted) {
  Record undo{std::string(r.header()), r.header_len};
  Status s = file_->Insert(std::move(r), inserted);
  if (s.ok() && *inserted) journal_.push_back({Undo::What::kInserted, std::move(undo)});
  return s;
}

Status Table::Remove(std::string_view h, bool* found, const RecordTree::RemoveCondition& only_if) {
  Record old;
  Status s = file_->Remove(h, found, &old, only_if);
  if (s.ok() && *found) journal_.push_back({Undo::What::kRemoved, std::move(old)});
  return s;
}

Status Table::Replace(Record r, bool* found) {
  Record old;
  Status s = file_->Replace(std::move(r), found, &old);
  if (s.ok() && *found) journal_.push_back({Undo::What::kReplaced, std::move(old)});
  return s;
}

int32_t Table::Fail(int32_t code) {
  // Best effort: the changes being undone were made moments ago in cached
  // pages, so undoing them does not normally need the disk.
  for (auto it = journal_.rbegin(); it != journal_.rend(); ++it) {
    bool done = false;
    switch (it->what) {
      case Undo::What::kInserted: file_->Remove(it->record.header(), &done); break;
      case Undo::What::kRemoved: file_->Insert(std::move(it->record), &done); break;
      case Undo::What::kReplaced: file_->Replace(std::move(it->record), &done); break;
    }
  }
  journal_.clear();
  return code;
}

// --- Keys and counters ----------------------------------------------------------

bool Table::IsIndex(int key) const {
  return ValidKey(key) && (decl_->keys[static_cast<size_t>(key - 1)].flags & kKeyIndex) != 0;
}

bool Table::NeedsBuild(int key) const {
  return IsIndex(key) && !index_entries_[static_cast<size_t>(key - 1)].has_value();
}

bool Table::EntryOf(int key, std::string_view buffer_form, uint32_t r, Record* out) const {
  auto tables = CurrentCharTables();
  return keys_[static_cast<size_t>(key - 1)].BuildEntry(buffer_form, *tables, number_,
                                                         static_cast<uint8_t>(key), r, out);
}

std::string Table::EntryHeader(int key, std::string_view buffer_form, uint32_t r) const {
  auto tables = CurrentCharTables();
  const KeyEncoder& k = keys_[static_cast<size_t>(key - 1)];
  std::string h = KindPrefix(number_, static_cast<uint8_t>(key));
  k.Encode(buffer_form, *tables, &h);
  if (k.allows_duplicates()) AppendBe32(&h, r);
  return h;
}

uint32_t Table::EntryRecord(int, const Record& entry) const { return KeyEntryRecordNumber(entry); }

int32_t Table::ReadCounter(uint8_t kind, uint32_t* count, uint32_t* second, bool* found) {
  Record r;
  Status s = file_->Get(CounterHeader(number_, kind), &r, found);
  if (!s.ok()) return s.code();
  *count = *second = 0;
  if (*found && !ParseCounterData(r.data(), count, second)) return kErrInvalidDataFile;
  return kNoError;
}

int32_t Table::WriteCounter(uint8_t kind, uint32_t count, uint32_t second) {
  Record r = CounterRecord(number_, kind, count, second);
  bool done = false;
  Status s = Replace(r, &done);
  if (s.ok() && !done) s = Insert(std::move(r), &done);
  return s.code();
}

namespace {

uint32_t Adjusted(uint32_t count, int delta) {
  if (delta < 0 && count < static_cast<uint32_t>(-delta)) return 0;  // never below zero,
  return static_cast<uint32_t>(static_cast<int64_t>(count) + delta);  // whatever an older writer left
}

}  // namespace

int32_t Table::AdjustCounter(uint8_t kind, int delta) {
  // Read and rewritten in one visit to its page: every ADD and DELETE does this.
  struct Change {
    uint32_t table;
    uint8_t kind;
    int delta;
    bool valid = true;
  } change{number_, kind, delta};
  bool found = false;
  Record old;
  // One pointer captured: the function object needs no allocation of its own.
  Status s = file_->Update(
      CounterHeader(number_, kind),
      [c = &change](const RecordView& stored, Record* next) {
        uint32_t count = 0, second = 0;
        c->valid = ParseCounterData(stored.data(), &count, &second);
        if (!c->valid) return false;
        *next = CounterRecord(c->table, c->kind, Adjusted(count, c->delta), second);
        return true;
      },
      &found, &old);
  if (!s.ok()) return s.code();
  if (!change.valid) return kErrInvalidDataFile;
  if (found) {
    journal_.push_back({Undo::What::kReplaced, std::move(old)});
    return kNoError;
  }
  return WriteCounter(kind, Adjusted(0, delta), 0);
}

Status Table::SeekEntry(int key, std::string_view h, bool after, Record* out, bool* found) {
  if (!IsIndex(key)) return file_->Seek(h, after, out, found);
  const auto& entries = *index_entries_[static_cast<size_t>(key - 1)];
  auto it = after ? entries.upper_bound(std::string(h)) : entries.lower_bound(std::string(h));
  *found = it != entries.end();
  if (*found) *out = MakeRecord(it->first, it->second);
  return Status::Ok();
}

Status Table::SeekEntryBack(int key, std::string_view h, bool before, Record* out, bool* found) {
  if (!IsIndex(key)) return file_->SeekBack(h, before, out, found);
  const auto& entries = *index_entries_[static_cast<size_t>(key - 1)];
  auto it = before ? entries.lower_bound(std::string(h)) : entries.upper_bound(std::string(h));
  *found = it != entries.begin();
  if (*found) {
    --it;
    *out = MakeRecord(it->first, it->second);
  }
  return Status::Ok();
}

// --- Stored form and memos -------------------------------------------------------

namespace {

// Text fields that own their bytes: not a GROUP, not laid OVER another field
// (directly or through an enclosing group), so each byte is converted once.
template <typename Convert>
void ConvertTextFields(const FileDeclaration& decl, const RecordLayout& layout, std::string* rec,
                       Convert convert) {
  for (size_t i = 0; i < layout.size(); ++i) {
    const FieldDescriptor& f = decl.fields[i];
    if (!IsText(f.type)) continue;
    bool overlay = false;
    for (int at = static_cast<int>(i); at >= 0; at = layout[static_cast<size_t>(at)].parent) {
      if (!decl.fields[static_cast<size_t>(at)].over.empty()) overlay = true;
    }
    if (overlay) continue;
    const FieldPlacement& p = layout[i];
    for (uint32_t e = 0; e < p.count; ++e) {
      size_t at = p.offset + size_t{e} * p.element_size;
      size_t n = p.element_size;
      if (f.type == kTypePString && n > 0) {
        ++at;  // the length byte is a count, not a character
        --n;
      }
      if (at + n <= rec->size()) convert(rec->data() + at, n);
    }
  }
}

}  // namespace

std::string Table::ToStored(std::span<const uint8_t> record) const {
  std::string s(reinterpret_cast<const char*>(record.data()),
                std::min(record.size(), record_size()));
  s.resize(record_size(), '\0');
  if ((decl_->attributes & kFileOem) != 0) {
    auto tables = CurrentCharTables();
    ConvertTextFields(*decl_, layout_, &s, [&](char* p, size_t n) { tables->ToOem(p, n); });
  }
  return s;
}

std::string Table::FromStored(std::string_view stored) const {
  std::string s(stored.substr(0, std::min(stored.size(), record_size())));
  s.resize(record_size(), '\0');
  if ((decl_->attributes & kFileOem) != 0) {
    auto tables = CurrentCharTables();
    ConvertTextFields(*decl_, layout_, &s, [&](char* p, size_t n) { tables->ToAnsi(p, n); });
  }
  return s;
}

void Table::CopyFromStored(std::string_view stored, uint8_t* out) const {
  if ((decl_->attributes & kFileOem) != 0) {
    std::string s = FromStored(stored);
    std::memcpy(out, s.data(), s.size());
    return;
  }
  const size_t n = std::min(stored.size(), record_size());
  std::memcpy(out, stored.data(), n);
  std::memset(out + n, 0, record_size() - n);
}

int32_t Table::ReadData(uint32_t r, Record* out, bool* found, bool for_change) {
  *found = false;
  if (r == 0) return kNoError;
  return file_->Get(DataHeader(number_, r), out, found, for_change).code();
}

int32_t Table::ReadMemos(uint32_t r, std::vector<std::vector<uint8_t>>* memos) {
  const bool oem = (decl_->attributes & kFileOem) != 0;
  auto tables = CurrentCharTables();
  memos->clear();
  for (size_t m = 0; m < decl_->memos.size(); ++m) {
    std::string prefix = KindPrefix(number_, kind::kMemoPiece);
    AppendBe32(&prefix, r);
    prefix.push_back(static_cast<char>(m));
    std::vector<std::string> pieces;
    std::string at = prefix;
    bool after = false;
    for (;;) {
      Record piece;
      bool found = false;
      Status s = file_->Seek(at, after, &piece, &found);
      if (!s.ok()) return s.code();
      if (!found || !StartsWith(piece.header(), prefix)) break;
      if (ParseHeader(piece.header()).number != pieces.size()) return kErrInvalidDataFile;
      pieces.emplace_back(piece.data());
      at.assign(piece.header());
      after = true;
    }
    const MemoDeclaration& decl = decl_->memos[m];
    std::string content;
    if (!JoinMemo(pieces, decl, oem, *tables, &content)) return kErrInvalidDataFile;
    if ((decl.flags & kMemoBlob) == 0) content = FillMemoBuffer(content, decl);
    memos->emplace_back(content.begin(), content.end());
  }
  return kNoError;
}

int32_t Table::WriteMemos(uint32_t r, const std::vector<std::vector<uint8_t>>& memos) {
  const bool oem = (decl_->attributes & kFileOem) != 0;
  auto tables = CurrentCharTables();
  for (size_t m = 0; m < decl_->memos.size(); ++m) {
    const MemoDeclaration& decl = decl_->memos[m];
    std::string_view content;
    if (m < memos.size()) {
      content = std::string_view(reinterpret_cast<const char*>(memos[m].data()), memos[m].size());
    }
    // A MEMO never holds more than its declared size.
    if ((decl.flags & kMemoBlob) == 0 && content.size() > decl.max_size) {
      content = content.substr(0, decl.max_size);
    }
    std::vector<std::string> pieces;
    if (!SplitMemo(content, decl, oem, *tables, &pieces)) return kErrInvalidMemoFile;
    std::string prefix = KindPrefix(number_, kind::kMemoPiece);
    AppendBe32(&prefix, r);
    prefix.push_back(static_cast<char>(m));
    for (size_t p = 0; p < pieces.size(); ++p) {
      Record piece = MakeRecord(MemoPieceHeader(number_, r, static_cast<uint8_t>(m),
                                                static_cast<uint16_t>(p)),
                                pieces[p]);
      bool done = false;
      Status s = Replace(piece, &done);
      if (s.ok() && !done) s = Insert(std::move(piece), &done);
      if (!s.ok()) return s.code();
    }
    // Pieces beyond the new length go.
    std::string from = MemoPieceHeader(number_, r, static_cast<uint8_t>(m),
                                       static_cast<uint16_t>(pieces.size()));
    if (pieces.size() < kMaxMemoPieces) {
      Status s = RemoveAll(
          file_, prefix,
          [&](const Record& piece) { return CompareHeaders(piece.header(), from) >= 0; },
          [this](std::string_view h) {
            bool gone = false;
            return Remove(h, &gone);
          });
      if (!s.ok()) return s.code();
    }
  }
  return kNoError;
}

int32_t Table::RemoveMemos(uint32_t r) {
  std::string prefix = KindPrefix(number_, kind::kMemoPiece);
  AppendBe32(&prefix, r);
  Status s = RemoveAll(
      file_, prefix, [](const Record&) { return true; },
      [this](std::string_view h) {
        bool gone = false;
        return Remove(h, &gone);
      });
  return s.code();
}

// --- Records ------------------------------------------------------------------

namespace {

// The stored record and its memo pieces, for WATCH's comparison.
std::string Snapshot(BriskenFile* file, uint32_t table, uint32_t r, std::string_view stored) {
  std::string snap(stored);
  std::string prefix = KindPrefix(table, kind::kMemoPiece);
  AppendBe32(&prefix, r);
  std::string at = prefix;
  bool after = false;
  for (;;) {
    Record piece;
    bool found = false;
    if (!file->Seek(at, after, &piece, &found).ok() || !found ||
        !StartsWith(piece.header(), prefix)) {
      return snap;
    }
    snap += piece.bytes;
    at.assign(piece.header());
    after = true;
  }
}

}  // namespace

int32_t Table::Deliver(uint32_t r, std::string_view stored, RecordBuffers b) {
  if (b.record.size() < record_size()) return kErrInvalidRecordDeclaration;
  // The hold is taken before anything changes, so that a record someone else
  // holds leaves the buffers as they were.
  bool locked_now = false;
  if (hold_requested_ && locks_ != nullptr && !(holding_ && held_ == r)) {
    int32_t code = locks_->TryLock(r, this);
    if (code == kErrAccessDenied) return kErrRecordHeld;
    if (code != kNoError) return code;
    locked_now = true;
  }
  std::vector<std::vector<uint8_t>> memos;
  const bool with_memos = b.memos != nullptr && !skip_memos_;
  if (with_memos) {
    int32_t code = ReadMemos(r, &memos);
    if (code != kNoError) {
      if (locked_now) locks_->Unlock(r, this);
      return code;
    }
  }
  CopyFromStored(stored, b.record.data());
  if (with_memos) *b.memos = std::move(memos);
  memos_skipped_ = b.memos != nullptr && skip_memos_;
  skip_memos_ = false;
  current_ = r;
  last_read_.assign(stored);
  // Another read frees the record held so far.
  if (holding_ && !(hold_requested_ && held_ == r)) Unhold();
  if (hold_requested_) {
    holding_ = true;
    held_ = r;
  }
  hold_requested_ = false;
  if (watch_requested_) {
    watch_copy_ = Snapshot(file_, number_, r, stored);
    watch_requested_ = false;
  } else {
    watch_copy_.reset();
  }
  return kNoError;
}

int32_t Table::Add(RecordBuffers b) {
  if (b.record.size() < record_size()) return kErrInvalidRecordDeclaration;
  if (!file_->writable()) return kErrAccessDenied;
  uint32_t r = 0;
  // The number stays used even when the ADD fails.
  Status s = file_->NextNumber(&r);
  if (!s.ok()) return s.code();
  Begin();
  const std::string_view buffer(reinterpret_cast<const char*>(b.record.data()), record_size());
  for (int k = 1; k <= key_count(); ++k) {
    if (IsIndex(k)) continue;
    Record entry;
    if (!EntryOf(k, buffer, r, &entry)) continue;
    bool inserted = false;
    s = Insert(std::move(entry), &inserted);
    if (!s.ok()) return Fail(s);
    if (!inserted) return Fail(kErrDuplicateKey);
    int32_t code = AdjustCounter(static_cast<uint8_t>(k), 1);
    if (code != kNoError) return Fail(code);
  }
  std::string stored = ToStored(b.record);
  bool inserted = false;
  s = Insert(MakeRecord(DataHeader(number_, r), stored), &inserted);
  if (!s.ok()) return Fail(s);
  if (!inserted) return Fail(kErrInvalidDataFile);
  int32_t code = AdjustCounter(kind::kData, 1);
  if (code == kNoError && b.memos != nullptr) code = WriteMemos(r, *b.memos);
  if (code != kNoError) return Fail(code);
  journal_.clear();
  current_ = r;
  last_read_ = std::move(stored);
  memos_skipped_ = false;
  watch_copy_.reset();
  return kNoError;
}

int32_t Table::Put(RecordBuffers b) {
  if (current_ == 0) return kErrRecordNotAvailable;
  return Rewrite(current_, b);
}

int32_t Table::PutAt(uint32_t r, RecordBuffers b) { return Rewrite(r, b); }

int32_t Table::Rewrite(uint32_t r, RecordBuffers b) {
  if (b.record.size() < record_size()) return kErrInvalidRecordDeclaration;
  if (!file_->writable()) return kErrAccessDenied;
  // A record held elsewhere is not written; one this table holds already is ours.
  if (locks_ == nullptr || (holding_ && held_ == r)) return RewriteLocked(r, b);
  int32_t code = locks_->TryLock(r, this);
  if (code != kNoError) return code;
  code = RewriteLocked(r, b);
  locks_->Unlock(r, this);
  return code;
}

int32_t Table::RewriteLocked(uint32_t r, RecordBuffers b) {
  Record old;
  bool found = false;
  int32_t code = ReadData(r, &old, &found, true);
  if (code != kNoError) return code;
  if (!found) return kErrRecordNotAvailable;
  if (watch_copy_ && r == current_ && Snapshot(file_, number_, r, old.data()) != *watch_copy_) {
    return kErrRecordChanged;
  }
  Begin();
  const std::string old_buffer = FromStored(old.data());
  const std::string_view buffer(reinterpret_cast<const char*>(b.record.data()), record_size());
  for (int k = 1; k <= key_count(); ++k) {
    if (IsIndex(k)) continue;
    Record before, after;
    bool had = EntryOf(k, old_buffer, r, &before);
    bool has = EntryOf(k, buffer, r, &after);
    if (had && has && before.bytes == after.bytes) continue;
    bool done = false;
    Status s;
    if (has) {
      s = Insert(std::move(after), &done);
      if (!s.ok()) return Fail(s);
      if (!done) return Fail(kErrDuplicateKey);
    }
    if (had) {
      s = Remove(before.header(), &done);
      if (!s.ok()) return Fail(s);
    }
    if (had != has) {
      code = AdjustCounter(static_cast<uint8_t>(k), has ? 1 : -1);
      if (code != kNoError) return Fail(code);
    }
  }
  std::string stored = ToStored(b.record);
  Status s = Replace(MakeRecord(DataHeader(number_, r), stored), &found);
  if (!s.ok()) return Fail(s);
  // Memos read with NOMEMO were never loaded: writing the buffers back would
  // replace the stored memos with whatever the buffers held.
  const bool keep_memos = memos_skipped_ && r == current_;
  if (b.memos != nullptr && !keep_memos) {
    code = WriteMemos(r, *b.memos);
    if (code != kNoError) return Fail(code);
  }
  journal_.clear();
  if (r != current_) memos_skipped_ = false;
  current_ = r;
  last_read_ = std::move(stored);
  if (watch_copy_) watch_copy_ = Snapshot(file_, number_, r, last_read_);
  return kNoError;
}

int32_t Table::Delete() {
  if (current_ == 0) return kErrRecordNotAvailable;
  if (!file_->writable()) return kErrAccessDenied;
  const uint32_t r = current_;
  Record old;
  bool found = false;
  int32_t code = ReadData(r, &old, &found, true);
  if (code != kNoError) return code;
  if (!found) return kErrRecordNotAvailable;
  Begin();
  const std::string old_buffer = FromStored(old.data());
  for (int k = 1; k <= key_count(); ++k) {
    if (IsIndex(k)) continue;
    Record entry;
    if (!EntryOf(k, old_buffer, r, &entry)) continue;
    // Only this record's own entry goes.
    Status s = Remove(entry.header(), &found,
                      [r](const RecordView& stored) { return KeyEntryRecordNumber(stored) == r; });
    if (!s.ok()) return Fail(s);
    if (!found) continue;
    code = AdjustCounter(static_cast<uint8_t>(k), -1);
    if (code != kNoError) return Fail(code);
  }
  code = RemoveMemos(r);
  if (code != kNoError) return Fail(code);
  Status s = Remove(DataHeader(number_, r), &found);
  if (!s.ok()) return Fail(s);
  code = AdjustCounter(kind::kData, -1);
  if (code != kNoError) return Fail(code);
  journal_.clear();
  current_ = 0;
  Unhold();
  watch_copy_.reset();
  return kNoError;
}

int32_t Table::GetByKey(int key, RecordBuffers b) {
  if (!ValidKey(key)) return kErrInvalidParameterCount;
  if (NeedsBuild(key)) return kErrKeyMustBeRebuilt;
  if (b.record.size() < record_size()) return kErrInvalidRecordDeclaration;
  const KeyEncoder& k = keys_[static_cast<size_t>(key - 1)];
  std::string h = KindPrefix(number_, static_cast<uint8_t>(key));
  k.Encode(std::string_view(reinterpret_cast<const char*>(b.record.data()), record_size()),
           *CurrentCharTables(), &h);
  Record entry;
  bool found = false;
  Status s = SeekEntry(key, h, false, &entry, &found);
  if (!s.ok()) return s.code();
  // With DUP the entry is the value followed by R; without, exactly the value.
  if (!found || !StartsWith(entry.header(), h) ||
      entry.header().size() != h.size() + (k.allows_duplicates() ? 4 : 0)) {
    return kErrRecordNotFound;
  }
  uint32_t r = EntryRecord(key, entry);
  Record data;
  int32_t code = ReadData(r, &data, &found);
  if (code != kNoError) return code;
  if (!found) return IsIndex(key) ? kErrRecordNotFound : kErrKeyMustBeRebuilt;
  return Deliver(r, data.data(), b);
}

int32_t Table::GetByNumber(uint32_t r, RecordBuffers b) {
  Record data;
  bool found = false;
  int32_t code = ReadData(r, &data, &found);
  if (code != kNoError) return code;
  if (!found) return kErrRecordNotFound;
  return Deliver(r, data.data(), b);
}

int32_t Table::Duplicate(int key, std::span<const uint8_t> record, bool* duplicate) {
  *duplicate = false;
  if (key != 0 && !ValidKey(key)) return kErrInvalidParameterCount;
  if (record.size() < record_size()) return kErrInvalidRecordDeclaration;
  std::string buffer(reinterpret_cast<const char*>(record.data()), record_size());
  for (int k = 1; k <= key_count(); ++k) {
    if ((key != 0 && k != key) || keys_[static_cast<size_t>(k - 1)].allows_duplicates()) continue;
    if (NeedsBuild(k)) continue;
    Record entry;
    if (!EntryOf(k, buffer, 0, &entry)) continue;
    Record stored;
    bool found = false;
    Status s = SeekEntry(k, entry.header(), false, &stored, &found);
    if (!s.ok()) return s.code();
    if (found && stored.header() == entry.header() && EntryRecord(k, stored) != current_) {
      *duplicate = true;
      return kNoError;
    }
  }
  return kNoError;
}

int32_t Table::Records(int key, uint32_t* count) {
  *count = 0;
  if (key != 0 && !ValidKey(key)) return kErrInvalidParameterCount;
  if (IsIndex(key)) {
    if (NeedsBuild(key)) return kErrKeyMustBeRebuilt;
    *count = static_cast<uint32_t>(index_entries_[static_cast<size_t>(key - 1)]->size());
    return kNoError;
  }
  uint32_t second = 0;
  bool found = false;
  return ReadCounter(key == 0 ? kind::kData : static_cast<uint8_t>(key), count, &second, &found);
}

// --- Sequential processing ---------------------------------------------------------

std::string Table::OrderPrefix(int key) const {
  return KindPrefix(number_, key == 0 ? kind::kData : static_cast<uint8_t>(key));
}

int32_t Table::SetFile() {
  order_ = 0;
  Start start;
  start.next = OrderPrefix(0);
  start.prev = KindPrefix(number_, kind::kData + 1);
  start.prev_inclusive = false;
  pending_ = std::move(start);
  sequencing_ = true;
  position_.clear();
  return kNoError;
}

int32_t Table::SetFilePtr(uint32_t r) {
  if (r == 0) return SetFile();
  order_ = 0;
  Start start;
  start.next = start.prev = DataHeader(number_, r);
  pending_ = std::move(start);
  sequencing_ = true;
  position_.clear();
  return kNoError;
}

int32_t Table::SetKey(int key) {
  if (!ValidKey(key)) return kErrInvalidParameterCount;
  if (NeedsBuild(key)) return kErrKeyMustBeRebuilt;
  order_ = key;
  Start start;
  start.next = OrderPrefix(key);
  start.prev = KindPrefix(number_, static_cast<uint8_t>(key + 1));
  start.prev_inclusive = false;
  pending_ = std::move(start);
  sequencing_ = true;
  position_.clear();
  return kNoError;
}

int32_t Table::SetKeyPtr(int key, uint32_t r) {
  if (r == 0) return SetKey(key);
  if (!ValidKey(key)) return kErrInvalidParameterCount;
  if (NeedsBuild(key)) return kErrKeyMustBeRebuilt;
  Record data;
  bool found = false;
  int32_t code = ReadData(r, &data, &found);
  if (code != kNoError) return code;
  if (!found) return kErrRecordNotFound;
  order_ = key;
  Start start;
  start.next = start.prev = EntryHeader(key, FromStored(data.data()), r);
  pending_ = std::move(start);
  sequencing_ = true;
  position_.clear();
  return kNoError;
}

int32_t Table::SetKeyValue(int key, std::span<const uint8_t> record, uint32_t r) {
  if (!ValidKey(key)) return kErrInvalidParameterCount;
  if (NeedsBuild(key)) return kErrKeyMustBeRebuilt;
  if (record.size() < record_size()) return kErrInvalidRecordDeclaration;
  std::string_view buffer(reinterpret_cast<const char*>(record.data()), record_size());
  const KeyEncoder& k = keys_[static_cast<size_t>(key - 1)];
  order_ = key;
  Start start;
  if (r != 0) {
    start.next = start.prev = EntryHeader(key, buffer, r);
  } else {
    start.next = OrderPrefix(key);
    k.Encode(buffer, *CurrentCharTables(), &start.next);
    start.prev = start.next;
    // The last entry not above the value: past every record number it may carry.
    if (k.allows_duplicates()) start.prev.append(4, '\xFF');
  }
  pending_ = std::move(start);
  sequencing_ = true;
  position_.clear();
  return kNoError;
}

int32_t Table::Look(bool forward, Record* entry, bool* found) {
  *found = false;
  if (!sequencing_) return kNoError;
  Status s;
  if (pending_) {
    s = forward ? SeekEntry(order_, pending_->next, !pending_->next_inclusive, entry, found)
                : SeekEntryBack(order_, pending_->prev, !pending_->prev_inclusive, entry, found);
  } else if (!position_.empty()) {
    s = forward ? SeekEntry(order_, position_, true, entry, found)
                : SeekEntryBack(order_, position_, true, entry, found);
  }
  if (!s.ok()) return s.code();
  if (*found) {
    std::string prefix = OrderPrefix(order_);
    *found = StartsWith(entry->header(), prefix) &&
             (order_ != 0 || entry->header().size() == kDataHeaderLength);
  }
  return kNoError;
}

int32_t Table::Step(bool forward, RecordBuffers b) {
  if (!sequencing_) return kErrRecordNotAvailable;
  if (order_ != 0 && NeedsBuild(order_)) return kErrKeyMustBeRebuilt;
  // A failure leaves the position as it was; it only moves before one when
  // entries of an INDEX are passed over, so only then is it saved.
  const std::optional<Start> saved_pending = pending_;
  std::optional<std::string> saved_position;
  Record& entry = step_entry_;
  Record& data = step_data_;
  for (;;) {
    bool found = false;
    int32_t code = Look(forward, &entry, &found);
    if (code == kNoError && !found) code = kErrRecordNotAvailable;
    uint32_t r = 0;
    const Record* delivered = &data;
    if (code == kNoError) {
      if (order_ == 0) {
        r = ParseHeader(entry.header()).record;
        delivered = &entry;
      } else {
        r = EntryRecord(order_, entry);
        code = ReadData(r, &data, &found);
        if (code == kNoError && !found) {
          if (IsIndex(order_)) {
            // An INDEX is not kept up to date: its entries of deleted records are passed over.
            if (!saved_position) saved_position = position_;
            position_.assign(entry.header());
            pending_.reset();
            continue;
          }
          code = kErrKeyMustBeRebuilt;
        }
      }
    }
    if (code == kNoError) code = Deliver(r, delivered->data(), b);
    if (code != kNoError) {
      pending_ = saved_pending;
      if (saved_position) position_ = std::move(*saved_position);
      return code;
    }
    // In record order the entry is the data record itself: its header is the position.
    position_.assign(entry.header());
    pending_.reset();
    return kNoError;
  }
}

int32_t Table::Skip(int64_t n) {
  if (!sequencing_) return kErrRecordNotAvailable;
  if (order_ != 0 && NeedsBuild(order_)) return kErrKeyMustBeRebuilt;
  const bool forward = n >= 0;
  for (int64_t i = 0; i < (forward ? n : -n); ++i) {
    Record entry;
    bool found = false;
    int32_t code = Look(forward, &entry, &found);
    if (code != kNoError) return code;
    if (!found) break;
    position_.assign(entry.header());
    pending_.reset();
  }
  return kNoError;
}

int32_t Table::AtEnd(bool forward, bool* at_end) {
  *at_end = true;
  if (!sequencing_) return kNoError;
  if (order_ != 0 && NeedsBuild(order_)) return kErrKeyMustBeRebuilt;
  Record entry;
  bool found = false;
  int32_t code = Look(forward, &entry, &found);
  if (code == kNoError) *at_end = !found;
  return code;
}

int32_t Table::Position(int key, std::string* position) {
  if (key != 0 && !ValidKey(key)) return kErrInvalidParameterCount;
  if (current_ == 0) return kErrRecordNotAvailable;
  position->clear();
  AppendBe32(position, current_);
  if (key != 0) {
    keys_[static_cast<size_t>(key - 1)].Encode(FromStored(last_read_), *CurrentCharTables(),
                                               position);
  }
  return kNoError;
}

int32_t Table::Reset(int key, std::string_view position) {
  if (key != 0 && !ValidKey(key)) return kErrInvalidParameterCount;
  if (NeedsBuild(key)) return kErrKeyMustBeRebuilt;
  if (position.size() < 4) return kErrInvalidParameterCount;
  const uint32_t r = ReadBe32(position, 0);
  if (key == 0) return SetFilePtr(r);
  const KeyEncoder& k = keys_[static_cast<size_t>(key - 1)];
  if (position.size() != 4 + k.length()) return kErrInvalidParameterCount;
  Start start;
  start.next = OrderPrefix(key);
  start.next.append(position.substr(4));
  if (k.allows_duplicates()) AppendBe32(&start.next, r);
  start.prev = start.next;
  order_ = key;
  pending_ = std::move(start);
  sequencing_ = true;
  position_.clear();
  return kNoError;
}

int32_t Table::Reget(int key, std::string_view position, RecordBuffers b) {
  if (key != 0 && !ValidKey(key)) return kErrInvalidParameterCount;
  if (position.size() < 4) return kErrInvalidParameterCount;
  return GetByNumber(ReadBe32(position, 0), b);
}

// --- Whole table ------------------------------------------------------------------------

int32_t Table::BuildKey(int key, std::map<std::string, std::string>* index) {
  const std::string prefix = OrderPrefix(key);
  if (index == nullptr) {
    Status s = RemoveAll(
        file_, prefix, [](const Record&) { return true; },
        [this](std::string_view h) {
          bool gone = false;
          return Remove(h, &gone);
        });
    if (!s.ok()) return s.code();
  }
  const std::string data_prefix = OrderPrefix(0);
  std::string at = data_prefix;
  bool after = false;
  uint32_t count = 0;
  for (;;) {
    Record data;
    bool found = false;
    Status s = file_->Seek(at, after, &data, &found);
    if (!s.ok()) return s.code();
    if (!found || !StartsWith(data.header(), data_prefix)) break;
    at.assign(data.header());
    after = true;
    const uint32_t r = ParseHeader(data.header()).record;
    Record entry;
    if (!EntryOf(key, FromStored(data.data()), r, &entry)) continue;
    if (index != nullptr) {
      if (!index->emplace(std::string(entry.header()), std::string(entry.data())).second) {
        return kErrDuplicateKey;
      }
    } else {
      bool inserted = false;
      s = Insert(std::move(entry), &inserted);
      if (!s.ok()) return s.code();
      if (!inserted) return kErrDuplicateKey;
    }
    ++count;
  }
  if (index != nullptr) return kNoError;
  uint32_t old = 0, second = 0;
  bool found = false;
  int32_t code = ReadCounter(static_cast<uint8_t>(key), &old, &second, &found);
  if (code != kNoError) return code;
  return WriteCounter(static_cast<uint8_t>(key), count, second);
}

int32_t Table::Build(int key) {
  if (key != 0 && !ValidKey(key)) return kErrInvalidParameterCount;
  if (!IsIndex(key) && !file_->writable() && (key != 0 || key_count() > 0)) {
    // Maintained keys live in the file.
    bool any_maintained = false;
    for (int k = 1; k <= key_count(); ++k) {
      if ((key == 0 || k == key) && !IsIndex(k)) any_maintained = true;
    }
    if (any_maintained) return kErrAccessDenied;
  }
  Begin();
  std::vector<std::pair<int, std::map<std::string, std::string>>> built;
  for (int k = 1; k <= key_count(); ++k) {
    if (key != 0 && k != key) continue;
    if (IsIndex(k)) {
      std::map<std::string, std::string> entries;
      int32_t code = BuildKey(k, &entries);
      if (code != kNoError) return Fail(code);
      built.emplace_back(k, std::move(entries));
    } else {
      int32_t code = BuildKey(k, nullptr);
      if (code != kNoError) return Fail(code);
    }
  }
  journal_.clear();
  for (auto& [k, entries] : built) index_entries_[static_cast<size_t>(k - 1)] = std::move(entries);
  return kNoError;
}

int32_t Table::Empty() {
  if (!file_->writable()) return kErrAccessDenied;
  Begin();
  Status s = RemoveAll(
      file_, TablePrefix(number_),
      [](const Record& r) {
        uint8_t kind = static_cast<uint8_t>(r.bytes[4]);
        return kind <= kind::kData || kind == kind::kMemoPiece;
      },
      [this](std::string_view h) {
        bool gone = false;
        return Remove(h, &gone);
      });
  if (!s.ok()) return Fail(s);
  for (int k = 0; k <= key_count(); ++k) {
    if (IsIndex(k)) continue;
    uint8_t kind = k == 0 ? kind::kData : static_cast<uint8_t>(k);
    uint32_t count = 0, second = 0;
    bool found = false;
    int32_t code = ReadCounter(kind, &count, &second, &found);
    if (code == kNoError && found) code = WriteCounter(kind, 0, second);
    if (code != kNoError) return Fail(code);
  }
  journal_.clear();
  for (auto& entries : index_entries_) {
    if (entries) entries->clear();
  }
  current_ = 0;
  sequencing_ = false;
  pending_.reset();
  position_.clear();
  Unhold();
  watch_copy_.reset();
  return kNoError;
}

int32_t Table::GetFlags(uint32_t* flags) {
  uint32_t count = 0;
  bool found = false;
  return ReadCounter(kind::kData, &count, flags, &found);
}

int32_t Table::SetFlags(uint32_t flags) {
  uint32_t count = 0, old = 0;
  bool found = false;
  int32_t code = ReadCounter(kind::kData, &count, &old, &found);
  if (code != kNoError) return code;
  Begin();
  code = WriteCounter(kind::kData, count, flags);
  if (code != kNoError) return Fail(code);
  journal_.clear();
  return kNoError;
}

}  // namespace korvex::brisken
