#include "data/view/view_stage.h"

#include <algorithm>
#include <cstring>

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
  // Step sets current_ only when it delivers.
  int32_t code = source_->Step(forward, &current_);
  if (code == kErrRecordNotAvailable) {
    Restart();
    return code;
  }
  return code;
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

RunStage::RunStage(std::unique_ptr<CombinationSource> source, std::vector<OrderTerm> terms, size_t served)
    : Stage(std::move(source), std::move(terms)),
      served_(served),
      keys_(terms_),
      levels_(std::max<size_t>(source_->level_count(), 1)) {}

int32_t RunStage::Restart() {
  count_ = 0;
  have_run_ = false;
  pending_ = Pending::kNone;
  current_.clear();
  return source_->Start();
}

Combination RunStage::ComboAt(size_t i) const {
  return Combination(combos_.begin() + static_cast<ptrdiff_t>(i * levels_),
                     combos_.begin() + static_cast<ptrdiff_t>((i + 1) * levels_));
}

int32_t RunStage::Deliver() {
  const uint32_t* c = Combo(index_);
  current_.assign(c, c + levels_);
  return source_->Load(current_);
}

void RunStage::Grow() {
  const size_t n = count_ + 1;
  // Doubling keeps the buffers of one run to a few allocations, kept for the next run.
  auto fit = [n](auto& v, size_t per) {
    if (v.size() < n * per) v.resize(std::max(n * per, v.size() * 2));
  };
  fit(key_bytes_, keys_.width());
  fit(values_, keys_.value_count());
  fit(combos_, levels_);
}

int32_t RunStage::ReadRun(bool forward) {
  count_ = 0;
  have_run_ = false;
  keys_.Prepare(CurrentCharTables());
  const size_t width = keys_.width();
  const size_t value_count = keys_.value_count();
  const bool lead_encoded = keys_.Encoded(0, served_);
  const size_t lead_width = keys_.offset(served_);
  for (;;) {
    int32_t code = source_->Step(forward, &scratch_);
    if (code == kErrRecordNotAvailable) break;
    if (code != kNoError) return code;
    Grow();
    uint8_t* key = key_bytes_.data() + count_ * width;
    Value* values = values_.data() + count_ * value_count;
    keys_.Read(key, values);
    if (count_ == 0) {
      lead_.clear();
      for (size_t i = 0; i < served_; ++i) lead_.push_back(keys_.Evaluate(i));
    } else {
      // The first combination of the next run has been read one too far; it
      // is read again when that run is wanted.
      bool same = lead_encoded ? lead_width == 0 || std::memcmp(key, key_bytes_.data(), lead_width) == 0
                               : keys_.Compare(key, values, key_bytes_.data(), values_.data(), 0, served_) == 0;
      if (!same) break;
    }
    uint32_t* combo = combos_.data() + count_ * levels_;
    for (size_t l = 0; l < levels_; ++l) combo[l] = l < scratch_.size() ? scratch_[l] : 0;
    ++count_;
  }
  if (count_ == 0) return kErrRecordNotAvailable;
  // Ties keep source order: the read order, reversed for a backward read.
  const size_t n = count_;
  auto rank = [forward, n](uint32_t i) { return forward ? i : static_cast<uint32_t>(n - 1 - i); };
  sorted_.resize(n);
  for (size_t i = 0; i < n; ++i) sorted_[i] = static_cast<uint32_t>(forward ? i : n - 1 - i);
  const size_t terms = terms_.size();
  if (served_ < terms) {
    const uint8_t* keys = key_bytes_.data();
    if (keys_.Encoded(served_, terms)) {
      // Key bytes and distinct ranks: a strict total order, so any sort will do.
      SortByKeyBytes(keys_.offset(served_), forward);
    } else {
      // Merge sorting stays within the run even when an expression mixes kinds
      // of values so that its comparisons are not consistent.
      const Value* values = values_.data();
      std::stable_sort(sorted_.begin(), sorted_.end(), [&](uint32_t a, uint32_t b) {
        int c = keys_.Compare(keys + a * width, values + a * value_count, keys + b * width,
                              values + b * value_count, served_, terms);
        return c != 0 ? c < 0 : rank(a) < rank(b);
      });
    }
    ++runs_sorted_;
  }
  run_first_ = ComboAt(forward ? 0 : n - 1);
  run_last_ = ComboAt(forward ? n - 1 : 0);
  have_run_ = true;
  return kNoError;
}

void RunStage::SortByKeyBytes(size_t from, bool forward) {
  const size_t n = count_;
  const size_t width = keys_.width();
  const uint8_t* keys = key_bytes_.data();
  // Bytes every key of the run shares need no comparing; the eight after
  // them, as one number, decide most comparisons without touching the keys.
  size_t common = width - from;
  for (size_t i = 1; i < n && common > 0; ++i) {
    const uint8_t* a = keys + from;
    const uint8_t* b = keys + i * width + from;
    size_t k = 0;
    while (k < common && a[k] == b[k]) ++k;
    common = k;
  }
  const size_t start = from + common;
  const size_t rest = width - start;
  const size_t head = std::min<size_t>(rest, 8);
  sort_items_.resize(n);
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* k = keys + i * width + start;
    uint64_t prefix = 0;
    for (size_t b = 0; b < 8; ++b) prefix = prefix << 8 | (b < head ? k[b] : 0);
    // Ties keep source order: the read order, reversed for a backward read.
    sort_items_[i] = {prefix, static_cast<uint32_t>(forward ? i : n - 1 - i), static_cast<uint32_t>(i)};
  }
  const size_t tail = rest - head;
  std::sort(sort_items_.begin(), sort_items_.end(), [&](const SortItem& a, const SortItem& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    if (tail > 0) {
      int c = std::memcmp(keys + a.index * width + start + head, keys + b.index * width + start + head, tail);
      if (c != 0) return c < 0;
    }
    return a.rank < b.rank;
  });
  for (size_t i = 0; i < n; ++i) sorted_[i] = sort_items_[i].index;
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
    if (forward && index_ + 1 < count_) {
      ++index_;
      return Deliver();
    }
    if (!forward && index_ > 0) {
      --index_;
      return Deliver();
    }
    Combination found;
    const std::vector<Value> lead = lead_;
    int32_t code = source_->SeekOn(forward ? run_last_ : run_first_, &found);
    if (code == driver::kErrRecordNotFound) {
      // The run's edge was deleted meanwhile: its leading values find the place again.
      code = StartRunAt(lead);
      if (code == kNoError) code = ReadRun(true);
      if (code == kNoError && CompareValues(lead_, lead, 0, served_) == 0) {
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
  index_ = forward ? 0 : count_ - 1;
  return Deliver();
}

int32_t RunStage::StartRunAt(const std::vector<Value>& lead) {
  count_ = 0;
  have_run_ = false;
  pending_ = Pending::kNone;
  if (served_ == 0 || source_->key() == 0) return source_->Start();
  return source_->StartAtKey(lead);
}

int32_t RunStage::AtLeast(size_t i, const std::vector<Value>& start, size_t m, bool* at_least) {
  // Values read through the evaluator are at hand; key bytes are not values,
  // so for those the combination is read again.
  const uint32_t r = sorted_[i];
  const Value* values = values_.data() + r * keys_.value_count();
  bool loaded = false;
  for (size_t t = served_; t < m; ++t) {
    int c;
    if (keys_.encoded(t)) {
      if (!loaded) {
        const uint32_t* combo = Combo(i);
        int32_t code = source_->Load(Combination(combo, combo + levels_));
        if (code != kNoError) return code;
        loaded = true;
      }
      c = keys_.CompareValues(keys_.Evaluate(t), start[t]);
    } else {
      c = keys_.CompareValues(values[keys_.value_index(t)], start[t]);
    }
    if (c != 0) {
      *at_least = (terms_[t].descending ? -c : c) > 0;
      return kNoError;
    }
  }
  *at_least = true;
  return kNoError;
}

int32_t RunStage::FindNotBelow(const std::vector<Value>& start, size_t m, size_t* index, bool* found) {
  *found = false;
  // Every combination of the run has its leading values.
  int c = CompareValues(lead_, start, 0, std::min(m, served_));
  if (c < 0) return kNoError;
  if (c > 0 || m <= served_) {
    *index = 0;
    *found = true;
    return kNoError;
  }
  bool at_least = false;
  if (keys_.Monotone(served_, m, start)) {
    // Sorted by these components: the first one not below start halves its way there.
    size_t low = 0, high = count_;
    while (low < high) {
      size_t mid = low + (high - low) / 2;
      int32_t code = AtLeast(mid, start, m, &at_least);
      if (code != kNoError) return code;
      if (at_least) {
        high = mid;
      } else {
        low = mid + 1;
      }
    }
    *index = low;
    *found = low < count_;
    return kNoError;
  }
  for (size_t i = 0; i < count_; ++i) {
    int32_t code = AtLeast(i, start, m, &at_least);
    if (code != kNoError) return code;
    if (at_least) {
      *index = i;
      *found = true;
      return kNoError;
    }
  }
  return kNoError;
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
    size_t i = 0;
    bool found = false;
    code = FindNotBelow(start, m, &i, &found);
    if (code != kNoError) return code;
    if (found) {
      index_ = i;
      const uint32_t* combo = Combo(i);
      current_.assign(combo, combo + levels_);
      pending_ = Pending::kOn;
      return kNoError;
    }
    Combination found_combo;
    code = source_->SeekOn(run_last_, &found_combo);
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
    for (size_t i = 0; i < count_; ++i) {
      if (c.size() == levels_ && std::equal(c.begin(), c.end(), Combo(i))) {
        index_ = i;
        current_ = c;
        pending_ = Pending::kOn;
        return kNoError;
      }
    }
    // Not in its run (it no longer passes the filter): the place its values give.
    if (CompareValues(lead_, values, 0, served_) >= 0) return SeekValues(values);
    Combination found;
    code = source_->SeekOn(run_last_, &found);
    if (code != kNoError) return code;
  }
}

}  // namespace korvex::view
