// The kinds of records a table keeps in the file's tree and their headers.
// Every header starts with the 4-byte table number T (big-endian), so a table's
// records lie together: its key entries (kind = key number, below 0xF3), then
// data records, counters, definition blocks, the marker and memo pieces. Table
// name records start with 0xFE and sort after every table.
//
//   key entry   T, key number, encoded value [, R when the key allows duplicates]
//               data: R for a key without duplicates, nothing otherwise
//   data        T, 0xF3, R                          data: the stored record
//   counters    T, 0xF6, counted kind               data: count, second value
//   definition  T, 0xFA, block (2 bytes)            data: <= 512 bytes of stream
//   marker      T, 0xFB, 1                          data: none
//   memo piece  T, 0xFC, R, memo, piece (2 bytes)   data: <= 256 bytes of content
//   table name  0xFE, name                          data: T
//
// All numbers, in headers and in data, are big-endian.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/brisken/record.h"

namespace korvex::brisken {

namespace kind {
inline constexpr uint8_t kData = 0xF3;
inline constexpr uint8_t kCounters = 0xF6;
inline constexpr uint8_t kDefinition = 0xFA;
inline constexpr uint8_t kMarker = 0xFB;
inline constexpr uint8_t kMemoPiece = 0xFC;
inline constexpr uint8_t kTableName = 0xFE;
// Key numbers run from 1 below this.
inline constexpr uint8_t kFirstNonKey = kData;
inline constexpr int kMaxKeys = kFirstNonKey - 1;
}  // namespace kind

inline constexpr size_t kDataHeaderLength = 9;
inline constexpr size_t kCounterHeaderLength = 6;
inline constexpr size_t kDefinitionHeaderLength = 7;
inline constexpr size_t kMarkerHeaderLength = 6;
inline constexpr size_t kMemoHeaderLength = 12;
inline constexpr size_t kCounterDataLength = 8;
inline constexpr size_t kDefinitionBlockLength = 512;
// The first byte of a table or record number never passes this.
inline constexpr uint8_t kLastNumberLead = 0xFD;

void AppendBe16(std::string* out, uint32_t value);
void AppendBe32(std::string* out, uint32_t value);
uint32_t ReadBe16(std::string_view bytes, size_t at);  // REQUIRES: at + 2 <= size
uint32_t ReadBe32(std::string_view bytes, size_t at);  // REQUIRES: at + 4 <= size

// The number after last; false (and *next untouched) when its first byte would
// pass 0xFD, i.e. the file has issued every number it can.
bool NextNumber(uint32_t last, uint32_t* next);

// Header builders.
std::string TablePrefix(uint32_t table);  // T: every record of the table starts with it
std::string KindPrefix(uint32_t table, uint8_t kind);  // T, kind
std::string DataHeader(uint32_t table, uint32_t record);
std::string CounterHeader(uint32_t table, uint8_t counted_kind);
std::string DefinitionHeader(uint32_t table, uint16_t block);
std::string MarkerHeader(uint32_t table);
std::string MemoPieceHeader(uint32_t table, uint32_t record, uint8_t memo, uint16_t piece);
// REQUIRES: name is not empty.
std::string TableNameHeader(std::string_view name);

// Whole records.
Record MakeRecord(std::string header, std::string_view data);
// REQUIRES: 1 <= key_number < 0xF3.
Record KeyEntry(uint32_t table, uint8_t key_number, std::string_view value, uint32_t record,
                bool duplicates_allowed);
Record CounterRecord(uint32_t table, uint8_t counted_kind, uint32_t count, uint32_t second);
Record TableNameRecord(std::string_view name, uint32_t table);

// A header taken apart. Key entries are recognised by their kind byte; their
// value (and R, for a key with duplicates) is left in `rest`.
struct ParsedHeader {
  enum class Kind { kInvalid, kKeyEntry, kData, kCounters, kDefinition, kMarker, kMemoPiece,
                    kTableName };
  Kind kind = Kind::kInvalid;
  uint32_t table = 0;        // all but table names
  uint8_t kind_byte = 0;     // the byte after T (the key number for a key entry)
  uint32_t record = 0;       // data, memo piece
  uint8_t counted_kind = 0;  // counters
  uint16_t number = 0;       // definition block, memo piece number
  uint8_t memo = 0;          // memo piece: the memo's position from 0
  std::string_view rest;     // key entry: value [+ R]; table name: the name
};

// Parses a header; kInvalid when its length does not fit its kind.
ParsedHeader ParseHeader(std::string_view header);

// The record number of a key entry: its last 4 bytes (in the header for a key
// with duplicates, in the data otherwise). 0 when the entry is too short.
uint32_t KeyEntryRecordNumber(RecordView entry);
inline uint32_t KeyEntryRecordNumber(const Record& entry) { return KeyEntryRecordNumber(entry.view()); }

// Counter data: count and second value.
std::string CounterData(uint32_t count, uint32_t second);
// False when data is not 8 bytes long.
bool ParseCounterData(std::string_view data, uint32_t* count, uint32_t* second);

}  // namespace korvex::brisken
