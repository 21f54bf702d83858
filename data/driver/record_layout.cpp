#include "data/driver/record_layout.h"

#include <algorithm>

namespace korvex::driver {

namespace {

// An open GROUP (or the record itself) while its members are placed.
struct Frame {
  int group = -1;          // field index of the GROUP, -1 for the record
  uint32_t remaining = 0;  // members still to place
  uint64_t start = 0;      // offset of the group
  uint64_t cursor = 0;     // where the next member goes
  uint64_t end = 0;        // furthest end of a member so far
};

}  // namespace

bool RecordLayout::Build(std::span<const FieldDescriptor> fields) {
  places_.assign(fields.size(), FieldPlacement());
  record_size_ = 0;
  valid_ = false;
  auto fail = [this] {
    places_.clear();
    return false;
  };

  // Iterative, so that deeply nested groups read from a file cannot exhaust the stack.
  std::vector<Frame> stack;
  stack.push_back(Frame{-1, static_cast<uint32_t>(fields.size()), 0, 0, 0});

  // Ends the innermost group: its size is known once its members are placed.
  auto close_group = [&]() -> bool {
    Frame done = stack.back();
    stack.pop_back();
    const FieldDescriptor& g = fields[static_cast<size_t>(done.group)];
    FieldPlacement& p = places_[static_cast<size_t>(done.group)];
    uint64_t element = std::max<uint64_t>(done.end - done.start, g.size);
    uint64_t total = element * p.count;
    if (element == 0 || element > kMaxRecordSize || done.start + total > kMaxRecordSize) {
      return false;
    }
    p.element_size = static_cast<uint32_t>(element);
    p.total_size = static_cast<uint32_t>(total);
    Frame& parent = stack.back();
    parent.end = std::max(parent.end, done.start + total);
    if (g.over.empty()) parent.cursor = done.start + total;
    return true;
  };

  for (size_t i = 0; i < fields.size(); ++i) {
    while (stack.back().remaining == 0) {
      if (!close_group()) return fail();
    }
    Frame& frame = stack.back();
    --frame.remaining;
    const FieldDescriptor& f = fields[i];
    FieldPlacement& p = places_[i];
    p.parent = frame.group;
    if (f.type == kTypeEnd) return fail();

    uint64_t offset = frame.cursor;
    if (!f.over.empty()) {
      int target = FindField(fields.first(i), f.over);
      if (target < 0) return fail();
      offset = places_[static_cast<size_t>(target)].offset;
    }
    p.offset = static_cast<uint32_t>(offset);
    p.count = f.ElementCount();
    if (p.count == 0) return fail();

    if (f.type == kTypeGroup && f.members > 0) {
      stack.push_back(Frame{static_cast<int>(i), f.members, offset, offset, offset});
      continue;
    }
    uint64_t element = f.size;
    uint64_t total = element * p.count;
    if (element == 0 || element > kMaxRecordSize || offset + total > kMaxRecordSize) {
      return fail();
    }
    p.element_size = static_cast<uint32_t>(element);
    p.total_size = static_cast<uint32_t>(total);
    frame.end = std::max(frame.end, offset + total);
    if (f.over.empty()) frame.cursor = offset + total;
  }
  while (stack.size() > 1) {
    // A group whose members run past the end of the list is malformed.
    if (stack.back().remaining != 0) return fail();
    if (!close_group()) return fail();
  }
  record_size_ = static_cast<uint32_t>(stack.back().end);
  valid_ = true;
  return true;
}

}  // namespace korvex::driver
