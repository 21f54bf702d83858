#include "framework/file_controller.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "data/brisken/bkf_driver.h"
#include "data/driver/error_codes.h"
#include "data/driver/operation.h"
#include "framework/file_controller_fields.h"
#include "framework/file_usage.h"
#include "framework/relation_controller.h"
#include "runtime/thread_number.h"

namespace korvex::framework {

using namespace driver;

namespace {

constexpr size_t kDescriptionLimit = 80;
constexpr size_t kFileNameLimit = 256;
constexpr int kAutoNumberTries = 3;
// NextNumber's answer when the next value does not fit the field.
constexpr int32_t kNumberOverflow = -2;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

uint32_t RecordNumberOf(const std::string& position) {
  if (position.size() < 4) return 0;
  auto b = [&](int i) { return static_cast<uint32_t>(static_cast<uint8_t>(position[i])); };
  return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

}  // namespace

FileController::~FileController() {
  if (initialised()) Kill();
}

bool FileController::Threaded() const { return (file_->attributes & kFileThread) != 0; }

FileController::ThreadState& FileController::State() {
  const int32_t id = Threaded() ? CurrentThreadNumber() : 1;
  ThreadState& s = info_[id];
  s.id = id;
  return s;
}

FileController::ThreadState& FileController::Select() {
  ThreadState& s = State();
  const std::string& name = file_name != nullptr ? *file_name : file_name_value;
  if (errors_->FileName() != name) errors_->SetFileName(name);
  return s;
}

int32_t FileController::Call(int operation, const Arguments& args) {
  DriverEntry run = entry != nullptr ? entry : &brisken::BkfEntry;
  return run(operation, file_, &args);
}

void FileController::Init(FileControlBlock* file, ErrorReporter* errors) {
  file_ = file;
  errors_ = errors;
  info_.clear();
  keys_.clear();
  buffers_.clear();
  saved_.clear();
  skip_held_records = false;
  open_mode = 0x42;
  create = true;
  lock_recover = 10;
  primary_key = 0;
  lazy_open = true;
  has_autoinc = false;
  file_name_value = file->FileName().substr(0, kFileNameLimit);
  FileUsageRegistry::Instance().Add(FileIdentity(), this);
}

void FileController::Kill() {
  if (!initialised()) return;
  FileUsageRegistry::Instance().Remove(this);
  FileUsageTracker::Instance().Forget(FileIdentity());
  // A file still open is closed with its controller rather than left behind.
  for (auto& [id, s] : info_) {
    if (s.used && (!Threaded() || id == CurrentThreadNumber())) Call(kOpClose);
  }
  info_.clear();
  keys_.clear();
  buffers_.clear();
  saved_.clear();
  file_ = nullptr;
}

void FileController::AddKey(const KeyDeclaration* key, uint8_t autoinc,
                            std::string_view description) {
  const int number = KeyNumber(file_->declaration(), key);
  if (number == 0) return;
  const KeyDeclaration& decl = file_->declaration().keys[static_cast<size_t>(number - 1)];
  KeyInfo info;
  info.key = key;
  info.description = std::string(description.substr(0, kDescriptionLimit));
  info.dups = (decl.flags & kKeyDup) != 0;
  info.nocase = (decl.flags & kKeyNoCase) != 0;
  const auto fields = file_->declaration().fields;
  for (int32_t c : decl.components) {
    KeyComponent comp;
    comp.field = std::abs(c) - 1;
    comp.ascend = c > 0;
    if (comp.field >= 0 && static_cast<size_t>(comp.field) < fields.size()) {
      const FieldDescriptor& f = fields[static_cast<size_t>(comp.field)];
      comp.field_name = std::string(f.label);
      if (info.nocase && IsTextField(f)) comp.field_name = "UPPER(" + comp.field_name + ")";
    }
    info.fields.push_back(std::move(comp));
  }
  info.autoinc = autoinc <= info.fields.size() ? autoinc : 0;
  if (info.autoinc != 0) has_autoinc = true;
  keys_.push_back(std::move(info));
  if ((decl.flags & kKeyPrimary) != 0) primary_key = static_cast<uint8_t>(keys_.size());
}

const FileController::KeyInfo* FileController::FindKey(const KeyDeclaration* key) const {
  if (key == nullptr) return nullptr;
  for (const KeyInfo& k : keys_) {
    if (k.key == key) return &k;
  }
  return nullptr;
}

std::string FileController::DisplayName() const {
  return file_name != nullptr ? *file_name : file_name_value;
}

// --- Errors -------------------------------------------------------------------

void FileController::SetError(MessageId id) {
  errors_->SaveErrorState();
  State().last_error = id;
}

Outcome FileController::ReportLastError() {
  errors_->SetFileName(DisplayName());
  return errors_->Take(State().last_error);
}

Outcome FileController::Raise(MessageId id) {
  SetError(id);
  return ReportLastError();
}

Outcome FileController::RaiseWithText(MessageId id, std::string_view text) {
  errors_->SetFileName(DisplayName());
  State().last_error = id;
  return errors_->RaiseWithText(id, text);
}

Outcome FileController::TakeOrFive(bool report) {
  return report ? ReportLastError() : kOutcomeFailed;
}

// --- Opening and closing --------------------------------------------------------

Outcome FileController::EnsureUsable(uint8_t mode) {
  ThreadState& s = Select();
  if (mode != kUseUntracked) FileUsageTracker::Instance().Use(*this, mode);
  if (!lazy_open || s.used) return kOutcomeDone;
  if (s.opened == 0) {
    Outcome o = Raise(kMsgFileNotOpen);
    return o != kOutcomeDone ? o : kOutcomeNotUsable;
  }
  uint16_t buffer = SaveBuffer();
  Outcome o = PhysicalOpen(true);
  RestoreBuffer(&buffer, true);
  return o;
}

Outcome FileController::PhysicalOpen(bool report) {
  ThreadState& s = State();
  for (int attempt = 0; attempt < 2; ++attempt) {
    int32_t code = Call(kOpOpen, {Argument::Number(open_mode)});
    if (code == kErrAccessDenied) {
      Call(kOpSend, {Argument::Text("Recover=" + std::to_string(lock_recover))});
      code = Call(kOpOpen, {Argument::Number(open_mode)});
    }
    if (code == kNoError || code == kErrFileAlreadyOpen) {
      s.used = true;
      s.at_eof = false;
      s.autoinc_done = false;
      return kOutcomeDone;
    }
    if (code == kErrAccessDenied) {
      if ((open_mode & 3) == 0) break;
      open_mode &= static_cast<uint8_t>(~3u);
      Raise(kMsgOpenReadOnly);  // shown by the quiet form too
      continue;
    }
    if (code == kErrFileNotFound) {
      if (!create) break;
      if (Call(kOpCreate) == kNoError) continue;
      SetError(kMsgCreateError);
      return TakeOrFive(report);
    }
    if (code == kErrKeyMustBeRebuilt) {
      SetError(kMsgInvalidKey);
      if (!report) return kOutcomeFailed;
      ReportLastError();
      if (Call(kOpBuildFile) == kNoError) continue;
      return Raise(kMsgKeyNotBuilt);
    }
    break;
  }
  SetError(kMsgOpenFailed);
  return TakeOrFive(report);
}

Outcome FileController::OpenForm(bool report) {
  ThreadState& s = Select();
  FileUsageTracker::Instance().NoteOpen(*this);
  BindFields();
  if (!lazy_open && s.opened == 0 && !s.used) {
    Outcome o = PhysicalOpen(report);
    if (o != kOutcomeDone) return o;
  }
  ++s.opened;
  return kOutcomeDone;
}

Outcome FileController::Open() { return OpenForm(true); }
Outcome FileController::OpenQuiet() { return OpenForm(false); }

Outcome FileController::Close() {
  ThreadState& s = Select();
  FileUsageTracker::Instance().NoteClose(*this);
  if (s.opened > 0 && --s.opened == 0) {
    if (s.used) Call(kOpClose);
    s.used = false;
  }
  return kOutcomeDone;
}

// --- Reading --------------------------------------------------------------------

Outcome FileController::Step(bool forward, bool report) {
  if (EnsureUsable(kUseData) != kOutcomeDone) return kOutcomeNotUsable;
  ThreadState& s = State();
  for (;;) {
    s.at_eof = false;
    const int32_t code = Call(forward ? kOpNext : kOpPrevious);
    if (code == kNoError) return kOutcomeDone;
    if (code == kErrRecordNotAvailable) {
      s.at_eof = true;
      return kOutcomeFailed;
    }
    if (code == kErrRecordHeld) {
      if (skip_held_records) continue;
      SetError(kMsgRecordHeld);
      return TakeOrFive(report);
    }
    SetError(kMsgAbortReading);
    return report ? ReportLastError() : kOutcomeNotUsable;
  }
}

Outcome FileController::Next() { return Step(true, true); }
Outcome FileController::NextQuiet() { return Step(true, false); }
Outcome FileController::Previous() { return Step(false, true); }
Outcome FileController::PreviousQuiet() { return Step(false, false); }
bool FileController::AtEnd() { return State().at_eof; }

Outcome FileController::FetchQuiet(const KeyDeclaration* key) {
  if (EnsureUsable(kUseData) != kOutcomeDone) return kOutcomeNotUsable;
  return Call(kOpGetFileKey, {Argument::Key(key)}) == kNoError ? kOutcomeDone : kOutcomeFailed;
}

Outcome FileController::FetchOrClear(const KeyDeclaration* key) {
  Outcome o = FetchQuiet(key);
  if (o != kOutcomeDone) ClearBuffer();
  return o;
}

void FileController::ClearBuffer() { ClearRecord(*file_); }

// --- Writing --------------------------------------------------------------------

int FileController::DuplicatedKey() {
  // Each key without DUP is looked up with the buffer's value; a hit on a
  // record other than the one being written names the key. (Asking the driver
  // whether the value repeats would pass over the current record, which may
  // be the very one the value collides with.)
  const ThreadState& s = State();
  const uint32_t own = has_autoinc && s.autoinc_done ? s.autoinc_record : 0;
  std::span<uint8_t> record = file_->record();
  const std::vector<uint8_t> wanted(record.begin(), record.end());
  int found = -1;
  for (size_t i = 0; i < keys_.size() && found < 0; ++i) {
    if (keys_[i].dups) continue;
    std::memcpy(record.data(), wanted.data(), wanted.size());
    if (Call(kOpGetFileKey, {Argument::Key(keys_[i].key)}) != kNoError) continue;
    int64_t at = 0;
    Call(kOpPointerFile, {Argument::NumberAnswer(&at)});
    if (own == 0 || static_cast<uint32_t>(at) != own) found = static_cast<int>(i);
  }
  std::memcpy(record.data(), wanted.data(), wanted.size());
  return found;
}

Outcome FileController::InsertForm(bool report) {
  if (EnsureUsable(kUseData) != kOutcomeDone) return kOutcomeNotUsable;
  if (CheckRecord(nullptr) != kOutcomeDone) return kOutcomeFailed;
  ThreadState& s = State();
  int32_t code = kNoError;
  if (has_autoinc) {
    if (s.autoinc_done) {
      // The primed record is rewritten where numbering put it, whatever was read since.
      code = Call(kOpPutFilePtr, {Argument::Number(s.autoinc_record)});
    } else {
      Outcome o = report ? ReserveAutoNumber() : ReserveAutoNumberQuiet();
      if (o != kOutcomeDone) return kOutcomeFailed;
    }
  } else {
    code = Call(kOpAdd);
  }
  if (code == kNoError) {
    s.autoinc_done = false;
    return kOutcomeDone;
  }
  if (code == kErrDuplicateKey) {
    SetError(kMsgDuplicateKey);
    if (!report) return kOutcomeFailed;
    const int key = DuplicatedKey();
    errors_->SetFileName(DisplayName());
    errors_->SetMessageText(key >= 0 ? keys_[static_cast<size_t>(key)].description : "");
    errors_->Take(kMsgDuplicateKey);
    return kOutcomeFailed;
  }
  SetError(kMsgInsertError);
  return TakeOrFive(report);
}

Outcome FileController::Insert() { return InsertForm(true); }
Outcome FileController::InsertQuiet() { return InsertForm(false); }

Outcome FileController::UpdateForm(int flag) {
  if (EnsureUsable(kUseData) != kOutcomeDone) return kOutcomeNotUsable;
  if (CheckRecord(nullptr) != kOutcomeDone) return kOutcomeRejected;
  const std::string position = Position();
  const int32_t code = Call(kOpPut);
  if (code == kNoError) return kOutcomeDone;
  if (code == kErrRecordChanged) {
    SetError(flag == 2 ? kMsgRecordChangedShown : kMsgRecordChanged);
    if (flag != 0) ReportLastError();
    Call(kOpWatch);
    ReGet(position);
    return kOutcomeFailed;
  }
  SetError(kMsgPutError);
  return flag != 0 ? ReportLastError() : kOutcomeFailed;
}

Outcome FileController::Update() { return UpdateForm(1); }
Outcome FileController::UpdateQuiet() { return UpdateForm(0); }
Outcome FileController::UpdateDitto() { return UpdateForm(2); }

// --- Automatic numbering ------------------------------------------------------------

int32_t FileController::NextNumber(const KeyInfo& key, std::string* value) {
  std::span<uint8_t> record = file_->record();
  const std::vector<uint8_t> user(record.begin(), record.end());
  const KeyComponent& numbered = key.fields[static_cast<size_t>(key.autoinc - 1)];
  const FieldDescriptor& field = file_->declaration().fields[static_cast<size_t>(numbered.field)];
  // The group text: components before the numbered one, each followed by "|",
  // compared by the key's case rule.
  auto group_text = [&]() {
    std::string text;
    for (int c = 0; c + 1 < key.autoinc; ++c) {
      std::string part;
      FieldText(*file_, key.fields[static_cast<size_t>(c)].field, &part);
      text += part + "|";
    }
    return key.nocase ? Upper(text) : text;
  };
  Call(kOpNoMemo);
  int32_t code = kNoError;
  std::string last;  // the numbered component of the record read, "" when none
  if (key.fields.size() == 1) {
    code = Call(kOpSetKey, {Argument::Key(key.key)});
    if (code == kNoError) code = Call(numbered.ascend ? kOpPrevious : kOpNext);
    if (code == kNoError) FieldText(*file_, numbered.field, &last);
  } else {
    const std::string group = group_text();
    ClearKeyComponents(key.key, key.autoinc, static_cast<int>(key.fields.size()), true);
    SetFieldHigh(*file_, numbered.field);
    code = Call(kOpSetKeyKey, {Argument::Key(key.key)});
    if (code == kNoError) code = Call(numbered.ascend ? kOpPrevious : kOpNext);
    if (code == kNoError && group_text() == group) FieldText(*file_, numbered.field, &last);
  }
  std::memcpy(record.data(), user.data(), user.size());
  if (code == kErrRecordNotAvailable) code = kNoError;
  if (code != kNoError) return code;
  if (last.empty()) {
    value->assign(1, '1');
    return kNoError;
  }
  const double next = std::strtod(last.c_str(), nullptr) + 1;
  const std::string highest = HighestValueText(field);
  if (!highest.empty() && next > std::strtod(highest.c_str(), nullptr)) return kNumberOverflow;
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", next);
  *value = text;
  return kNoError;
}

Outcome FileController::AutoNumber(bool report) {
  if (EnsureUsable(kUseData) != kOutcomeDone) return kOutcomeNotUsable;
  ThreadState& s = State();
  if (!has_autoinc || s.autoinc_done) return kOutcomeDone;
  int tries = 0;
  for (;;) {
    for (const KeyInfo& key : keys_) {
      if (key.autoinc == 0) continue;
      std::string value;
      const int32_t code = NextNumber(key, &value);
      const int field = key.fields[static_cast<size_t>(key.autoinc - 1)].field;
      if (code == kNumberOverflow || (code == kNoError && !SetFieldText(*file_, field, value))) {
        // No number is left: trying again cannot help.
        SetError(kMsgRetryAutoIncrement);
        if (report) ReportLastError();
        return kOutcomeFailed;
      }
      if (code != kNoError) {
        SetError(kMsgAbortReading);
        return TakeOrFive(report);
      }
    }
    if (Call(kOpAdd) == kNoError) {
      int64_t at = 0;
      Call(kOpPointerFile, {Argument::NumberAnswer(&at)});
      s.autoinc_done = true;
      s.autoinc_record = static_cast<uint32_t>(at);
      return kOutcomeDone;
    }
    if (++tries < kAutoNumberTries) continue;
    SetError(kMsgRetryAutoIncrement);
    if (!report) return kOutcomeFailed;
    if (ReportLastError() != kOutcomeDone) return kOutcomeFailed;
    tries = 0;
  }
}

Outcome FileController::ReserveAutoNumber() { return AutoNumber(true); }
Outcome FileController::ReserveAutoNumberQuiet() { return AutoNumber(false); }

Outcome FileController::CancelPrimedRecord(RelationController* relations) {
  if (EnsureUsable(kUseData) != kOutcomeDone) return kOutcomeNotUsable;
  ThreadState& s = State();
  if (!has_autoinc || !s.autoinc_done) return kOutcomeDone;
  Outcome o = kOutcomeDone;
  if (relations == nullptr) {
    // The primed record by its number: other reads may have moved the current record.
    int32_t code = Call(kOpGetFilePtr, {Argument::Number(s.autoinc_record)});
    if (code == kNoError) code = Call(kOpDelete);
    if (code != kNoError) {
      SetError(kMsgDeleteError);
      o = kOutcomeFailed;
    }
  } else {
    o = relations->Delete(false);
  }
  if (o == kOutcomeDone) s.autoinc_done = false;
  return o;
}

Outcome FileController::PrepareNewRecord(bool keep_buffer) {
  if (aliased_file == nullptr) {
    if (!keep_buffer) ClearBuffer();
    InitNewFields();
    if (!has_autoinc) return kOutcomeDone;
    State().autoinc_done = false;
    return ReserveAutoNumber();
  }
  FileController& other = *aliased_file;
  other.Open();
  uint16_t state = other.SaveFile();
  std::span<uint8_t> mine = file_->record();
  std::span<uint8_t> theirs = other.file()->record();
  const size_t n = std::min(mine.size(), theirs.size());
  if (keep_buffer) std::memcpy(theirs.data(), mine.data(), n);
  Outcome o = other.PrepareNewRecord(keep_buffer);
  if (o == kOutcomeDone) {
    // Usable first: a physical open clears the numbering state copied below.
    const bool usable = EnsureUsable(kUseData) == kOutcomeDone;
    ThreadState& s = State();
    s.autoinc_done = other.State().autoinc_done;
    s.autoinc_record = other.State().autoinc_record;
    // The numbered record becomes this file's current record too.
    if (usable && s.autoinc_done) Call(kOpGetFilePtr, {Argument::Number(s.autoinc_record)});
    std::memcpy(mine.data(), theirs.data(), n);
  }
  other.RestoreFile(&state, true);
  other.Close();
  return o;
}

// --- Validation ---------------------------------------------------------------------

Outcome FileController::CheckField(int field_number) {
  if (aliased_file == nullptr) return kOutcomeDone;
  std::span<uint8_t> mine = file_->record();
  std::span<uint8_t> theirs = aliased_file->file()->record();
  const size_t n = std::min(mine.size(), theirs.size());
  const std::vector<uint8_t> kept(theirs.begin(), theirs.end());
  std::memcpy(theirs.data(), mine.data(), n);
  Outcome o = aliased_file->CheckField(field_number);
  std::memcpy(theirs.data(), kept.data(), kept.size());
  return o;
}

Outcome FileController::CheckFields(int first, int last, int* failed_field) {
  for (int n = first; n <= last; ++n) {
    Outcome o = CheckField(n);
    if (o != kOutcomeDone) {
      if (failed_field != nullptr) *failed_field = n;
      return o;
    }
  }
  return kOutcomeDone;
}

Outcome FileController::CheckRecord(int* failed_field) {
  return CheckFields(1, static_cast<int>(file_->declaration().fields.size()), failed_field);
}

// --- Positions and saved states ---------------------------------------------------------

std::string FileController::Position() {
  if (!State().used) return "";
  std::string position;
  int32_t code;
  if (primary_key != 0) {
    code = Call(kOpPositionKey, {Argument::Key(keys_[primary_key - 1u].key),
                                 Argument::TextAnswer(&position)});
  } else {
    code = Call(kOpPositionFile, {Argument::TextAnswer(&position)});
  }
  return code == kNoError ? position : std::string();
}

Outcome FileController::ReGet(const std::string& position) {
  if (EnsureUsable(kUseData) != kOutcomeDone) return kOutcomeNotUsable;
  int32_t code;
  if (primary_key != 0) {
    code = Call(kOpRegetKey, {Argument::Key(keys_[primary_key - 1u].key), Argument::Text(position)});
  } else {
    code = Call(kOpRegetFile, {Argument::Text(position)});
  }
  return code == kNoError ? kOutcomeDone : kOutcomeFailed;
}

uint16_t FileController::SaveBuffer() {
  const uint16_t id = buffers_.empty() ? 1 : static_cast<uint16_t>(buffers_.back().id + 1);
  std::span<uint8_t> record = file_->record();
  buffers_.push_back({id, std::vector<uint8_t>(record.begin(), record.end())});
  for (size_t i = 0; i < file_->memos.size(); ++i) {
    buffers_.push_back({static_cast<uint16_t>(id + 1 + i), file_->memos[i]});
  }
  return id;
}

void FileController::RestoreBuffer(uint16_t* buffer_id, bool restore) {
  if (*buffer_id == 0) return;
  const uint16_t id = *buffer_id;
  auto take = [&](uint16_t wanted, std::vector<uint8_t>* into) {
    auto it = std::find_if(buffers_.begin(), buffers_.end(),
                           [&](const SavedBuffer& b) { return b.id == wanted; });
    if (it == buffers_.end()) return;
    if (restore && into != nullptr && into->size() == it->bytes.size()) *into = it->bytes;
    buffers_.erase(it);
  };
  auto it = std::find_if(buffers_.begin(), buffers_.end(),
                         [&](const SavedBuffer& b) { return b.id == id; });
  if (it != buffers_.end()) {
    std::span<uint8_t> record = file_->record();
    if (restore && it->bytes.size() == record.size()) {
      std::memcpy(record.data(), it->bytes.data(), record.size());
    }
    buffers_.erase(it);
  }
  for (size_t i = 0; i < file_->memos.size(); ++i) {
    take(static_cast<uint16_t>(id + 1 + i), &file_->memos[i]);
  }
  *buffer_id = 0;
}

bool FileController::BufferUnchanged(uint16_t buffer_id) {
  if (EnsureUsable(kUseData) != kOutcomeDone) return false;
  auto find = [&](uint16_t wanted) -> const SavedBuffer* {
    for (const SavedBuffer& b : buffers_) {
      if (b.id == wanted) return &b;
    }
    return nullptr;
  };
  const SavedBuffer* record = find(buffer_id);
  std::span<uint8_t> now = file_->record();
  if (record == nullptr || !std::equal(now.begin(), now.end(), record->bytes.begin(), record->bytes.end())) {
    return false;
  }
  for (size_t i = 0; i < file_->memos.size(); ++i) {
    const SavedBuffer* memo = find(static_cast<uint16_t>(buffer_id + 1 + i));
    if (memo == nullptr || memo->bytes != file_->memos[i]) return false;
  }
  return true;
}

uint16_t FileController::SaveFile() {
  SavedState state;
  state.id = saved_.empty() ? 1 : static_cast<uint16_t>(saved_.back().id + 1);
  state.buffer = SaveBuffer();
  const ThreadState& s = State();
  if (s.used) {
    const int key = Call(kOpQueryKey);
    const auto keys = file_->declaration().keys;
    if (key > 0 && static_cast<size_t>(key) <= keys.size()) {
      if (Call(kOpPositionKey, {Argument::Key(&keys[static_cast<size_t>(key - 1)]),
                                Argument::TextAnswer(&state.position)}) == kNoError) {
        state.key = static_cast<uint8_t>(key);
      } else {
        state.position.clear();
      }
    } else if (Call(kOpPositionFile, {Argument::TextAnswer(&state.position)}) != kNoError) {
      state.position.clear();
    }
    state.held = file_->state && file_->state->IsHolding();
    state.watched = file_->state && file_->state->IsWatched();
  }
  state.autoinc_done = s.autoinc_done;
  state.autoinc_record = s.autoinc_record;
  saved_.push_back(std::move(state));
  return saved_.back().id;
}

void FileController::RestoreFile(uint16_t* state_id, bool restore_position) {
  RestoreFileWith(state_id, restore_position, kUseData);
}

void FileController::RestoreFileUntracked(uint16_t* state_id, bool restore_position) {
  RestoreFileWith(state_id, restore_position, kUseUntracked);
}

void FileController::RestoreFileWith(uint16_t* state_id, bool restore_position, uint8_t mode) {
  auto it = std::find_if(saved_.begin(), saved_.end(),
                         [&](const SavedState& st) { return st.id == *state_id; });
  *state_id = 0;
  if (it == saved_.end()) return;
  SavedState state = std::move(*it);
  saved_.erase(it);
  if (EnsureUsable(mode) != kOutcomeDone) {
    RestoreBuffer(&state.buffer, false);
    return;
  }
  if (!restore_position) {
    RestoreBuffer(&state.buffer, false);
    return;
  }
  const uint32_t saved_record = RecordNumberOf(state.position);
  bool same_record = false;
  if (saved_record != 0) {
    const auto keys = file_->declaration().keys;
    int32_t code =
        state.key == 0
            ? Call(kOpResetFile, {Argument::Text(state.position)})
            : Call(kOpResetKey, {Argument::Key(&keys[state.key - 1u]), Argument::Text(state.position)});
    if (state.held) Call(kOpHoldFile);
    if (state.watched) Call(kOpWatch);
    if (code == kNoError) code = Call(kOpNext);
    int64_t now = 0;
    Call(kOpPointerFile, {Argument::NumberAnswer(&now)});
    same_record = code == kNoError && static_cast<uint32_t>(now) == saved_record;
  }
  int64_t current = 0;
  Call(kOpPointerFile, {Argument::NumberAnswer(&current)});
  if (same_record || current == 0) {
    RestoreBuffer(&state.buffer, true);
  } else {
    // The saved record is gone or moved: the buffer keeps the record that is
    // current now, so no later write puts the saved bytes over another record.
    RestoreBuffer(&state.buffer, false);
    Call(kOpGetFilePtr, {Argument::Number(current)});
  }
  ThreadState& s = State();
  s.autoinc_done = state.autoinc_done;
  s.autoinc_record = state.autoinc_record;
}

// --- Key facts ------------------------------------------------------------------------------

std::string FileController::OrderText(const KeyDeclaration* key, int first_component) {
  const KeyInfo* k = FindKey(key);
  if (k == nullptr) return "";
  std::string text;
  for (size_t c = static_cast<size_t>(std::max(first_component, 1)) - 1; c < k->fields.size(); ++c) {
    if (!text.empty()) text += ",";
    if (!k->fields[c].ascend) text += "-";
    text += k->fields[c].field_name;
  }
  return text;
}

std::string FileController::ComponentName(const KeyDeclaration* key, int n) {
  const KeyInfo* k = FindKey(key);
  if (k == nullptr || n < 1 || static_cast<size_t>(n) > k->fields.size()) return "";
  return k->fields[static_cast<size_t>(n - 1)].field_name;
}

int FileController::ComponentField(const KeyDeclaration* key, int n) {
  const KeyInfo* k = FindKey(key);
  if (k == nullptr || n < 1 || static_cast<size_t>(n) > k->fields.size()) return 0;
  return k->fields[static_cast<size_t>(n - 1)].field + 1;
}

int FileController::ComponentCount(const KeyDeclaration* key) {
  const KeyInfo* k = FindKey(key);
  return k == nullptr ? 0 : static_cast<int>(k->fields.size());
}

void FileController::ClearKeyComponents(const KeyDeclaration* key, int from, int to, bool high) {
  const KeyInfo* k = FindKey(key);
  if (k == nullptr) return;
  const int last = std::min(to, static_cast<int>(k->fields.size()));
  for (int n = std::max(from, 1); n <= last; ++n) {
    const KeyComponent& c = k->fields[static_cast<size_t>(n - 1)];
    if (c.ascend != high) {
      ClearField(*file_, c.field);
    } else {
      SetFieldHigh(*file_, c.field);
    }
  }
}

}  // namespace korvex::framework
