// A record as a row of texts and back: what export writes and import reads.
//
// The row has one column per value: each element of a field (a DIM field
// gives LABEL[1], LABEL[2] ...), then each memo. A GROUP is represented by its
// members, except a dimensioned GROUP, whose elements are columns of their own
// holding the raw bytes in hexadecimal. Fields lying OVER another field are
// left out: their bytes are already in the field they overlay.
//
// Texts:
//   STRING                 the bytes without trailing blanks (blank-padded on the way in)
//   CSTRING, PSTRING       the bytes up to the terminating zero / as counted
//   integers, DECIMAL ...  plain decimal ("-12", "3.50"); floating fields the
//                          shortest text that reads back to the same value
//   DATE                   YYYY-MM-DD, empty for no date
//   TIME                   HH:MM:SS.hh, empty for no time (HH:MM and HH:MM:SS
//                          are accepted on the way in)
//   MEMO                   its text without trailing blanks
//   BLOB, BINARY MEMO      hexadecimal, two digits a byte
// An empty text reads as a cleared value: blanks for strings, zero otherwise.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/driver/declarations.h"
#include "data/driver/record_layout.h"

namespace korvex::tool {

struct Column {
  std::string label;      // "CUS:NAME", "ORD:LINE[2]", a memo's label
  int field = -1;         // index into the declaration's fields; -1 for a memo
  int memo = -1;          // index into the declaration's memos; -1 for a field
  uint32_t offset = 0;    // of this element in the record buffer
  uint32_t size = 0;      // bytes of this element
  bool raw = false;       // an element of a dimensioned GROUP, written in hexadecimal
  int element = 0;        // from 1 within a DIM; 0 for a field without DIM
};

// The columns of a record, in declaration order. REQUIRES: layout.valid().
std::vector<Column> RecordColumns(const driver::FileDeclaration& file,
                                  const driver::RecordLayout& layout);

// The index of the column labelled label (letters without regard to case, the
// "PRE:" prefix optional), -1 when none.
int FindColumn(const std::vector<Column>& columns, std::string_view label);

// What kind of JSON value a column's text makes.
enum class JsonKind { kNumber, kString };
JsonKind ColumnJsonKind(const driver::FileDeclaration& file, const Column& column);

// Clears the record: string fields blank (inside groups too), everything else zero.
// REQUIRES: layout.valid() and record.size() >= layout.record_size().
void ClearRecord(const driver::FileDeclaration& file, const driver::RecordLayout& layout,
                 std::span<uint8_t> record);

// The text of the column's value in record (or memos). False when the stored
// bytes hold no value that has a text (a DATE or TIME with impossible parts,
// digits of a DECIMAL beyond 9); *text is then empty.
bool ColumnToText(const driver::FileDeclaration& file, const Column& column,
                  std::span<const uint8_t> record, const std::vector<std::vector<uint8_t>>& memos,
                  std::string* text);

// Stores text as the column's value. False, with *reason saying why and the
// record and memos untouched, when the text is not a value of the field or
// does not fit it.
bool ColumnFromText(const driver::FileDeclaration& file, const Column& column,
                    std::string_view text, std::span<uint8_t> record,
                    std::vector<std::vector<uint8_t>>* memos, std::string* reason);

// The field's type as the declaration writes it: "STRING(20)", "DECIMAL(7,2)", "LONG".
std::string TypeText(const driver::FieldDescriptor& field, uint32_t element_size);

}  // namespace korvex::tool
