// A queue: an in-memory list of fixed-size entries, read and written by position through one
// entry buffer. A list control shows one entry per row; a browse fills the entries. Every
// change bumps a version number, so that a reader can tell cheaply whether to look again.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/type_codes.h"

namespace korvex {

struct QueueField {
  std::string name;   // label, e.g. "CUS:NAME" or "VIEWPOSITION"
  TypeCode type = kTypeString;
  uint32_t size = 0;  // bytes
  uint32_t offset = 0;  // filled in by the queue: fields follow each other
};

class Queue {
 public:
  // Fields follow each other in the order given; the entry size is their sum.
  explicit Queue(std::vector<QueueField> fields);
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;

  const std::vector<QueueField>& fields() const { return fields_; }
  int FieldIndex(std::string_view name) const;  // case-insensitive; -1 when absent
  size_t entry_size() const { return entry_size_; }

  // The entry buffer that Get fills and Add/Put store.
  std::span<uint8_t> buffer() { return buffer_; }
  std::span<const uint8_t> buffer() const { return buffer_; }

  size_t Records() const { return entries_.size() / (entry_size_ ? entry_size_ : 1); }
  // Positions are 1-based. Out-of-range positions change nothing and answer false.
  bool Get(size_t position);
  void Add();                  // appends the buffer
  bool Add(size_t position);   // inserts the buffer at 1..Records()+1
  bool Put(size_t position);   // overwrites an entry with the buffer
  bool Delete(size_t position);
  void Free();                 // removes every entry; the buffer stays
  // An entry read in place (for painting); empty when out of range.
  std::span<const uint8_t> Entry(size_t position) const;
  uint64_t version() const { return version_; }

  // Field access within an entry or the buffer; numbers are little-endian.
  static int64_t ReadNumber(std::span<const uint8_t> entry, const QueueField& field);
  static void WriteNumber(std::span<uint8_t> entry, const QueueField& field, int64_t value);
  // The bytes of a string field (blank-padded for STRING; up to the zero for CSTRING).
  static std::string ReadText(std::span<const uint8_t> entry, const QueueField& field);
  // Stores text cut to the field: STRING blank-padded, CSTRING zero-terminated.
  static void WriteText(std::span<uint8_t> entry, const QueueField& field, std::string_view text);

 private:
  std::vector<QueueField> fields_;
  size_t entry_size_ = 0;
  std::vector<uint8_t> buffer_;
  std::vector<uint8_t> entries_;  // Records() entries back to back
  uint64_t version_ = 0;
};

}  // namespace korvex
