#include "data/view/view_stage.h"

#include <algorithm>

#include "data/driver/error_codes.h"
#include "data/view/order_compare.h"

namespace korvex::view {

using driver::kErrRecordNotAvailable;
using driver::kNoError;

std::vector<Value> Stage::Values() const {
  std::vector<Value> values;
  values.reserve(terms_.size());
  for (const OrderTerm& t : terms_) {
    Value v;
    if (!t.expression->Evaluate(&v).ok()) v = Value();
    values.push_back(std::move(v));
  }
  return values;
}

int Stage::CompareValues(const std::vector<Value>& a, const std::vector<Value>& b, size_t from,
                         size_t to) const {
  for (size_t i = from; i < to && i < a.size() && i < b.size(); ++i) {
    int c = CompareOrderValues(a[i], b[i]);
    if (c != 0) return terms_[i].descending ? -c : c;
  }
  return 0;
}

// --- StreamStage ---------------------------------------------------------------

int32_t StreamStage::Restart() {
  pending_ = Pending::kNone;
  current_.clear();
  return source_->Start();
}

int32_t StreamStage::Read(bool forward) {
  if (pending_ == Pending::kOn) {
    pending_ = Pending::kNone;
    if (forward) return source_->Load(current_);
  } else if (pending_ == Pending::kEnd) {
    int32_t code = Restart();
    if (code != kNoError) return code;
    if (forward) return kErrRecordNotAvailable;
  }
  Combination c;
  int32_t code = source_->Step(forward, &c);
  if (code == kErrRecordNotAvailable) {
    Restart();
    return code;
  }
  if (code != kNoError) return code;
  current_ = std::move(c);
  return kNoError;
}

int32_t StreamStage::SeekValues(const std::vector<Value>& start) {
  if (start.empty()) return Restart();
  pending_ = Pending::kNone;
  int32_t code = source_->StartAtKey(start);
  if (code != kNoError) return code;
  // The key places the source at or before the first; the order decides.
  for (;;) {
    Combination c;
    code = source_->Step(true, &c);
    if (code == kErrRecordNotAvailable) {
      pending_ = Pending::kEnd;
      return kNoError;
    }
    if (code != kNoError) return code;
    if (CompareValues(Values(), start, 0, start.size()) >= 0) {
      current_ = std::move(c);
      pending_ = Pending::kOn;
      return kNoError;
    }
  }
}

int32_t StreamStage::SeekCombination(const Combination& c) {
  pending_ = Pending::kNone;
  Combination found;
  int32_t code = source_->SeekOn(c, &found);
  if (code != kNoError) return code;
  current_ = std::move(found);
  // One the filter leaves out is only the place to go on from.
  pending_ = source_->Passes() ? Pending::kOn : Pending::kNone;
  return kNoError;
}

// --- RunStage ------------------------------------------------------------------

int32_t RunStage::Restart() {
  run_.clear();
  have_run_ = false;
  pending_ = Pending::kNone;
  current_.clear();
  return source_->Start();
}

int32_t RunStage::Deliver() {
  current_ = run_[index_].combo;
  return source_->Load(current_);
}

int32_t RunStage::ReadRun(bool forward) {
  run_.clear();
  have_run_ = false;
  int64_t seq = 0;
  for (;;) {
    Combination c;
    int32_t code = source_->Step(forward, &c);
    if (code == kErrRecordNotAvailable) break;
    if (code != kNoError) return code;
    Entry e{Values(), std::move(c), forward ? seq++ : seq--};
    // The first record of the next run has been read one too far; it is read
    // again when that run is wanted.
    if (!run_.empty() && CompareValues(e.values, run_[0].values, 0, served_) != 0) break;
    run_.push_back(std::move(e));
  }
  if (run_.empty()) return kErrRecordNotAvailable;
  const size_t n = terms_.size();
  if (served_ < n) {
    // Merge sorting stays within the run even when an expression mixes kinds
    // of values so that its comparisons are not consistent.
    std::stable_sort(run_.begin(), run_.end(), [&](const Entry& a, const Entry& b) {
      int c = CompareValues(a.values, b.values, served_, n);
      return c != 0 ? c < 0 : a.seq < b.seq;
    });
    ++runs_sorted_;
  }
  auto by_seq = [](const Entry& a, const Entry& b) { return a.seq < b.seq; };
  run_first_ = std::min_element(run_.begin(), run_.end(), by_seq)->combo;
  run_last_ = std::max_element(run_.begin(), run_.end(), by_seq)->combo;
  have_run_ = true;
  return kNoError;
}

int32_t RunStage::Read(bool forward) {
  if (pending_ == Pending::kOn) {
    pending_ = Pending::kNone;
    if (forward) return Deliver();
  } else if (pending_ == Pending::kEnd) {
    int32_t code = Restart();
    if (code != kNoError) return code;
    if (forward) return kErrRecordNotAvailable;
  }
  if (have_run_) {
    if (forward && index_ + 1 < run_.size()) {
      ++index_;
      return Deliver();
    }
    if (!forward && index_ > 0) {
      --index_;
      return Deliver();
    }
    Combination found;
    const std::vector<Value> lead(run_[0].values.begin(),
                                  run_[0].values.begin() + static_cast<ptrdiff_t>(served_));
    int32_t code = source_->SeekOn(forward ? run_last_ : run_first_, &found);
    if (code == driver::kErrRecordNotFound) {
      // The run's edge was deleted meanwhile: its leading values find the place again.
      code = StartRunAt(lead);
      if (code == kNoError) code = ReadRun(true);
      if (code == kNoError && CompareValues(run_[0].values, lead, 0, served_) == 0) {
        code = source_->SeekOn(forward ? run_last_ : run_first_, &found);
      } else if (code == kNoError && forward) {
        index_ = 0;  // the whole run is gone; the one read follows it
        return Deliver();
      } else if (code == kNoError) {
        code = source_->SeekOn(run_first_, &found);
      } else if (code == kErrRecordNotAvailable) {
        // Nothing at or after the run's values: the end, or backwards from it.
        code = Restart();
        if (code == kNoError && forward) return kErrRecordNotAvailable;
      }
    }
    if (code != kNoError) return code;
  }
  int32_t code = ReadRun(forward);
  if (code == kErrRecordNotAvailable) {
    Restart();
    return code;
  }
  if (code != kNoError) return code;
  index_ = forward ? 0 : run_.size() - 1;
  return Deliver();
}

int32_t RunStage::StartRunAt(const std::vector<Value>& lead) {
  run_.clear();
  have_run_ = false;
  pending_ = Pending::kNone;
  if (served_ == 0 || source_->key() == 0) return source_->Start();
  return source_->StartAtKey(lead);
}

int32_t RunStage::SeekValues(const std::vector<Value>& start) {
  if (start.empty()) return Restart();
  const size_t m = std::min(start.size(), terms_.size());
  std::vector<Value> lead(start.begin(), start.begin() + static_cast<ptrdiff_t>(std::min(m, served_)));
  int32_t code = StartRunAt(lead);
  if (code != kNoError) return code;
  for (;;) {
    code = ReadRun(true);
    if (code == kErrRecordNotAvailable) {
      pending_ = Pending::kEnd;
      return kNoError;
    }
    if (code != kNoError) return code;
    for (size_t i = 0; i < run_.size(); ++i) {
      if (CompareValues(run_[i].values, start, 0, m) >= 0) {
        index_ = i;
        current_ = run_[i].combo;
        pending_ = Pending::kOn;
        return kNoError;
      }
    }
    Combination found;
    code = source_->SeekOn(run_last_, &found);
    if (code != kNoError) return code;
  }
}

int32_t RunStage::SeekCombination(const Combination& c) {
  int32_t code = source_->Load(c);
  if (code != kNoError) return code;
  const std::vector<Value> values = Values();
  code = StartRunAt(std::vector<Value>(values.begin(), values.begin() + static_cast<ptrdiff_t>(served_)));
  if (code != kNoError) return code;
  for (;;) {
    code = ReadRun(true);
    if (code == kErrRecordNotAvailable) {
      pending_ = Pending::kEnd;
      return kNoError;
    }
    if (code != kNoError) return code;
    for (size_t i = 0; i < run_.size(); ++i) {
      if (run_[i].combo == c) {
        index_ = i;
        current_ = c;
        pending_ = Pending::kOn;
        return kNoError;
      }
    }
    // Not in its run (it no longer passes the filter): the place its values give.
    if (CompareValues(run_[0].values, values, 0, served_) >= 0) return SeekValues(values);
    Combination found;
    code = source_->SeekOn(run_last_, &found);
    if (code != kNoError) return code;
  }
}

}  // namespace korvex::view
