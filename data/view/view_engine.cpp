#include "data/view/view_engine.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "data/driver/current_error.h"
#include "data/driver/operation.h"
#include "data/driver/record_details.h"
#include "data/driver/trace.h"
#include "data/view/field_binding.h"
#include "runtime/os/clock.h"
#include "runtime/thread_number.h"

namespace korvex::view {

using driver::Argument;
using driver::Arguments;
using driver::kErrRecordNotAvailable;
using driver::kNoError;

namespace {

// An expression text as key matching compares it: upper case, no blanks.
std::string Normalized(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' || c == '\t') continue;
    out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  return out;
}

bool IsTextType(uint8_t type) {
  return type == kTypeString || type == kTypeCString || type == kTypePString;
}

// A start value given as text: a number when it reads as one.
Value StartValueFromText(std::string_view text) {
  Value v;
  if (!text.empty() && ParseNumberValue(text, &v)) return v;
  return Value::String(std::string(text));
}

int32_t AnswerText(const Arguments& args, size_t index, const std::string& text) {
  std::string* place = nullptr;
  std::span<uint8_t> buffer;
  if (args.GetTextAnswer(index, &place)) {
    *place = text;
    return kNoError;
  }
  if (args.GetBuffer(index, &buffer)) {
    if (buffer.size() < text.size()) return driver::kErrInvalidParameterCount;
    std::memset(buffer.data(), ' ', buffer.size());
    std::memcpy(buffer.data(), text.data(), text.size());
    return kNoError;
  }
  return driver::kErrInvalidParameterCount;
}

bool TextArg(const Arguments& args, size_t index, std::string* out) {
  std::string_view text;
  std::span<uint8_t> buffer;
  if (args.GetText(index, &text)) {
    out->assign(text);
    return true;
  }
  if (args.GetBuffer(index, &buffer)) {
    out->assign(reinterpret_cast<const char*>(buffer.data()), buffer.size());
    return true;
  }
  return false;
}

}  // namespace

std::string EncodeViewPosition(const Combination& c) {
  std::string body;
  for (size_t i = 0; i < c.size(); ++i) {
    if (i > 0) body += ',';
    body += std::to_string(c[i]);
  }
  std::string text = "V0000:" + body;
  if (text.size() > kMaxViewPosition) return "";  // a view of more files than a position holds
  std::string length = std::to_string(text.size());
  text.replace(5 - length.size(), length.size(), length);
  return text;
}

bool DecodeViewPosition(std::string_view text, size_t levels, Combination* out) {
  out->clear();
  if (text.size() < 6 || text[0] != 'V' || text[5] != ':') return false;
  size_t length = 0;
  for (size_t i = 1; i < 5; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    length = length * 10 + static_cast<size_t>(text[i] - '0');
  }
  if (length < 7 || length > text.size() || length > kMaxViewPosition) return false;
  std::string_view body = text.substr(6, length - 6);
  uint64_t n = 0;
  bool digits = false;
  for (size_t i = 0; i <= body.size(); ++i) {
    if (i == body.size() || body[i] == ',') {
      if (!digits) return false;
      out->push_back(static_cast<uint32_t>(n));
      n = 0;
      digits = false;
    } else if (body[i] >= '0' && body[i] <= '9') {
      n = n * 10 + static_cast<uint64_t>(body[i] - '0');
      if (n > 0xFFFFFFFFu) return false;
      digits = true;
    } else {
      return false;
    }
  }
  return out->size() == levels && (*out)[0] != 0;
}

ViewControlBlock::ViewControlBlock(const ViewDeclaration* declaration)
    : declaration_(declaration), levels_(FlattenLevels(*declaration)), trace_(ReadViewTraceSettings()) {
  for (const ViewLevel* level : levels_) {
    if (level->file != nullptr) BindFields(&evaluator_, level->file);
  }
}

ViewControlBlock::~ViewControlBlock() = default;

int ViewControlBlock::source_key() const { return stage_ ? stage_->source().key() : 0; }
bool ViewControlBlock::source_reversed() const { return stage_ && stage_->source().reversed(); }
uint64_t ViewControlBlock::source_reads() const { return stage_ ? stage_->source().reads() : 0; }
uint64_t ViewControlBlock::runs_sorted() const {
  const RunStage* run = dynamic_cast<const RunStage*>(stage_.get());
  return run ? run->runs_sorted() : 0;
}

int32_t ViewControlBlock::SetFilter(std::string_view text, std::string* error) {
  error->clear();
  if (text == filter_text_) return kNoError;  // unchanged: the pipeline stays
  std::unique_ptr<Expression> parsed;
  bool blank = text.find_first_not_of(" \t") == std::string_view::npos;
  if (!blank) {
    parsed = std::make_unique<Expression>();
    EvalStatus s = evaluator_.Parse(text, parsed.get());
    if (!s.ok()) {
      *error = "filter: " + s.text + (s.detail.empty() ? "" : ": " + s.detail);
      return kErrViewText;
    }
  }
  filter_text_.assign(text);
  filter_ = std::move(parsed);
  KeepPlace();
  rebuild_ = true;
  return kNoError;
}

int32_t ViewControlBlock::SetOrder(std::string_view text, std::string* error) {
  error->clear();
  if (text == order_text_) return kNoError;
  std::vector<OrderComponent> components;
  if (!ParseOrderText(text, &components, error)) {
    *error = "order: " + *error;
    return kErrViewText;
  }
  std::vector<std::unique_ptr<Expression>> parsed;
  for (size_t i = 0; i < components.size(); ++i) {
    auto e = std::make_unique<Expression>();
    EvalStatus s = evaluator_.Parse(components[i].expression, e.get());
    if (!s.ok()) {
      *error = "order component " + std::to_string(i + 1) + " '" + components[i].expression +
               "': " + s.text + (s.detail.empty() ? "" : ": " + s.detail);
      return kErrViewText;
    }
    parsed.push_back(std::move(e));
  }
  order_text_.assign(text);
  order_ = std::move(components);
  order_exprs_ = std::move(parsed);
  start_values_.clear();
  pending_ = Pending::kNone;
  rebuild_ = true;
  return kNoError;
}

void ViewControlBlock::KeepPlace() {
  if (stage_ && !delivered_.empty() && pending_ == Pending::kNone) {
    pending_ = Pending::kPosition;
    pending_combo_ = delivered_;
    pending_after_ = true;
  }
}

int32_t ViewControlBlock::Open() {
  if (levels_.empty() || levels_[0]->file == nullptr || levels_[0]->entry == nullptr) {
    return driver::kErrFileNotOpen;
  }
  join_exprs_.clear();
  for (const ViewLevel* level : levels_) {
    if (level->file == nullptr || level->entry == nullptr) return driver::kErrFileNotOpen;
    for (const ViewJoin& join : level->joins) {
      if (join.level.file == nullptr || join.level.entry == nullptr) return driver::kErrFileNotOpen;
      if (join.key != nullptr) {
        // The key must be one of the child's, with no more parent fields than components.
        if (driver::KeyNumber(join.level.file->declaration(), join.key) == 0 ||
            join.parent_fields.size() > join.key->components.size()) {
          return driver::kErrInvalidKeyFile;
        }
        for (int f : join.parent_fields) {
          if (f < 1 || static_cast<size_t>(f) > level->file->declaration().fields.size()) {
            return driver::kErrInvalidKeyFile;
          }
        }
        join_exprs_.push_back(nullptr);
        continue;
      }
      auto e = std::make_unique<Expression>();
      EvalStatus s = evaluator_.Parse(join.expression, e.get());
      if (!s.ok()) {
        error_detail_ = "join: " + s.text + (s.detail.empty() ? "" : ": " + s.detail);
        return kErrViewText;
      }
      join_exprs_.push_back(std::move(e));
    }
  }
  open_ = true;
  opened_at_ = os::TickHundredths();
  rebuild_ = true;
  stage_.reset();
  delivered_.clear();
  pending_ = Pending::kNone;
  return kNoError;
}

int32_t ViewControlBlock::Close() {
  stage_.reset();
  open_ = false;
  delivered_.clear();
  pending_ = Pending::kNone;
  return kNoError;
}

size_t ViewControlBlock::ServedBy(int key, bool reversed) const {
  const driver::FileDeclaration& decl = levels_[0]->file->declaration();
  const driver::KeyDeclaration& k = decl.keys[static_cast<size_t>(key - 1)];
  const bool no_case = (k.flags & driver::kKeyNoCase) != 0;
  size_t served = 0;
  for (; served < order_.size() && served < k.components.size(); ++served) {
    int32_t component = k.components[served];
    size_t field = static_cast<size_t>(component < 0 ? -component : component) - 1;
    if (field >= decl.fields.size() || ((component < 0) != order_[served].descending) != reversed) {
      break;
    }
    std::string label = Normalized(decl.fields[field].label);
    size_t colon = label.find(':');
    std::string bare = colon == std::string::npos ? label : label.substr(colon + 1);
    std::string text = Normalized(order_[served].expression);
    bool matches = no_case && IsTextType(decl.fields[field].type)
                       ? text == "UPPER(" + label + ")" || text == "UPPER(" + bare + ")"
                       : text == label || text == bare;
    if (!matches) break;
  }
  return served;
}

int32_t ViewControlBlock::Build() {
  const LevelCursor primary(levels_[0]);
  int key = 0;
  served_ = 0;
  reversed_ = false;
  if (order_.empty()) {
    // The order of the key the file was last SET to.
    key = levels_[0]->entry(driver::kOpQueryKey, levels_[0]->file, nullptr);
    if (key < 0 || static_cast<size_t>(key) > levels_[0]->file->declaration().keys.size()) key = 0;
  } else {
    const auto& keys = levels_[0]->file->declaration().keys;
    int64_t all = -1;
    for (size_t i = 0; i < keys.size(); ++i) {
      if ((keys[i].flags & driver::kKeyIndex) != 0) continue;  // built only on demand
      // A key serves the order read either way (descending components from its end).
      size_t forward = ServedBy(static_cast<int>(i + 1), false);
      size_t backward = ServedBy(static_cast<int>(i + 1), true);
      size_t served = std::max(forward, backward);
      if (served <= served_) continue;
      // A key that leaves records out (OPT) serves only while it holds them all.
      if ((keys[i].flags & driver::kKeyOpt) != 0) {
        int64_t held = 0;
        if (all < 0 && primary.Records(0, &all) != kNoError) all = -2;
        if (primary.Records(static_cast<int>(i + 1), &held) != kNoError || held != all) continue;
      }
      served_ = served;
      reversed_ = backward > forward;
      key = static_cast<int>(i + 1);
    }
  }
  std::vector<const Expression*> joins;
  for (const auto& e : join_exprs_) joins.push_back(e.get());
  auto source = std::make_unique<CombinationSource>(declaration_, joins, filter_.get(), key, reversed_);
  std::vector<OrderTerm> terms;
  for (size_t i = 0; i < order_.size(); ++i) terms.push_back({order_exprs_[i].get(), order_[i].descending});
  if (served_ == order_.size()) {
    stage_ = std::make_unique<StreamStage>(std::move(source), std::move(terms));
  } else {
    stage_ = std::make_unique<RunStage>(std::move(source), std::move(terms), served_);
  }
  ++builds_;
  rebuild_ = false;
  return stage_->Restart();
}

int32_t ViewControlBlock::Ready() {
  if (!open_) return driver::kErrFileNotOpen;
  if (rebuild_ || !stage_) {
    int32_t code = Build();
    if (code != kNoError) return code;
  }
  return kNoError;
}

int32_t ViewControlBlock::Read(bool forward) {
  int32_t code = Ready();
  if (code != kNoError) return code;
  if (pending_ == Pending::kValues) {
    pending_ = Pending::kNone;
    code = stage_->SeekValues(start_values_);
    if (code != kNoError) return code;
  } else if (pending_ == Pending::kPosition) {
    pending_ = Pending::kNone;
    code = stage_->SeekCombination(pending_combo_);
    if (code != kNoError) {
      stage_->Restart();
      return code;
    }
    if (pending_after_ && forward) {
      code = stage_->Read(true);
      if (code == kNoError && stage_->current() != pending_combo_) {
        delivered_ = stage_->current();
        return kNoError;
      }
      if (code != kNoError) return code;
    }
  }
  code = stage_->Read(forward);
  if (code == kNoError) delivered_ = stage_->current();
  if (code == kErrRecordNotAvailable) delivered_.clear();
  return code;
}

int32_t ViewControlBlock::SetView(const Arguments& args) {
  if (!open_) return driver::kErrFileNotOpen;
  int64_t n = 0;
  if (!args.GetNumber(0, &n)) n = 0;
  size_t count = n <= 0 ? 0 : std::min<size_t>(static_cast<size_t>(n), order_.size());
  start_values_.clear();
  for (size_t i = 0; i < count; ++i) {
    Value v;
    if (!order_exprs_[i]->Evaluate(&v).ok()) v = Value();
    start_values_.push_back(std::move(v));
  }
  pending_ = Pending::kValues;
  return kNoError;
}

int32_t ViewControlBlock::ResetViewFile(const Arguments& args) {
  if (!open_) return driver::kErrFileNotOpen;
  driver::FileControlBlock* file = nullptr;
  if (!args.GetFile(0, &file)) file = levels_[0]->file;
  Combination c;
  for (const ViewLevel* level : levels_) {
    uint32_t r = 0;
    int32_t code = LevelCursor(level).Pointer(&r);
    if (code != kNoError) return code;
    c.push_back(r);
  }
  if (c[0] == 0) return kErrRecordNotAvailable;
  pending_ = Pending::kPosition;
  pending_combo_ = std::move(c);
  pending_after_ = false;
  return kNoError;
}

int32_t ViewControlBlock::Position(const Arguments& args) {
  if (!open_) return driver::kErrFileNotOpen;
  if (delivered_.empty()) return kErrRecordNotAvailable;
  std::string position = EncodeViewPosition(delivered_);
  if (position.empty()) return driver::kErrInvalidParameterCount;
  return AnswerText(args, 0, position);
}

int32_t ViewControlBlock::ResetFile(const Arguments& args, bool reget) {
  if (!open_) return driver::kErrFileNotOpen;
  std::string text;
  Combination c;
  if (!TextArg(args, 0, &text)) return driver::kErrInvalidParameterCount;
  if (!DecodeViewPosition(text, levels_.size(), &c)) return driver::kErrRecordNotFound;
  if (reget) {
    int32_t code = Ready();
    if (code != kNoError) return code;
    code = stage_->source().Load(c);
    if (code == kNoError) delivered_ = c;
    return code;
  }
  pending_ = Pending::kPosition;
  pending_combo_ = std::move(c);
  pending_after_ = false;
  return kNoError;
}

int32_t ViewControlBlock::Records(const Arguments& args) {
  int32_t code = Ready();
  if (code != kNoError) return code;
  std::vector<const Expression*> joins;
  for (const auto& e : join_exprs_) joins.push_back(e.get());
  CombinationSource counter(declaration_, joins, filter_.get(), 0);
  code = counter.Start();
  int64_t count = 0;
  Combination c;
  while (code == kNoError && (code = counter.Step(true, &c)) == kNoError) ++count;
  if (code != kErrRecordNotAvailable) return code;
  // The count moved the files; the view goes on from where it was.
  KeepPlace();
  rebuild_ = true;
  int64_t* place = nullptr;
  if (!args.GetNumberAnswer(0, &place)) return driver::kErrInvalidParameterCount;
  *place = count;
  return kNoError;
}

int32_t ViewControlBlock::Property(const Arguments& args, bool set) {
  int64_t number = 0;
  if (!args.GetNumber(0, &number)) return driver::kErrInvalidParameterCount;
  std::string value;
  if (set && !TextArg(args, 1, &value)) return driver::kErrInvalidParameterCount;
  std::string answer;
  switch (static_cast<uint32_t>(number)) {
    case kPropFilter:
      if (set) return SetFilter(value, &error_detail_);
      answer = filter_text_;
      break;
    case kPropOrder:
      if (set) return SetOrder(value, &error_detail_);
      answer = order_text_;
      break;
    case kPropStartValue: {
      int64_t n = 0;
      if (!args.GetNumber(2, &n)) return driver::kErrInvalidParameterCount;
      if (n < 1 || static_cast<size_t>(n) > order_.size()) {
        if (set) return kNoError;  // outside the components: nothing changes
        break;                     // and nothing is answered
      }
      size_t i = static_cast<size_t>(n - 1);
      if (set) {
        if (start_values_.size() <= i) start_values_.resize(i + 1, Value::String(""));
        start_values_[i] = StartValueFromText(value);
        return kNoError;
      }
      if (i < start_values_.size()) answer = start_values_[i].ToText();
      break;
    }
    case kPropTraceIntoFiles:
      if (set) {
        trace_.into_files = std::atoi(value.c_str()) != 0;
        return kNoError;
      }
      answer.assign(1, trace_.into_files ? '1' : '0');
      break;
    case kPropFileCount:
      if (set) return driver::kErrUnsupportedFunction;
      answer = std::to_string(levels_.size());
      break;
    case kPropViewText:
      if (set) return driver::kErrUnsupportedFunction;
      answer = declaration_->ToText();
      break;
    default: return driver::kErrUnsupportedFunction;
  }
  return AnswerText(args, 1, answer);
}

int32_t ViewControlBlock::PassToPrimary(int operation, const Arguments& args) {
  if (!open_) return driver::kErrFileNotOpen;
  return levels_[0]->entry(operation, levels_[0]->file, &args);
}

namespace {

// The files of a view hold their reader access for the length of one view
// operation: a sorted run reads hundreds of records, each otherwise an access
// of its own (on a shared file a lock, a header read and an unlock).
class ReadHold {
 public:
  explicit ReadHold(const std::vector<const ViewLevel*>& levels) : levels_(levels) { Set(true); }
  ~ReadHold() { Set(false); }
  ReadHold(const ReadHold&) = delete;
  ReadHold& operator=(const ReadHold&) = delete;

 private:
  void Set(bool on) {
    for (const ViewLevel* level : levels_) {
      if (level->file != nullptr && level->file->state) level->file->state->HoldReads(on);
    }
  }
  const std::vector<const ViewLevel*>& levels_;
};

bool ReadsRecords(int operation) {
  switch (operation) {
    case driver::kOpSetView:
    case driver::kOpResetViewFile:
    case driver::kOpNext:
    case driver::kOpPrevious:
    case driver::kOpSkip:
    case driver::kOpPositionFile:
    case driver::kOpResetFile:
    case driver::kOpRegetFile:
    case driver::kOpRecordsFile: return true;
    default: return false;
  }
}

}  // namespace

int32_t ViewControlBlock::Run(int operation, const Arguments& args) {
  std::optional<ReadHold> hold;
  if (open_ && ReadsRecords(operation)) hold.emplace(levels_);
  switch (operation) {
    case driver::kOpOpen: return Open();
    case driver::kOpClose: return Close();
    case driver::kOpSetView: return SetView(args);
    case driver::kOpResetViewFile: return ResetViewFile(args);
    case driver::kOpNext: return Read(true);
    case driver::kOpPrevious: return Read(false);
    case driver::kOpSkip: {
      int64_t n = 0;
      if (!args.GetNumber(0, &n)) return driver::kErrInvalidParameterCount;
      for (int64_t i = 0; i < (n < 0 ? -n : n); ++i) {
        int32_t code = Read(n > 0);
        if (code != kNoError) return code;
      }
      return kNoError;
    }
    case driver::kOpPositionFile: return Position(args);
    case driver::kOpResetFile: return ResetFile(args, false);
    case driver::kOpRegetFile: return ResetFile(args, true);
    case driver::kOpRecordsFile: return Records(args);
    case driver::kOpWatch:
      if (!open_) return driver::kErrFileNotOpen;
      for (const ViewLevel* level : levels_) {
        int32_t code = level->entry(driver::kOpWatch, level->file, &args);
        if (code != kNoError) return code;
      }
      return kNoError;
    case driver::kOpFlush:
      if (!open_) return driver::kErrFileNotOpen;
      KeepPlace();
      rebuild_ = true;
      return kNoError;
    case driver::kOpDelete:
    case driver::kOpPut:
    case driver::kOpHoldFile:
    case driver::kOpHoldFileSec:
    case driver::kOpRelease: return PassToPrimary(operation, args);
    case driver::kOpSetProperty: return Property(args, true);
    case driver::kOpGetProperty: return Property(args, false);
    default: return driver::kErrUnsupportedFunction;
  }
}

void ViewControlBlock::Trace(int operation, int32_t code, uint32_t hundredths) {
  std::string text;
  const driver::FileControlBlock* primary = levels_.empty() ? nullptr : levels_[0]->file;
  const bool details = primary != nullptr && primary->state && primary->state->trace.details;
  if (details && !text_traced_) {
    text += declaration_->ToText();
    text_traced_ = true;
  }
  text += ViewTraceLine(operation, this, CurrentThreadNumber(), code, hundredths);
  if (details && code == kNoError &&
      (operation == driver::kOpNext || operation == driver::kOpPrevious ||
       operation == driver::kOpPut || operation == driver::kOpDelete)) {
    for (const ViewLevel* level : levels_) text += driver::RecordDetails(*level->file);
  }
  driver::AppendTrace(trace_.file, text);
}

int32_t ViewEntry(int operation, ViewControlBlock* view, const Arguments* args) {
  if (view == nullptr) return driver::kErrFileNotOpen;
  driver::ClearCurrentError();
  static const Arguments kNone;
  const bool tracing = view->trace().on;
  const uint32_t start = tracing ? os::TickHundredths() : 0;
  const uint32_t opened = view->opened_at();
  int32_t code = view->Run(operation, args != nullptr ? *args : kNone);
  if (tracing) {
    // CLOSE tells how long the view was open.
    uint32_t from = operation == driver::kOpClose ? opened : start;
    view->Trace(operation, code, os::TickHundredths() - from);
  }
  if (code != kNoError) {
    std::string detail = code == kErrViewText ? view->last_error_detail() : std::string();
    driver::PostError(code, "VIEW", view, {}, detail);
  } else {
    // What the view met on its way (the read that ended a run at the end of
    // the file, a driver without read holds) is not the caller's error.
    driver::ClearCurrentError();
  }
  return code;
}

}  // namespace korvex::view
