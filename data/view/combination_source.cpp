#include "data/view/combination_source.h"

#include "data/driver/arguments.h"
#include "data/driver/error_codes.h"
#include "data/driver/operation.h"
#include "data/view/field_binding.h"
#include "data/view/order_compare.h"

namespace korvex::view {

using driver::Argument;
using driver::Arguments;

namespace {

const driver::KeyDeclaration* KeyOf(const driver::FileControlBlock& file, int key) {
  const auto& keys = file.declaration().keys;
  if (key < 1 || static_cast<size_t>(key) > keys.size()) return nullptr;
  return &keys[static_cast<size_t>(key - 1)];
}

size_t CountLevels(const ViewLevel& level) {
  size_t n = 1;
  for (const ViewJoin& j : level.joins) n += CountLevels(j.level);
  return n;
}

}  // namespace

int32_t LevelCursor::Call(int operation, const Arguments& args) const {
  return level_->entry(operation, level_->file, &args);
}

int32_t LevelCursor::SetOrder(int key) const {
  if (key == 0) return Call(driver::kOpSetFile, {});
  return Call(driver::kOpSetKey, {Argument::Key(KeyOf(file(), key))});
}

int32_t LevelCursor::SetFromBuffer(int key) const {
  return Call(driver::kOpSetKeyKey, {Argument::Key(KeyOf(file(), key))});
}

int32_t LevelCursor::SetAt(int key, uint32_t r) const {
  if (key == 0) return Call(driver::kOpSetFilePtr, {Argument::Number(r)});
  return Call(driver::kOpSetKeyKeyPtr, {Argument::Key(KeyOf(file(), key)), Argument::Number(r)});
}

int32_t LevelCursor::Step(bool forward) const {
  return Call(forward ? driver::kOpNext : driver::kOpPrevious, {});
}

int32_t LevelCursor::Pointer(uint32_t* r) const {
  int64_t n = 0;
  int32_t code = Call(driver::kOpPointerFile, {Argument::NumberAnswer(&n)});
  *r = static_cast<uint32_t>(n);
  return code;
}

int32_t LevelCursor::Load(uint32_t r) const {
  if (r == 0) {
    ClearRecord(file());
    return driver::kNoError;
  }
  return Call(driver::kOpGetFilePtr, {Argument::Number(r)});
}

int32_t LevelCursor::Records(int key, int64_t* count) const {
  *count = 0;
  if (key == 0) return Call(driver::kOpRecordsFile, {Argument::NumberAnswer(count)});
  return Call(driver::kOpRecordsKey, {Argument::Key(KeyOf(file(), key)), Argument::NumberAnswer(count)});
}

CombinationSource::CombinationSource(const ViewDeclaration* view,
                                     std::vector<const Expression*> join_conditions,
                                     const Expression* filter, int key, bool reversed)
    : filter_(filter), key_(key), reversed_(reversed) {
  levels_ = FlattenLevels(*view);
  for (const ViewLevel* level : levels_) {
    cursors_.emplace_back(level);
    subtree_.push_back(CountLevels(*level));
  }
  size_t next = 0;
  for (const ViewLevel* level : levels_) {
    for (const ViewJoin& join : level->joins) {
      const Expression* e = next < join_conditions.size() ? join_conditions[next] : nullptr;
      ++next;
      if (join.key == nullptr && e != nullptr) conditions_[&join] = e;
    }
  }
  joined_ = levels_.size() > 1;
}

size_t CombinationSource::Index(const ViewLevel* level) const {
  for (size_t i = 0; i < levels_.size(); ++i) {
    if (levels_[i] == level) return i;
  }
  return 0;
}

int32_t CombinationSource::Start() {
  on_ = false;
  combos_.clear();
  return cursors_[0].SetOrder(key_);
}

int32_t CombinationSource::StartAtKey(const std::vector<Value>& values) {
  on_ = false;
  combos_.clear();
  if (key_ == 0) return cursors_[0].SetOrder(0);
  const driver::FileControlBlock& file = cursors_[0].file();
  const driver::KeyDeclaration* key = KeyOf(file, key_);
  for (size_t i = 0; i < key->components.size(); ++i) {
    int32_t component = key->components[i];
    int field = (component < 0 ? -component : component) - 1;
    bool descending = component < 0;
    if (i < values.size()) {
      SetFieldValue(file, field, values[i]);
    } else {
      SetFieldExtreme(file, field, descending != reversed_);
    }
  }
  return cursors_[0].SetFromBuffer(key_);
}

bool CombinationSource::Passes() const {
  if (filter_ == nullptr) return true;
  Value v;
  return filter_->Evaluate(&v).ok() && v.IsTrue();
}

int32_t CombinationSource::Children(const ViewJoin& join, const ViewLevel& parent,
                                    std::vector<uint32_t>* out) {
  out->clear();
  const LevelCursor& child = cursors_[Index(&join.level)];
  const driver::FileControlBlock& file = child.file();
  int32_t code = driver::kNoError;
  if (join.key != nullptr) {
    int key = driver::KeyNumber(file.declaration(), join.key);
    if (key == 0) return driver::kErrInvalidKeyFile;
    // The parent's values in the leading components, the rest at their lowest.
    std::vector<Value> wanted;
    for (int f : join.parent_fields) wanted.push_back(FieldValue(*parent.file, f - 1));
    const bool no_case = (join.key->flags & driver::kKeyNoCase) != 0;
    ClearRecord(file);
    for (size_t i = 0; i < join.key->components.size(); ++i) {
      int32_t component = join.key->components[i];
      int field = (component < 0 ? -component : component) - 1;
      if (i < wanted.size()) {
        SetFieldValue(file, field, wanted[i]);
      } else {
        SetFieldExtreme(file, field, component < 0);
      }
    }
    code = child.SetFromBuffer(key);
    while (code == driver::kNoError) {
      code = child.Step(true);
      if (code != driver::kNoError) break;
      bool same = true;
      for (size_t i = 0; i < wanted.size() && same; ++i) {
        int32_t component = join.key->components[i];
        int field = (component < 0 ? -component : component) - 1;
        same = CompareOrderValues(FieldValue(file, field), wanted[i], no_case) == 0;
      }
      if (!same) break;
      uint32_t r = 0;
      code = Pointer(Index(&join.level), &r);
      if (code == driver::kNoError) out->push_back(r);
    }
  } else {
    auto it = conditions_.find(&join);
    code = child.SetOrder(0);
    while (code == driver::kNoError) {
      code = child.Step(true);
      if (code != driver::kNoError) break;
      Value v;
      if (it != conditions_.end() && !(it->second->Evaluate(&v).ok() && v.IsTrue())) continue;
      uint32_t r = 0;
      code = Pointer(Index(&join.level), &r);
      if (code == driver::kNoError) out->push_back(r);
    }
  }
  return code == driver::kErrRecordNotAvailable ? driver::kNoError : code;
}

int32_t CombinationSource::Expand(const ViewLevel& level, uint32_t r, std::vector<Combination>* out) {
  std::vector<Combination> acc{{r}};
  for (const ViewJoin& join : level.joins) {
    std::vector<uint32_t> records;
    int32_t code = Children(join, level, &records);
    if (code != driver::kNoError) return code;
    std::vector<Combination> below;
    for (uint32_t c : records) {
      // The child's own joins read from its record.
      const LevelCursor& child = cursors_[Index(&join.level)];
      code = child.Load(c);
      if (code != driver::kNoError) return code;
      code = Expand(join.level, c, &below);
      if (code != driver::kNoError) return code;
    }
    if (below.empty()) {
      if (join.inner) {
        return driver::kNoError;  // the parent is not delivered
      }
      below.push_back(Combination(CountLevels(join.level), 0));
    }
    std::vector<Combination> joined;
    joined.reserve(acc.size() * below.size());
    for (const Combination& a : acc) {
      for (const Combination& b : below) {
        Combination c = a;
        c.insert(c.end(), b.begin(), b.end());
        joined.push_back(std::move(c));
      }
    }
    acc = std::move(joined);
  }
  out->insert(out->end(), acc.begin(), acc.end());
  return driver::kNoError;
}

int32_t CombinationSource::Load(const Combination& c) const {
  for (size_t i = 0; i < cursors_.size() && i < c.size(); ++i) {
    int32_t code = cursors_[i].Load(c[i]);
    if (code != driver::kNoError) return code;
  }
  return driver::kNoError;
}

int32_t CombinationSource::Pointer(size_t level, uint32_t* r) {
  pointer_answer_ = 0;
  int32_t code = cursors_[level].Call(driver::kOpPointerFile, pointer_args_);
  *r = static_cast<uint32_t>(pointer_answer_);
  return code;
}

// Reads primary records until one has combinations; the buffers then hold
// the first (last) of them.
int32_t CombinationSource::Arrive(bool forward) {
  for (;;) {
    int32_t code = cursors_[0].Step(forward != reversed_);
    ++reads_;
    if (code != driver::kNoError) return code;
    uint32_t r = 0;
    code = Pointer(0, &r);
    if (code != driver::kNoError) return code;
    if (!joined_) {
      // One combination per record: its place is reused, not made anew.
      combos_.resize(1);
      combos_[0].assign(1, r);
    } else {
      combos_.clear();
      code = Expand(*levels_[0], r, &combos_);
      if (code != driver::kNoError) return code;
    }
    if (combos_.empty()) continue;
    index_ = forward ? 0 : combos_.size() - 1;
    on_ = true;
    if (joined_) {
      for (size_t i = 1; i < cursors_.size(); ++i) {
        code = cursors_[i].Load(combos_[index_][i]);
        if (code != driver::kNoError) return code;
      }
    }
    return driver::kNoError;
  }
}

int32_t CombinationSource::Step(bool forward, Combination* out) {
  for (;;) {
    int32_t code = driver::kNoError;
    if (on_ && forward && index_ + 1 < combos_.size()) {
      ++index_;
      for (size_t i = 1; i < cursors_.size() && code == driver::kNoError; ++i) {
        code = cursors_[i].Load(combos_[index_][i]);
      }
    } else if (on_ && !forward && index_ > 0) {
      --index_;
      for (size_t i = 1; i < cursors_.size() && code == driver::kNoError; ++i) {
        code = cursors_[i].Load(combos_[index_][i]);
      }
    } else {
      code = Arrive(forward);
    }
    if (code != driver::kNoError) return code;
    if (Passes()) {
      *out = combos_[index_];
      return driver::kNoError;
    }
  }
}

int32_t CombinationSource::SeekOn(const Combination& c, Combination* found) {
  on_ = false;
  combos_.clear();
  if (c.empty()) return driver::kErrRecordNotFound;
  int32_t code = cursors_[0].Load(c[0]);
  if (code != driver::kNoError) return code;
  code = cursors_[0].SetAt(key_, c[0]);
  if (code != driver::kNoError) return code;
  code = Arrive(true);
  if (code != driver::kNoError) return code;
  for (size_t i = 0; i < combos_.size(); ++i) {
    if (combos_[i] == c) {
      index_ = i;
      break;
    }
  }
  *found = combos_[index_];
  return Load(*found);
}

}  // namespace korvex::view
