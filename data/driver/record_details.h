// Record contents as a detailed trace writes them: one line per field, "%-18s:"
// (the label) and the value, CR LF; a GROUP by its members, each element of a
// dimensioned field as LABEL[n]; then each MEMO under its label as a hex dump.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "data/driver/declarations.h"

namespace korvex::driver {

class FileControlBlock;

// The value of one element of a field: numbers in decimal, BYTE as "%02XH",
// strings as '%s', dates as "%02d %s %d (%ld)" (day, month name, year, serial) or
// "Invalid date (%ld)" with the stored value, times as "%02d:%02d:%02d.%02d (%ld)"
// or "Invalid time (%ld)" likewise. REQUIRES: bytes holds the element's size.
std::string FieldValueText(const FieldDescriptor& field, const uint8_t* bytes, uint32_t size);

// Every field of the file's record buffer, then its MEMOs. Fields that lie beyond
// the buffer are left out.
std::string RecordDetails(const FileControlBlock& file);

// The fields that make up the key's components, in component order.
std::string KeyDetails(const FileControlBlock& file, const KeyDeclaration& key);

// A memo under its label: trailing blanks (zero bytes when binary) cut off, then
// 16 bytes a line as "%02X " each (three blanks for each missing byte), " | ",
// the same bytes as characters (outside 32..126 as "."), CR LF.
std::string MemoDump(std::string_view label, std::span<const uint8_t> bytes, bool binary);

}  // namespace korvex::driver
