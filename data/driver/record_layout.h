// Where each field of a record lies in the record buffer, computed from the sizes:
// fields follow each other, a GROUP spans its members, DIM multiplies a field's
// size, and an OVER field starts where the field it names starts and takes no
// room of its own.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "data/driver/declarations.h"

namespace korvex::driver {

struct FieldPlacement {
  uint32_t offset = 0;        // from the start of the record buffer
  uint32_t element_size = 0;  // bytes of one element
  uint32_t count = 1;         // elements (DIM)
  uint32_t total_size = 0;    // element_size * count
  int parent = -1;            // index of the enclosing GROUP, -1 at record level
};

class RecordLayout {
 public:
  static constexpr uint32_t kMaxRecordSize = 0x7FFFFFFF;

  // Places every field. False (and an empty layout) when the list is malformed:
  // a GROUP with more members than fields follow, an OVER naming no earlier field,
  // a field of size 0 or of type END, or a record beyond kMaxRecordSize.
  bool Build(std::span<const FieldDescriptor> fields);

  bool valid() const { return valid_; }
  size_t size() const { return places_.size(); }
  const FieldPlacement& operator[](size_t index) const { return places_[index]; }
  uint32_t record_size() const { return record_size_; }  // end of the furthest field

 private:
  std::vector<FieldPlacement> places_;
  uint32_t record_size_ = 0;
  bool valid_ = false;
};

}  // namespace korvex::driver
