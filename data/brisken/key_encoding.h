// The order-preserving encoding of key values. A key's value is the
// concatenation of its components, each exactly as long as its field, so that
// comparing encoded values byte by byte (as record headers are compared) orders
// records as the key's components order them:
//   STRING, GROUP   the bytes as they are
//   CSTRING         the bytes up to the terminating zero, zero filled
//   PSTRING         the counted bytes after the length byte, zero filled
//                   (the string kinds and GROUP then upper-cased for NOCASE and
//                   mapped through the collation; in an OEM file they are first
//                   taken to the OEM code page and mapped through its collation)
//   USHORT, ULONG, DATE, TIME   big-endian
//   SHORT, LONG     big-endian, top bit inverted
//   SREAL, REAL     big-endian; negative: complemented, else sign bit set
//   DECIMAL         sign nibble cleared, top bit inverted; negative: complemented
//   other (BYTE)    the bytes as they are
// A descending component is complemented; for a negative SREAL, REAL or DECIMAL
// the two complements cancel. A dimensioned field is encoded element by element.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/brisken/record.h"
#include "data/driver/declarations.h"
#include "data/driver/record_layout.h"
#include "runtime/char_tables.h"

namespace korvex::brisken {

// The field types a Brisken table may hold.
bool IsSupportedFieldType(uint8_t type);

class KeyEncoder {
 public:
  struct Component {
    uint32_t offset = 0;        // in the record buffer
    uint32_t element_size = 0;  // bytes of one element
    uint32_t count = 1;         // elements (DIM)
    uint8_t type = 0;
    bool descending = false;
  };

  // Resolves key's components against the file's fields and their layout.
  // REQUIRES: layout was built from file.fields.
  // 47 for a component that names no field (or an invalid layout), 79 for a
  // component of a type the driver does not support, 88 when an entry of the
  // key would not fit a page.
  int32_t Init(const driver::FileDeclaration& file, const driver::RecordLayout& layout,
               const driver::KeyDeclaration& key);

  size_t length() const { return length_; }  // bytes of an encoded value
  bool allows_duplicates() const { return duplicates_; }
  bool optional() const { return optional_; }
  bool no_case() const { return no_case_; }
  const std::vector<Component>& components() const { return components_; }

  // Appends the encoded value of record's components to *out.
  // REQUIRES: Init succeeded; record.size() >= the layout's record size.
  void Encode(std::string_view record, const CharTables& tables, std::string* out) const;
  std::string Encode(std::string_view record, const CharTables& tables) const;

  // True when every component is empty (blank strings and groups, a zero first
  // byte for CSTRING and PSTRING, zero bytes otherwise): an OPT key keeps no
  // entry for such a record.
  bool IsEmpty(std::string_view record) const;

  // The key entry of the record (kind byte = key_number): false for an OPT key
  // whose components are empty (no entry).
  // REQUIRES: 1 <= key_number < 0xF3.
  bool BuildEntry(std::string_view record, const CharTables& tables, uint32_t table,
                  uint8_t key_number, uint32_t record_number, Record* out) const;

 private:
  std::vector<Component> components_;
  size_t length_ = 0;
  bool duplicates_ = false;
  bool optional_ = false;
  bool no_case_ = false;
  bool oem_ = false;
};

// The encoding of one element, appended to *out. REQUIRES: bytes.size() is the
// element's size.
void EncodeElement(uint8_t type, bool descending, bool no_case, bool oem, std::string_view bytes,
                   const CharTables& tables, std::string* out);

}  // namespace korvex::brisken
