// Reading and writing single fields of a file's record buffer by their
// declaration: the pieces the file and relation controllers need to number
// records, clear key components and carry linking fields.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "data/driver/file_control_block.h"

namespace korvex::framework {

// True for STRING, CSTRING and PSTRING fields.
bool IsTextField(const driver::FieldDescriptor& field);

// The bytes of field `index` (0-based) in the file's record buffer; empty when
// the index or the layout is bad.
std::span<uint8_t> FieldBytes(const driver::FileControlBlock& file, int index);

// A field's value as text: numbers in plain decimal, text fields as stored
// (without trailing blanks). False for a field that holds no number.
bool FieldText(const driver::FileControlBlock& file, int index, std::string* text);
// Stores text (numbers: decimal text); false, field untouched, when it does
// not fit.
bool SetFieldText(const driver::FileControlBlock& file, int index, std::string_view text);

// Clears a field the way a new record starts: STRING blank, everything else zero.
void ClearField(const driver::FileControlBlock& file, int index);
// Sets a field to the highest value of its type (text fields: all bytes 0xFF).
void SetFieldHigh(const driver::FileControlBlock& file, int index);
// Clears the whole record buffer field by field (overlaid fields left to what they lie over).
void ClearRecord(const driver::FileControlBlock& file);

// The highest value a numeric field type holds, as decimal text ("" for others).
std::string HighestValueText(const driver::FieldDescriptor& field);

}  // namespace korvex::framework
