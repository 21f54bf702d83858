// The order values of a run of combinations in a form that sorts cheaply.
// A component that is a text field (as it stands or in UPPER) or an integer
// field of one of the view's files is read straight from its record buffer
// into bytes that compare with memcmp exactly as CompareOrderValues compares
// the values: texts as the collation weights of their characters (digraphs as
// two) padded with the blank's weight to a width every value of the field
// fits, integers biased and high byte first, descending components inverted.
// Any other component is evaluated and compared as a value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "data/driver/file_control_block.h"
#include "runtime/char_tables.h"
#include "runtime/eval/evaluator.h"
#include "runtime/eval/value.h"

namespace korvex::view {

// One compiled order component.
struct OrderTerm {
  const Expression* expression = nullptr;
  bool descending = false;
};

class SortKeyReader {
 public:
  // REQUIRES: the expressions and the files their fields belong to outlive this.
  explicit SortKeyReader(std::vector<OrderTerm> terms);

  const std::vector<OrderTerm>& terms() const { return terms_; }
  // Takes the character tables for the reads and comparisons that follow
  // (their digraphs decide the text widths); the key layout is fixed until the next call.
  void Prepare(std::shared_ptr<const CharTables> tables);

  // Bytes of one combination's key, and values kept per combination.
  size_t width() const { return width_; }
  size_t value_count() const { return value_count_; }
  bool encoded(size_t term) const { return places_[term].encoded; }
  // Key bytes taken by terms [0, term).
  size_t offset(size_t term) const { return term < places_.size() ? places_[term].offset : width_; }
  // True when terms [from, to) all compare as key bytes.
  bool Encoded(size_t from, size_t to) const;

  // For terms not encoded: the index of their value.
  size_t value_index(size_t term) const { return places_[term].value; }
  // True when terms [from, to) are all encoded and comparing their values with
  // start's (texts with texts, numbers with numbers) agrees with their key
  // bytes, so that a sorted run can be searched by halves.
  bool Monotone(size_t from, size_t to, const std::vector<Value>& start) const;

  // Reads the combination in the buffers: key gets width() bytes, values
  // value_count() values. REQUIRES: Prepare was called.
  void Read(uint8_t* key, Value* values) const;
  // Compares terms [from, to) of two read combinations in the order's directions.
  int Compare(const uint8_t* key_a, const Value* values_a, const uint8_t* key_b,
              const Value* values_b, size_t from, size_t to) const;
  // The value of a term for the combination in the buffers.
  Value Evaluate(size_t term) const;
  // Compares two values of a term as the order does (without its direction).
  int CompareValues(const Value& a, const Value& b) const;
  const CharTables& tables() const { return *tables_; }

 private:
  enum class Source : uint8_t { kEvaluated, kText, kUpperText, kInteger };
  struct Field {
    Source source = Source::kEvaluated;
    const driver::FileControlBlock* file = nullptr;
    uint32_t field_offset = 0;  // in the record buffer
    uint32_t size = 0;          // bytes of the field
    uint8_t type = 0;
  };
  struct Place {
    bool encoded = false;
    size_t offset = 0;  // key bytes before this term
    size_t width = 0;   // key bytes of this term
    size_t value = 0;   // index among the values, for terms not encoded
  };

  void EncodeText(const Field& f, uint8_t* out, size_t width) const;

  std::vector<OrderTerm> terms_;
  std::vector<Field> fields_;  // per term, fixed by the expressions
  std::vector<Place> places_;  // per term, fixed by Prepare
  size_t width_ = 0;
  size_t value_count_ = 0;
  std::shared_ptr<const CharTables> tables_;
  uint8_t digraph_of_[256] = {};  // 1 + index of a character's digraph, 0 for none
  // Without digraphs: each character's weight, as it stands and upper-cased.
  uint8_t weight_[256] = {};
  uint8_t upper_weight_[256] = {};
};

}  // namespace korvex::view
