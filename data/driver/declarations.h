// The compiled declarations a driver reads: files, their record fields, keys and
// memos. Plain data that points at its texts and lists, so the data dictionary can
// build them as constant tables; OwnedDeclaration (declaration_builder.h) builds
// them at run time.
//
// Field numbers count the record's field list from 1 in declaration order; a
// GROUP is one entry and its members are the entries that follow it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/type_codes.h"

namespace korvex::driver {

// File attribute bits.
inline constexpr uint32_t kFileEncrypt = 1;
inline constexpr uint32_t kFileCreate = 2;
inline constexpr uint32_t kFileReclaim = 4;
inline constexpr uint32_t kFileThread = 8;
inline constexpr uint32_t kFileOem = 16;  // text kept in the OEM code page on disk

// Key flag bits.
inline constexpr uint16_t kKeyDup = 1;
inline constexpr uint16_t kKeyOpt = 2;
inline constexpr uint16_t kKeyNoCase = 4;
inline constexpr uint16_t kKeyPrimary = 16;
inline constexpr uint16_t kKeyIndex = 0x4000;  // built on demand, not maintained

// Memo flag bits.
inline constexpr uint16_t kMemoBinary = 2;
inline constexpr uint16_t kMemoBlob = 4;

inline constexpr int kMaxDimensions = 4;

struct FieldDescriptor {
  std::string_view label;    // e.g. "CUS:NAME"
  uint8_t type = kTypeEnd;   // TypeCode
  uint32_t size = 0;         // bytes of one element; a GROUP may leave 0 (taken from its members)
  uint8_t digits = 0;        // DECIMAL, PDECIMAL: declared digits
  uint8_t places = 0;        // DECIMAL, PDECIMAL: declared decimal places
  uint32_t length = 0;       // STRING, CSTRING, PSTRING: declared length
  std::string_view picture;  // string declared by picture, without its "@" ("" when none)
  std::array<uint32_t, kMaxDimensions> dims{};  // DIM(...); the first 0 ends the list
  std::string_view over;     // label of the field this one overlays ("" when none)
  std::string_view name;     // external NAME ("" when none)
  uint16_t members = 0;      // GROUP: number of direct members following it

  // Elements of a dimensioned field (1 without DIM); 0 when the product overflows 32 bits.
  constexpr uint32_t ElementCount() const {
    uint64_t n = 1;
    for (uint32_t d : dims) {
      if (d == 0) break;
      n *= d;
      if (n > 0xFFFFFFFFu) return 0;
    }
    return static_cast<uint32_t>(n);
  }
  constexpr int DimensionCount() const {
    int n = 0;
    while (n < kMaxDimensions && dims[n] != 0) ++n;
    return n;
  }
};

struct KeyDeclaration {
  std::string_view name;                // external NAME ("" when none)
  std::string_view label;               // e.g. "CUS:BYNAME"
  uint16_t flags = 0;                   // kKey* bits
  std::span<const int32_t> components;  // field numbers; negative = descending (at most 255)
};

struct MemoDeclaration {
  std::string_view name;   // external NAME ("" when none)
  std::string_view label;
  uint16_t flags = 0;      // kMemo* bits
  uint32_t max_size = 0;   // declared maximum size of a MEMO
};

struct FileDeclaration {
  std::string_view label;     // e.g. "CUSTOMER"
  std::string_view name;      // external NAME ("" when none)
  std::string_view driver;    // first text of DRIVER, e.g. "BRISKEN"
  std::string_view owner;     // OWNER text ("" when none)
  std::string_view options;   // second text of DRIVER ("" when none)
  uint32_t attributes = 0;    // kFile* bits
  std::span<const MemoDeclaration> memos;
  std::span<const KeyDeclaration> keys;
  std::span<const FieldDescriptor> fields;
};

// Short-hands for constant tables.
constexpr FieldDescriptor MakeField(std::string_view label, uint8_t type, uint32_t size) {
  FieldDescriptor f;
  f.label = label;
  f.type = type;
  f.size = size;
  return f;
}
constexpr FieldDescriptor MakeString(std::string_view label, uint32_t length,
                                     uint8_t type = kTypeString) {
  FieldDescriptor f = MakeField(label, type, length);
  f.length = length;
  return f;
}
// DECIMAL(digits, places) takes digits / 2 + 1 bytes (the first nibble is the sign).
constexpr FieldDescriptor MakeDecimal(std::string_view label, uint8_t digits, uint8_t places,
                                      uint8_t type = kTypeDecimal) {
  FieldDescriptor f = MakeField(label, type, digits / 2u + 1u);
  f.digits = digits;
  f.places = places;
  return f;
}
constexpr FieldDescriptor MakeGroup(std::string_view label, uint16_t members) {
  FieldDescriptor f = MakeField(label, kTypeGroup, 0);
  f.members = members;
  return f;
}

// 1-based number of the key in the file's key list (by identity, else by label); 0 if absent.
int KeyNumber(const FileDeclaration& file, const KeyDeclaration* key);

// Index (0-based) of the field with this label, also matching the label without
// its "PRE:" prefix, letters compared without regard to case; -1 when absent.
int FindField(std::span<const FieldDescriptor> fields, std::string_view label);

// Counts of the file's memo declarations that are BLOBs and that are MEMOs.
int BlobCount(const FileDeclaration& file);
int MemoCount(const FileDeclaration& file);

}  // namespace korvex::driver
