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

struct Record {
  std::string bytes;       // header followed by data
  uint16_t header_len = 0; // 1 <= header_len <= bytes.size()

  std::string_view header() const { return std::string_view(bytes).substr(0, header_len); }
  std::string_view data() const { return std::string_view(bytes).substr(header_len); }
};

// Byte-wise unsigned comparison over the shorter length; the shorter header
// comes first when that prefix is equal. <0, 0, >0 like memcmp.
// Inline: it is the inner loop of every search.
inline int CompareHeaders(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
  if (c != 0) return c;
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// Appends the records in order with the page's prefix encoding.
void EncodeRecordArea(const std::vector<Record>& records, std::string* out);

// Parses exactly `count` records that must fill `area` to its last byte
// (check 1602 otherwise, 1611 for impossible flags or lengths).
Status DecodeRecordArea(std::string_view area, size_t count, std::vector<Record>* out);

}  // namespace korvex::brisken
