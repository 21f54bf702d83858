#include "data/brisken/bkf_driver.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "data/brisken/brisken_file.h"
#include "data/brisken/file_name.h"
#include "data/brisken/record_hold.h"
#include "data/brisken/table.h"
#include "data/brisken/table_copy.h"
#include "data/brisken/transaction.h"
#include "data/driver/error_codes.h"
#include "data/driver/operation.h"
#include "data/driver/properties.h"
#include "runtime/os/clock.h"
#include "runtime/os/file.h"

namespace korvex::brisken {

using namespace driver;

namespace {

constexpr uint32_t kDefaultOpenMode = 0x22;   // read/write, deny write
constexpr uint32_t kDefaultShareMode = 0x42;  // read/write, deny none

// One operating-system file used by the tables of this process.
struct SharedFile {
  std::string path;
  std::unique_ptr<BriskenFile> file;
  // The control blocks of the process share the handle and its cache: one
  // operation at a time.
  std::recursive_mutex mutex;
  // Record and table bytes taken through the handle.
  std::unique_ptr<HandleRecordLocks> locks;
  // Set by the first update inside a transaction: every reader slot stays
  // held until COMMIT or ROLLBACK, so no other process commits underneath the
  // pending changes (which would make them impossible to write). Accesses
  // meanwhile neither give the slots up nor commit.
  bool pinned = false;
  // Control blocks reading many records in a row (SEND "READHOLD=ON", a view
  // building a sorted run): while any holds, a read access keeps its reader
  // slot afterwards, so the next one needs no lock call and no header read
  // (no other process commits while a slot is held). A writer elsewhere
  // waits for the slot, so it is given up every kReadsPerHold reads even
  // while held.
  int read_holds = 0;
  uint32_t reads_under_hold = 0;
};

constexpr uint32_t kReadsPerHold = 4096;

// Gives up the slot a read hold kept once nothing holds the file any more.
void EndReadHold(SharedFile& shared) {
  if (shared.read_holds == 0 && !shared.pinned) {
    shared.reads_under_hold = 0;
    shared.file->UnlockAccess();
  }
}

// The transaction of one thread: LOGOUT starts it over the files named, COMMIT
// and ROLLBACK end it. The files are kept open until then.
struct ThreadTransaction {
  Transaction transaction;
  std::vector<std::shared_ptr<SharedFile>> files;

  bool Lists(const SharedFile& shared) const {
    return std::any_of(files.begin(), files.end(),
                       [&](const std::shared_ptr<SharedFile>& f) { return f.get() == &shared; });
  }
  ~ThreadTransaction();
};

ThreadTransaction& CurrentTransaction() {
  thread_local ThreadTransaction current;
  return current;
}

// One access to an open file. Around the work the reader slot (or, for an
// update, every slot) is held, so that another process's commit is seen first
// and none runs meanwhile.
class Access {
 public:
  Access(SharedFile& shared, bool update)
      : guard_(shared.mutex), shared_(shared), file_(*shared.file),
        update_(update && file_.writable()) {
    Status s = update_ ? file_.LockForWrite() : file_.LockForRead(true);
    code_ = s.ok() ? kNoError : s.code();
    if (code_ == kNoError && update_ && CurrentTransaction().Lists(shared)) shared.pinned = true;
  }
  ~Access() {
    if (code_ != kNoError || shared_.pinned) return;
    if (!update_ && shared_.read_holds > 0 && ++shared_.reads_under_hold < kReadsPerHold) return;
    shared_.reads_under_hold = 0;
    file_.UnlockAccess();
  }
  Access(const Access&) = delete;
  Access& operator=(const Access&) = delete;

  int32_t code() const { return code_; }
  // Ends an update. On a file other processes may write too the change is
  // committed before the slots are given up: left pending, the next commit of
  // another process would make it impossible to write (and so lose it).
  int32_t Finish(int32_t result) {
    if (code_ != kNoError || !update_ || !file_.shared_for_writing() || shared_.pinned) {
      return result;
    }
    int32_t committed = file_.Commit().code();
    return result != kNoError ? result : committed;
  }

 private:
  std::unique_lock<std::recursive_mutex> guard_;
  SharedFile& shared_;
  BriskenFile& file_;
  bool update_;
  int32_t code_ = kNoError;
};

// Between tries for a record or table that another holder has.
constexpr int kRetryPauseMs = 10;

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::mutex registry_mutex;
std::map<std::string, std::weak_ptr<SharedFile>>& Registry() {
  static std::map<std::string, std::weak_ptr<SharedFile>> files;
  return files;
}

std::mutex tcf_mutex;
std::string& TcfName() {
  static std::string name;
  return name;
}

int32_t OsCode(const os::Status& s) {
  switch (s.kind()) {
    case os::ErrorKind::NotFound: return kErrFileNotFound;
    case os::ErrorKind::PathNotFound: return kErrPathNotFound;
    case os::ErrorKind::AccessDenied:
    case os::ErrorKind::SharingViolation:
    case os::ErrorKind::LockViolation: return kErrAccessDenied;
    default: return kErrFileSystem;
  }
}

// The open file at path, shared with other users in the process, or opened now.
// owner: the cipher's text ("" for a plain file).
int32_t Acquire(const std::string& path, uint32_t mode, const std::string& owner,
                std::shared_ptr<SharedFile>* out) {
  std::lock_guard<std::mutex> lock(registry_mutex);
  auto& files = Registry();
  auto it = files.find(path);
  if (it != files.end()) {
    if (std::shared_ptr<SharedFile> shared = it->second.lock()) {
      // One handle serves the process; it cannot gain write access afterwards.
      if ((mode & mode::kAccessMask) != 0 && !shared->file->writable()) return kErrAccessDenied;
      *out = std::move(shared);
      return kNoError;
    }
  }
  auto shared = std::make_shared<SharedFile>();
  shared->path = path;
  OpenOptions options;
  options.owner = owner;
  Status s = BriskenFile::Open(path, mode, options, &shared->file);
  if (!s.ok()) return s.code();
  shared->locks = std::make_unique<HandleRecordLocks>(shared->file->handle());
  files[path] = shared;
  *out = std::move(shared);
  return kNoError;
}

// Gives up one use; the last one commits and closes the file.
int32_t Release(std::shared_ptr<SharedFile>* shared) {
  if (!*shared) return kNoError;
  std::lock_guard<std::mutex> lock(registry_mutex);
  int32_t code = kNoError;
  if (shared->use_count() == 1) {
    (*shared)->locks->Clear();
    code = (*shared)->file->Close().code();
    Registry().erase((*shared)->path);
  }
  shared->reset();
  return code;
}

// Ends the thread's transaction: the slots held for it are given up and the
// files it kept open are released (the last user closes them).
void EndTransaction(ThreadTransaction& tx) {
  for (std::shared_ptr<SharedFile>& shared : tx.files) {
    {
      std::lock_guard<std::recursive_mutex> guard(shared->mutex);
      if (shared->pinned) {
        shared->pinned = false;
        shared->file->UnlockAccess();
      }
    }
    Release(&shared);
  }
  tx.files.clear();
}

// A thread that ends inside a transaction drops its changes rather than
// writing half of them when the files close.
ThreadTransaction::~ThreadTransaction() {
  if (transaction.active()) transaction.Rollback();
  EndTransaction(*this);
}

// The cipher's text of a file: its owner when it has ENCRYPT.
std::string OwnerOf(const FileControlBlock& file) {
  return (file.attributes & kFileEncrypt) != 0 ? file.owner : std::string();
}

bool OpenElsewhere(const std::string& path) {
  std::lock_guard<std::mutex> lock(registry_mutex);
  auto it = Registry().find(path);
  return it != Registry().end() && !it->second.expired();
}

class BkfState : public DriverState {
 public:
  // A control block dropped while open still gets its changes written.
  ~BkfState() override {
    table.reset();
    if (shared) {
      shared->locks->UnlockAll(this);
      EndHolds();
    }
    Release(&shared);
  }
  // Takes or gives up this control block's read hold asked for by SEND; the
  // holds of view operations (HoldReads) are counted apart, so that neither
  // ends the other's.
  void SetReadHold(bool on) {
    if (!shared || on == read_hold) return;
    read_hold = on;
    CountHold(on);
  }
  void CountHold(bool on) {
    std::lock_guard<std::recursive_mutex> guard(shared->mutex);
    if (on) {
      ++shared->read_holds;
    } else {
      --shared->read_holds;
      EndReadHold(*shared);
    }
  }
  int CurrentKey() const override { return table ? table->current_key() : 0; }
  bool IsWatched() const override { return table && table->watched(); }
  bool IsHolding() const override { return table && table->holding(); }
  void HoldReads(bool on) override {
    if (!shared || (!on && run_holds == 0)) return;
    run_holds += on ? 1 : -1;
    CountHold(on);
  }
  // At the close: every hold of this block ends.
  void EndHolds() {
    SetReadHold(false);
    for (; run_holds > 0 && shared; --run_holds) CountHold(false);
    run_holds = 0;
  }

  std::shared_ptr<SharedFile> shared;
  std::unique_ptr<Table> table;
  FileName name;
  bool suffix = false;      // opened through "\!" and a table name
  bool locked = false;      // LOCK in force
  int64_t hold_seconds = -1;  // HOLD's time limit; -1: none
  bool full_build = false;  // SEND "FULLBUILD"
  bool read_hold = false;   // SEND "READHOLD"
  int run_holds = 0;        // HoldReads counted and not yet ended
};

BkfState& StateOf(FileControlBlock& file) { return static_cast<BkfState&>(*file.state); }

int32_t ParseName(const FileControlBlock& file, FileName* name, bool* suffix) {
  const std::string& text = file.FileName();
  if (text.empty()) return kErrInvalidFilename;
  Status s = ParseFileName(text, name);
  if (!s.ok()) return s.code();
  *suffix = text.find("\\!") != std::string::npos;
  return kNoError;
}

int32_t KeyArg(const FileControlBlock& file, const Arguments& args, int* key) {
  const KeyDeclaration* decl = nullptr;
  if (!args.GetKey(0, &decl)) return kErrInvalidParameterCount;
  *key = KeyNumber(file.declaration(), decl);
  return *key == 0 ? kErrInvalidParameterCount : kNoError;
}

// A position or other byte string given as a buffer or a text.
bool BytesArg(const Arguments& args, size_t index, std::string* out) {
  std::span<uint8_t> buffer;
  std::string_view text;
  if (args.GetBuffer(index, &buffer)) {
    out->assign(reinterpret_cast<const char*>(buffer.data()), buffer.size());
    return true;
  }
  if (args.GetText(index, &text)) {
    out->assign(text);
    return true;
  }
  return false;
}

// Hands bytes back through a text answer or into a buffer (78 when it is too small).
int32_t AnswerBytes(const Arguments& args, size_t index, const std::string& bytes) {
  std::string* text = nullptr;
  std::span<uint8_t> buffer;
  if (args.GetTextAnswer(index, &text)) {
    *text = bytes;
    return kNoError;
  }
  if (args.GetBuffer(index, &buffer)) {
    if (buffer.size() < bytes.size()) return kErrInvalidParameterCount;
    std::memcpy(buffer.data(), bytes.data(), bytes.size());
    return kNoError;
  }
  return kErrInvalidParameterCount;
}

int32_t AnswerNumber(const Arguments& args, size_t index, int64_t value) {
  int64_t* place = nullptr;
  if (!args.GetNumberAnswer(index, &place)) return kErrInvalidParameterCount;
  *place = value;
  return kNoError;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
  auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    size_t j = 0;
    while (j < word.size() && up(text[i + j]) == word[j]) ++j;
    if (j == word.size()) return true;
  }
  return false;
}

class Runner {
 public:
  Runner(FileControlBlock& file, const Arguments& args, int32_t* answer)
      : file_(file), args_(args), answer_(answer), state_(StateOf(file)) {}

  int32_t Run(int op);

 private:
  RecordBuffers Buffers() { return {file_.record(), &file_.memos}; }
  Table* table() { return state_.table.get(); }

  int32_t Open(uint32_t default_mode);
  int32_t Create();
  int32_t Close();
  int32_t RemoveOp();
  int32_t CopyOp(bool move);
  int32_t Send();
  int32_t Flush();
  int32_t Property(bool set);
  int32_t Logout();
  int32_t EndLogout(bool commit);
  // The operations on an open table, run inside an access.
  int32_t TableOp(int op, Table* t);
  static bool IsUpdate(int op);
  int32_t Hold(bool with_seconds);
  int32_t LockTable(bool with_seconds);

  FileControlBlock& file_;
  const Arguments& args_;
  int32_t* answer_;
  BkfState& state_;
};

int32_t Runner::Open(uint32_t default_mode) {
  if (table()) return kErrFileAlreadyOpen;
  int64_t mode = default_mode;
  args_.GetNumber(0, &mode);
  int32_t code = ParseName(file_, &state_.name, &state_.suffix);
  // A missing file is not made as a side effect of an OPEN that then fails.
  if (code == kNoError && !os::FileExists(state_.name.path)) code = kErrFileNotFound;
  if (code == kNoError) {
    code = Acquire(state_.name.path, static_cast<uint32_t>(mode) & ~mode::kCreate, OwnerOf(file_),
                   &state_.shared);
  }
  if (code == kNoError) {
    Access access(*state_.shared, false);
    code = access.code();
    if (code == kNoError) {
      code = Table::Open(state_.shared->file.get(), state_.name.table, file_.declaration(),
                         &state_.table);
    }
    if (code == kNoError) state_.table->SetRecordLocks(state_.shared->locks.get());
  }
  if (code == kNoError && file_.record().size() < state_.table->record_size()) {
    code = kErrInvalidRecordDeclaration;
  }
  if (code != kNoError) {
    state_.table.reset();
    Release(&state_.shared);
    file_.flags |= kFcbDiscardState;
  }
  return code;
}

int32_t Runner::Create() {
  if ((file_.attributes & kFileCreate) == 0) return kErrNoCreateAttribute;
  if (table()) return kErrFileAlreadyOpen;
  FileName name;
  bool suffix = false;
  int32_t code = ParseName(file_, &name, &suffix);
  if (code != kNoError) return code;
  uint32_t mode = mode::kDenyNone | 2;
  // Without a table name the file is made anew; a named table is replaced on its
  // own, so the file's other tables survive.
  if (!suffix) {
    if (OpenElsewhere(name.path)) return kErrAccessDenied;
    mode |= mode::kCreate;
  }
  std::shared_ptr<SharedFile> shared;
  code = Acquire(name.path, mode, OwnerOf(file_), &shared);
  if (code != kNoError) return code;
  {
    Access access(*shared, true);
    code = access.code();
    std::unique_ptr<Table> t;
    if (code == kNoError) code = Table::Create(shared->file.get(), name.table, file_.declaration(), &t);
    t.reset();
    if (code == kNoError) code = shared->file->Commit().code();
  }
  int32_t closed = Release(&shared);
  return code != kNoError ? code : closed;
}

int32_t Runner::Close() {
  if (!table()) return kErrFileNotOpen;
  // Every record and table byte of this control block goes with it.
  state_.table.reset();
  state_.shared->locks->UnlockAll(&state_);
  state_.EndHolds();
  state_.locked = false;
  file_.flags |= kFcbDiscardState;
  return Release(&state_.shared);
}

int32_t Runner::RemoveOp() {
  FileName name;
  bool suffix = false;
  int32_t code = ParseName(file_, &name, &suffix);
  if (code != kNoError) return code;
  if (table()) {
    code = Close();
    if (code != kNoError) return code;
  }
  if (suffix) {
    // Only the named table goes; the file and its other tables stay.
    std::shared_ptr<SharedFile> shared;
    if (!os::FileExists(name.path)) return kErrFileNotFound;
    code = Acquire(name.path, mode::kDenyNone | 2, OwnerOf(file_), &shared);
    if (code != kNoError) return code;
    {
      Access access(*shared, true);
      code = access.code();
      if (code == kNoError) code = access.Finish(Table::Drop(shared->file.get(), name.table));
    }
    int32_t closed = Release(&shared);
    return code != kNoError ? code : closed;
  }
  if (OpenElsewhere(name.path)) return kErrAccessDenied;
  return RemoveFile(name.path).code();
}

int32_t Runner::CopyOp(bool move) {
  std::string_view target_text;
  if (!args_.GetText(0, &target_text)) return kErrInvalidParameterCount;
  FileName source, target;
  bool suffix = false;
  int32_t code = ParseName(file_, &source, &suffix);
  if (code != kNoError) return code;
  Status s = ParseFileName(std::string(target_text), &target);
  if (!s.ok()) return s.code();
  if (!os::FileExists(source.path)) return kErrFileNotFound;
  if (!suffix) {
    if (move) {
      if (OpenElsewhere(source.path)) return kErrFileAlreadyOpen;
      os::Status os = os::RenameFile(source.path, target.path);
      return os.ok() ? kNoError : OsCode(os);
    }
    {
      // Pending changes of an open copy belong in the copy.
      std::shared_ptr<SharedFile> shared;
      if (OpenElsewhere(source.path) && Acquire(source.path, 0, OwnerOf(file_), &shared) == kNoError &&
          shared->file->writable()) {
        code = shared->file->Commit().code();
      }
      Release(&shared);
      if (code != kNoError) return code;
    }
    os::Status os = os::CopyFile(source.path, target.path);
    return os.ok() ? kNoError : OsCode(os);
  }
  std::shared_ptr<SharedFile> from, to;
  code = Acquire(source.path, mode::kDenyNone | 2, OwnerOf(file_), &from);
  if (code == kNoError) code = Acquire(target.path, mode::kDenyNone | 2, OwnerOf(file_), &to);
  if (code == kNoError) {
    Access write(*to, true);
    Access read(*from, move);
    code = write.code() != kNoError ? write.code() : read.code();
    if (code == kNoError) {
      code = CopyTable(from->file.get(), source.table, to->file.get(), target.table, move);
    }
    if (code == kNoError) code = to->file->Commit().code();
    if (code == kNoError && move) code = from->file->Commit().code();
  }
  int32_t closed = Release(&to);
  int32_t closed_source = Release(&from);
  if (code != kNoError) return code;
  return closed != kNoError ? closed : closed_source;
}

int32_t Runner::Flush() {
  if (!table()) return kErrFileNotOpen;
  if (!state_.shared->file->writable()) return kNoError;
  std::lock_guard<std::recursive_mutex> guard(state_.shared->mutex);
  return state_.shared->file->Commit().code();
}

int32_t Runner::Send() {
  std::string_view command;
  std::string* reply = nullptr;
  if (!args_.GetText(0, &command)) return kErrInvalidParameterCount;
  std::string out;
  auto value_after = [&](std::string_view word, std::string_view* value) {
    size_t at = command.find(word);
    if (at == std::string_view::npos) return false;
    std::string_view rest = command.substr(at + word.size());
    if (rest.empty() || rest[0] != '=') return false;
    *value = rest.substr(1);
    return true;
  };
  std::string_view value;
  if (ContainsNoCase(command, "REGISTER")) {
    out = std::to_string(reinterpret_cast<uintptr_t>(&BkfDriverRecord()));
  } else if (StartsWith(command, "FULLBUILD")) {
    if (!table()) return kErrFileNotOpen;
    if (value_after("FULLBUILD", &value)) state_.full_build = value == "ON";
    out = state_.full_build ? "ON" : "OFF";
  } else if (StartsWith(command, "READHOLD")) {
    if (!table()) return kErrFileNotOpen;
    if (value_after("READHOLD", &value)) state_.SetReadHold(value == "ON");
    // Whether the block holds its reads now, for SEND's sake or a view's.
    out = state_.read_hold || state_.run_holds > 0 ? "ON" : "OFF";
  } else if (StartsWith(command, "FLAGS")) {
    if (!table()) return kErrFileNotOpen;
    if (!state_.suffix) {
      const bool set = value_after("FLAGS", &value);
      Access access(*state_.shared, set);
      int32_t code = access.code();
      if (code == kNoError && set) {
        code = table()->SetFlags(static_cast<uint32_t>(std::strtoul(std::string(value).c_str(),
                                                                    nullptr, 10)));
      }
      uint32_t flags = 0;
      if (code == kNoError) code = table()->GetFlags(&flags);
      code = access.Finish(code);
      if (code != kNoError) return code;
      out = std::to_string(flags);
    }
  } else if (command.find("PNM=") != std::string_view::npos) {
    if (!table()) return kErrFileNotOpen;
    if (!state_.suffix) {
      std::string from(command.substr(command.find("PNM=") + 4));
      std::vector<std::string> names;
      Access access(*state_.shared, false);
      int32_t code = access.code();
      if (code == kNoError) code = Table::ListTables(state_.shared->file.get(), &names);
      if (code != kNoError) return code;
      auto it = std::lower_bound(names.begin(), names.end(), from);
      if (it != names.end()) out = *it;
    }
  } else if (command.find("TCF") != std::string_view::npos) {
    std::lock_guard<std::mutex> lock(tcf_mutex);
    if (value_after("TCF", &value)) TcfName().assign(value);
    out = TcfName();
  }
  if (args_.GetTextAnswer(1, &reply)) *reply = out;
  return kNoError;
}

int32_t Runner::Property(bool set) {
  int64_t number = 0;
  if (!args_.GetNumber(0, &number)) return kErrInvalidParameterCount;
  if (set) {
    std::string_view value;
    if (!args_.GetText(1, &value)) return kErrInvalidParameterCount;
    SetFileProperty(file_, static_cast<uint32_t>(number), value);
    return kNoError;
  }
  std::string* value = nullptr;
  if (!args_.GetTextAnswer(1, &value)) return kErrInvalidParameterCount;
  GetFileProperty(file_, static_cast<uint32_t>(number), value);
  return kNoError;
}

// LOGOUT (time-out, files...). Starting takes no lock, so the time-out has
// nothing to wait for; the slots are taken by the first update of each file.
int32_t Runner::Logout() {
  ThreadTransaction& tx = CurrentTransaction();
  if (tx.transaction.active()) return kErrLogoutActive;
  std::vector<std::shared_ptr<SharedFile>> files;
  std::vector<TransactionFile> members;
  FileControlBlock* block = nullptr;
  for (size_t i = 1; args_.GetFile(i, &block); ++i) {
    auto* state = block ? dynamic_cast<BkfState*>(block->state.get()) : nullptr;
    if (!state || !state->table || !state->shared) return kErrFileNotOpen;
    if (!state->shared->file->writable()) return kErrAccessDenied;
    files.push_back(state->shared);
    members.push_back({state->shared->file.get(), state->shared->path});
  }
  if (files.empty()) return kErrInvalidParameterCount;
  tx.transaction.set_program_tcf(TransactionControlFileName());
  Status s = tx.transaction.Logout(members);
  if (!s.ok()) return s.code();
  tx.files = std::move(files);
  return kNoError;
}

int32_t Runner::EndLogout(bool commit) {
  ThreadTransaction& tx = CurrentTransaction();
  if (!tx.transaction.active()) return kErrLogoutNotActive;
  // One operation at a time on each file, taken in one order so that two
  // threads ending transactions over the same files cannot deadlock.
  std::vector<SharedFile*> order;
  for (const auto& f : tx.files) order.push_back(f.get());
  std::sort(order.begin(), order.end());
  order.erase(std::unique(order.begin(), order.end()), order.end());
  Status s;
  {
    std::vector<std::unique_lock<std::recursive_mutex>> guards;
    for (SharedFile* f : order) guards.emplace_back(f->mutex);
    s = commit ? tx.transaction.Commit() : tx.transaction.Rollback();
  }
  EndTransaction(tx);
  return s.ok() ? kNoError : s.code();
}

int32_t Runner::Run(int op) {
  switch (op) {
    case kOpOpen: return Open(kDefaultOpenMode);
    case kOpShare: return Open(kDefaultShareMode);
    case kOpCreate: return Create();
    case kOpClose: return Close();
    case kOpRemove: return RemoveOp();
    case kOpCopy: return CopyOp(false);
    case kOpRename: return CopyOp(true);
    case kOpSend: return Send();
    case kOpGetProperty: return Property(false);
    case kOpSetProperty: return Property(true);
    case kOpGetPropertyKey:
    case kOpSetPropertyKey: return kNoError;  // no key property of its own
    case kOpLogout: return Logout();
    case kOpCommit: return EndLogout(true);
    case kOpRollback: return EndLogout(false);
    case kOpBuildDynFilter: return kErrUnsupportedFunction;
    case kOpBlobYield:
    case kOpBlobTake:
    case kOpBlobSize:
    case kOpBlobGetProp:
    case kOpBlobSetProp: return kErrUnsupportedFunction;
    default: break;
  }

  // Everything below works on an open table.
  Table* t = table();
  if (t == nullptr) {
    if (op == kOpEof || op == kOpBof) *answer_ = 1;
    return kErrFileNotOpen;
  }
  switch (op) {
    case kOpHoldFile:
    case kOpHoldFileSec: return Hold(op == kOpHoldFileSec);
    case kOpRelease: t->Release(); return kNoError;
    case kOpLockFile:
    case kOpLockFileSec: return LockTable(op == kOpLockFileSec);
    case kOpUnlock:
      state_.shared->locks->Unlock(t->number(), &state_);
      state_.locked = false;
      return kNoError;
    case kOpWatch: t->RequestWatch(); return kNoError;
    case kOpFlush: return Flush();
    // These only look at the table's own state.
    case kOpPointerFile:
    case kOpPointerKey:
    case kOpBytes:
    case kOpPositionFile:
    case kOpPositionKey:
    case kOpNoMemo:
    case kOpName:
    case kOpPack:
    case kOpStream: return TableOp(op, t);
    default: break;
  }
  const bool update = IsUpdate(op);
  const uint32_t start = os::TickHundredths();
  for (;;) {
    int32_t code = kNoError;
    {
      Access access(*state_.shared, update);
      code = access.code();
      if (code == kNoError) code = access.Finish(TableOp(op, t));
    }
    // Only a read asked to hold its record answers 43: it is repeated until
    // the record is free or the time given to HOLD has passed.
    if (code != kErrRecordHeld || !t->hold_requested()) return code;
    if (state_.hold_seconds >= 0 &&
        os::TickHundredths() - start >= static_cast<uint64_t>(state_.hold_seconds) * 100) {
      t->DropHoldRequest();
      return code;
    }
    Pause(kRetryPauseMs);
  }
}

bool Runner::IsUpdate(int op) {
  switch (op) {
    case kOpAdd:
    case kOpAppend:
    case kOpPut:
    case kOpPutFilePtr:
    case kOpDelete:
    case kOpBuildFile:
    case kOpBuildKey:
    case kOpBuildDyn:
    case kOpEmpty: return true;
    default: return false;
  }
}

int32_t Runner::Hold(bool with_seconds) {
  int64_t seconds = -1;
  if (with_seconds && (!args_.GetNumber(0, &seconds) || seconds < 0)) {
    return kErrInvalidParameterCount;
  }
  state_.hold_seconds = seconds;
  table()->RequestHold();
  return kNoError;
}

int32_t Runner::LockTable(bool with_seconds) {
  int64_t seconds = -1;
  if (with_seconds && (!args_.GetNumber(0, &seconds) || seconds < 0)) {
    return kErrInvalidParameterCount;
  }
  const uint32_t start = os::TickHundredths();
  for (;;) {
    int32_t code = state_.shared->locks->TryLock(table()->number(), &state_);
    if (code == kNoError) state_.locked = true;
    if (code != kErrAccessDenied) return code;
    if (seconds < 0) {
      Pause(kRetryPauseMs);
      continue;
    }
    Pause(1000);
    if (os::TickHundredths() - start >= static_cast<uint64_t>(seconds) * 100) {
      return kErrFileLocked;
    }
  }
}

int32_t Runner::TableOp(int op, Table* t) {
  int key = 0;
  int64_t number = 0;
  int32_t code = kNoError;
  if (IsKeyedOperation(op)) {
    code = KeyArg(file_, args_, &key);
    if (code != kNoError) return code;
  }
  auto number_arg = [&](size_t index) {
    return args_.GetNumber(index, &number) && number >= 0 && number <= 0xFFFFFFFFll;
  };
  std::string bytes;
  switch (op) {
    case kOpAdd:
    case kOpAppend: return t->Add(Buffers());
    case kOpPut: return t->Put(Buffers());
    case kOpPutFilePtr:
      if (!number_arg(0)) return kErrInvalidParameterCount;
      return t->PutAt(static_cast<uint32_t>(number), Buffers());
    case kOpDelete: return t->Delete();
    case kOpGetFileKey: return t->GetByKey(key, Buffers());
    case kOpGetFilePtr:
      if (!number_arg(0)) return kErrInvalidParameterCount;
      return t->GetByNumber(static_cast<uint32_t>(number), Buffers());
    case kOpGetKeyPtr:
      if (!number_arg(1)) return kErrInvalidParameterCount;
      return t->GetByNumber(static_cast<uint32_t>(number), Buffers());
    case kOpRegetFile:
      if (!BytesArg(args_, 0, &bytes)) return kErrInvalidParameterCount;
      return t->Reget(0, bytes, Buffers());
    case kOpRegetKey:
      if (!BytesArg(args_, 1, &bytes)) return kErrInvalidParameterCount;
      return t->Reget(key, bytes, Buffers());
    case kOpSetFile: return t->SetFile();
    case kOpSetFilePtr:
      if (!number_arg(0)) return kErrInvalidParameterCount;
      return t->SetFilePtr(static_cast<uint32_t>(number));
    case kOpSetKey: return t->SetKey(key);
    case kOpSetKeyPtr:
      if (!number_arg(1)) return kErrInvalidParameterCount;
      return t->SetKeyPtr(key, static_cast<uint32_t>(number));
    case kOpSetFileKey:
    case kOpSetKeyKey: return t->SetKeyValue(key, file_.record(), 0);
    case kOpSetKeyKeyPtr:
      if (!number_arg(1)) return kErrInvalidParameterCount;
      return t->SetKeyValue(key, file_.record(), static_cast<uint32_t>(number));
    case kOpNext: return t->Next(Buffers());
    case kOpPrevious: return t->Previous(Buffers());
    case kOpSkip:
      if (!args_.GetNumber(0, &number)) return kErrInvalidParameterCount;
      return t->Skip(number);
    case kOpEof:
    case kOpBof: {
      bool end = true;
      code = t->AtEnd(op == kOpEof, &end);
      *answer_ = end ? 1 : 0;
      return code;
    }
    case kOpPositionFile:
    case kOpPositionKey:
      code = t->Position(key, &bytes);
      return code != kNoError ? code : AnswerBytes(args_, key == 0 ? 0 : 1, bytes);
    case kOpResetFile:
    case kOpResetKey:
      if (!BytesArg(args_, key == 0 ? 0 : 1, &bytes)) return kErrInvalidParameterCount;
      return t->Reset(key, bytes);
    case kOpRecordsFile:
    case kOpRecordsKey: {
      uint32_t count = 0;
      code = t->Records(key, &count);
      return code != kNoError ? code : AnswerNumber(args_, key == 0 ? 0 : 1, count);
    }
    case kOpPointerFile:
    case kOpPointerKey: return AnswerNumber(args_, key == 0 ? 0 : 1, t->current());
    case kOpBytes: return AnswerNumber(args_, 0, static_cast<int64_t>(t->last_size()));
    case kOpDuplicate:
    case kOpDuplicateKey: {
      bool duplicate = false;
      code = t->Duplicate(key, file_.record(), &duplicate);
      if (code != kNoError) return code;
      *answer_ = duplicate ? 1 : 0;
      int64_t* place = nullptr;
      if (args_.GetNumberAnswer(key == 0 ? 0 : 1, &place)) *place = duplicate ? 1 : 0;
      return kNoError;
    }
    case kOpBuildFile: return t->Build(0);
    case kOpBuildKey:
    case kOpBuildDyn: return t->Build(key);
    case kOpEmpty: return t->Empty();
    case kOpNoMemo: t->SkipMemosOnce(); return kNoError;
    case kOpName: {
      std::string* name = nullptr;
      if (!args_.GetTextAnswer(0, &name)) return kErrInvalidParameterCount;
      *name = file_.FileName();
      return kNoError;
    }
    case kOpPack:
    case kOpStream: return kNoError;  // pages are compacted at every commit
    default: return kErrUnsupportedFunction;
  }
}

int32_t EntryFunction(int operation, FileControlBlock* file, const Arguments* args) {
  return Dispatch(BkfDriver::Instance(), operation, file, args);
}

}  // namespace

const FileDriverRecord& BkfDriverRecord() {
  static const FileDriverRecord record = [] {
    FileDriverRecord r = BriskenDriverRecord(&EntryFunction);
    r.limits.max_record_size = static_cast<uint16_t>(kMaxRecordLength - 9);
    r.limits.max_keys = 242;
    r.limits.max_key_components = 255;
    r.limits.max_memos = 255;
    return r;
  }();
  return record;
}

const FileDriverRecord& BkfDriver::record() const { return BkfDriverRecord(); }

std::unique_ptr<DriverState> BkfDriver::CreateState(FileControlBlock&) {
  return std::make_unique<BkfState>();
}

int32_t BkfDriver::Run(int operation, FileControlBlock& file, const Arguments& args,
                       int32_t* answer) {
  return Runner(file, args, answer).Run(operation);
}

BkfDriver& BkfDriver::Instance() {
  static BkfDriver driver;
  return driver;
}

int32_t BkfEntry(int operation, FileControlBlock* file, const Arguments* args) {
  return EntryFunction(operation, file, args);
}

std::string TransactionControlFileName() {
  std::lock_guard<std::mutex> lock(tcf_mutex);
  return TcfName();
}

}  // namespace korvex::brisken
