// One record of the tree: a byte string whose first header_len bytes order it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "data/brisken/status.h"

namespace korvex::brisken {

// Longest record (header and data) that still fits a page of its own without
// forcing a split that cannot happen.
inline constexpr size_t kMaxRecordLength = 15094 - 13 - 5 - 4;
// No stored record reaches this length (header and data together).
inline constexpr size_t kRecordLengthLimit = 15094;

// A record where it lies (in a page's buffer): valid until that page changes.
struct RecordView {
  std::string_view bytes;  // header followed by data
  uint16_t header_len = 0;

  std::string_view header() const { return bytes.substr(0, header_len); }
  std::string_view data() const { return bytes.substr(header_len); }
};

struct Record {
  std::string bytes;       // header followed by data
  uint16_t header_len = 0; // 1 <= header_len <= bytes.size()

  std::string_view header() const { return std::string_view(bytes).substr(0, header_len); }
  std::string_view data() const { return std::string_view(bytes).substr(header_len); }
  RecordView view() const { return {bytes, header_len}; }
  // Copies v, reusing this record's storage.
  Record& operator=(RecordView v) {
    bytes.assign(v.bytes.data(), v.bytes.size());
    header_len = v.header_len;
    return *this;
  }
};

// Where a record lies in a buffer of record bytes.
struct RecordSpan {
  uint32_t offset = 0;
  uint16_t length = 0;
  uint16_t header_len = 0;
};

// Byte-wise unsigned comparison over the shorter length; the shorter header
// comes first when that prefix is equal. <0, 0, >0 like memcmp.
// Inline: it is the inner loop of every search.
inline int CompareHeaders(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a.data());
  const unsigned char* q = reinterpret_cast<const unsigned char*>(b.data());
  size_t i = 0;
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // Eight bytes at a time: headers are short, and a call to memcmp per step of
  // a binary search costs more than the comparison.
  for (; i + 8 <= n; i += 8) {
    uint64_t x, y;
    std::memcpy(&x, p + i, 8);
    std::memcpy(&y, q + i, 8);
    if (x != y) return __builtin_bswap64(x) < __builtin_bswap64(y) ? -1 : 1;
  }
#endif
  for (; i < n; ++i) {
    if (p[i] != q[i]) return p[i] < q[i] ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// Appends the records in order with the page's prefix encoding.
void EncodeRecordArea(const RecordView* records, size_t count, std::string* out);
void EncodeRecordArea(const std::vector<Record>& records, std::string* out);

// Parses exactly `count` records that must fill `area` to its last byte
// (check 1602 otherwise, 1611 for impossible flags or lengths, 1612 out of
// order) into one buffer of record bytes and the span of each record in it.
Status DecodeRecordArea(std::string_view area, size_t count, std::string* bytes,
                        std::vector<RecordSpan>* spans);
Status DecodeRecordArea(std::string_view area, size_t count, std::vector<Record>* out);

}  // namespace korvex::brisken
