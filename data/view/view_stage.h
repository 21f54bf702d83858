// The upper stages of a view's pipeline over a combination source: the order
// stage that delivers the source as it comes (the source's key serves the
// whole order, or there is none) and the one that sorts runs of records with
// equal leading order values in memory. Both read either way and can be
// placed at start values or at a combination; what they deliver is read into
// the record buffers again, so that it is the files' current record.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "data/view/combination_source.h"
#include "data/view/order_text.h"
#include "data/view/sort_key.h"

namespace korvex::view {

class Stage {
 public:
  virtual ~Stage() = default;
  // The next forward read starts at the first combination, a backward one at the last.
  virtual int32_t Restart() = 0;
  // The following (preceding) combination into the buffers; 33 at the end,
  // after which the stage has restarted.
  virtual int32_t Read(bool forward) = 0;
  // The next forward read delivers the first combination whose first
  // start.size() order values are not below start, a backward read the one before it.
  virtual int32_t SeekValues(const std::vector<Value>& start) = 0;
  // The next forward read delivers c (or, when it is gone, what follows its
  // place), a backward read the one before.
  virtual int32_t SeekCombination(const Combination& c) = 0;
  const Combination& current() const { return current_; }
  CombinationSource& source() { return *source_; }

 protected:
  Stage(std::unique_ptr<CombinationSource> source, std::vector<OrderTerm> terms)
      : source_(std::move(source)), terms_(std::move(terms)) {}
  // The order values of the combination in the buffers.
  std::vector<Value> Values() const;
  // Compares values from..to-1 in the order's directions.
  int CompareValues(const std::vector<Value>& a, const std::vector<Value>& b, size_t from,
                    size_t to) const;

  std::unique_ptr<CombinationSource> source_;
  std::vector<OrderTerm> terms_;
  Combination current_;
};

// The source's own order is the view's order.
class StreamStage : public Stage {
 public:
  StreamStage(std::unique_ptr<CombinationSource> source, std::vector<OrderTerm> terms)
      : Stage(std::move(source), std::move(terms)) {}
  int32_t Restart() override;
  int32_t Read(bool forward) override;
  int32_t SeekValues(const std::vector<Value>& start) override;
  int32_t SeekCombination(const Combination& c) override;

 private:
  enum class Pending { kNone, kOn, kEnd };
  Pending pending_ = Pending::kNone;
};

// The source delivers the first `served` order components in order; runs of
// equal values among them are sorted by the rest, ties kept in source order
// (key order, then record number). A run is held flat: per combination its
// key bytes, the values of components read through the evaluator and its
// record numbers; the sort orders indices.
class RunStage : public Stage {
 public:
  RunStage(std::unique_ptr<CombinationSource> source, std::vector<OrderTerm> terms, size_t served);
  int32_t Restart() override;
  int32_t Read(bool forward) override;
  int32_t SeekValues(const std::vector<Value>& start) override;
  int32_t SeekCombination(const Combination& c) override;
  // Runs sorted so far (for tests and benchmarks).
  uint64_t runs_sorted() const { return runs_sorted_; }

 private:
  enum class Pending { kNone, kOn, kEnd };
  // Reads the run that follows (precedes) the source's position and sorts it.
  int32_t ReadRun(bool forward);
  // Places the source at the start of the run whose leading values are `lead`.
  int32_t StartRunAt(const std::vector<Value>& lead);
  int32_t Deliver();
  // Sorts the run by its key bytes from `from` on, ties in source order; for
  // orders whose unserved components are all key bytes.
  void SortByKeyBytes(size_t from, bool forward);
  // The i-th combination of the run in the view's order.
  const uint32_t* Combo(size_t i) const { return &combos_[sorted_[i] * levels_]; }
  Combination ComboAt(size_t i) const;  // in read order
  // Makes room for one more combination in the flat buffers.
  void Grow();
  // Whether the run's i-th combination (view order) is not below start in
  // components [served, m); may read it into the buffers.
  int32_t AtLeast(size_t i, const std::vector<Value>& start, size_t m, bool* at_least);
  // The first of the run not below start in its first m components; false when none is.
  int32_t FindNotBelow(const std::vector<Value>& start, size_t m, size_t* index, bool* found);

  size_t served_;
  SortKeyReader keys_;
  size_t levels_;
  std::vector<uint8_t> key_bytes_;  // keys_.width() per combination, in read order
  std::vector<Value> values_;       // keys_.value_count() per combination
  std::vector<uint32_t> combos_;    // levels_ record numbers per combination
  std::vector<uint32_t> sorted_;    // read-order indices in the view's order
  struct SortItem {
    uint64_t prefix;  // eight key bytes after those the run shares
    uint32_t rank;    // in source order
    uint32_t index;   // in read order
  };
  std::vector<SortItem> sort_items_;
  size_t count_ = 0;                // combinations in the run
  std::vector<Value> lead_;         // the run's first `served` values
  size_t index_ = 0;                // into sorted_
  bool have_run_ = false;
  Combination run_first_, run_last_;  // in source order
  Combination scratch_;
  Pending pending_ = Pending::kNone;
  uint64_t runs_sorted_ = 0;
};

}  // namespace korvex::view
