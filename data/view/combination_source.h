// The bottom of a view's pipeline: the primary file read in the order of one
// key (or of record numbers), each record expanded into its combinations with
// the joined files, and the filter applied. Reads both ways through the
// files' drivers; what it delivers stands in the record buffers.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "data/driver/arguments.h"
#include "data/view/view_declaration.h"
#include "runtime/eval/evaluator.h"
#include "runtime/eval/value.h"

namespace korvex::view {

// Record numbers of every level in depth-first order; 0 for a cleared level.
using Combination = std::vector<uint32_t>;

// One file's driver calls.
class LevelCursor {
 public:
  explicit LevelCursor(const ViewLevel* level) : level_(level) {}
  driver::FileControlBlock& file() const { return *level_->file; }
  const ViewLevel& level() const { return *level_; }

  int32_t Call(int operation, const driver::Arguments& args) const;
  // SET in record order (key 0) or key order, from either end.
  int32_t SetOrder(int key) const;
  // SET in key order from the key value in the record buffer.
  int32_t SetFromBuffer(int key) const;
  // SET so that the next read delivers record r (whose record is in the buffer).
  int32_t SetAt(int key, uint32_t r) const;
  int32_t Step(bool forward) const;
  int32_t Pointer(uint32_t* r) const;
  // Reads record r into the buffer; r 0 clears the buffer.
  int32_t Load(uint32_t r) const;
  // RECORDS of the file (key 0) or of a key.
  int32_t Records(int key, int64_t* count) const;

 private:
  const ViewLevel* level_;
};

class CombinationSource {
 public:
  // join_conditions: one parsed expression per expression join in depth-first
  // order (null for key joins); filter may be null. With reversed the key is
  // read from its end (a forward read of the source is a PREVIOUS of the file).
  // REQUIRES: all outlive this.
  CombinationSource(const ViewDeclaration* view, std::vector<const Expression*> join_conditions,
                    const Expression* filter, int key, bool reversed = false);
  // Not copied: its argument words point at its own answer.
  CombinationSource(const CombinationSource&) = delete;
  CombinationSource& operator=(const CombinationSource&) = delete;

  int key() const { return key_; }
  bool reversed() const { return reversed_; }
  size_t level_count() const { return cursors_.size(); }
  const LevelCursor& cursor(size_t level) const { return cursors_[level]; }

  // Before the first combination for a forward read, after the last for a backward one.
  int32_t Start();
  // From the first record of the primary file whose leading key components are
  // not below values (the rest of the key at its lowest; reversed: not above,
  // the rest at its highest).
  int32_t StartAtKey(const std::vector<Value>& values);
  // The following (preceding) combination that passes the filter; 33 at the end.
  int32_t Step(bool forward, Combination* out);
  // Placed on combination c (read again), so that Step moves on from it.
  // The buffers hold c afterwards. 35 when its primary record is gone.
  int32_t SeekOn(const Combination& c, Combination* found);
  // True when the combination in the buffers passes the filter.
  bool Passes() const;
  // Reads every level of c into the buffers.
  int32_t Load(const Combination& c) const;
  // Source reads of the primary file so far (for tests and benchmarks).
  uint64_t reads() const { return reads_; }

 private:
  size_t Index(const ViewLevel* level) const;
  int32_t Expand(const ViewLevel& level, uint32_t r, std::vector<Combination>* out);
  int32_t Children(const ViewJoin& join, const ViewLevel& parent, std::vector<uint32_t>* out);
  int32_t Arrive(bool forward);
  // The record number of level's current record, asked with words made once.
  int32_t Pointer(size_t level, uint32_t* r);

  std::vector<const ViewLevel*> levels_;
  std::vector<LevelCursor> cursors_;
  std::vector<size_t> subtree_;           // per level: levels in its subtree
  std::map<const ViewJoin*, const Expression*> conditions_;  // expression joins
  const Expression* filter_;
  int key_;
  bool reversed_;
  bool joined_;
  std::vector<Combination> combos_;  // of the current primary record
  size_t index_ = 0;
  bool on_ = false;  // combos_[index_] is the current combination
  uint64_t reads_ = 0;
  int64_t pointer_answer_ = 0;
  driver::Arguments pointer_args_{driver::Argument::NumberAnswer(&pointer_answer_)};
};

}  // namespace korvex::view
