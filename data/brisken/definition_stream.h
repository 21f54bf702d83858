// A table's own definition, stored with the table as a byte stream so that any
// program (the `brisken` tool included) can open the table by it, and so that
// OPEN can tell whether the program's declaration still fits the stored records.
//
// Stream layout (numbers little-endian):
//   version (2: 1, or 2 when a memo is a BLOB), record length (2),
//   number of fields, memos, keys (2 each);
//   per field: type (1), offset (2), label (string), elements (2), element
//     length (2), members of a GROUP (2), position of the field it lies OVER
//     (2, 0 for none); DECIMAL and PDECIMAL: digits, places (1 each); STRING,
//     CSTRING, PSTRING: declared length (2), picture (string);
//   per memo: external name (string), label (string), maximum length (2),
//     flags (2: 2 BINARY, 4 BLOB);
//   per key: external name (string), label (string), flags (1: 1 DUP, 2 OPT,
//     4 NOCASE, 16 PRIMARY, 32 kept as given, 64 INDEX), number of components
//     (2), then per component the field's position from 1 (2) and its flags
//     (2: 1 descending).
// A string is its characters and a zero byte; an empty string is two zero
// bytes; a missing one (no external name, no picture) a zero byte and a 1.
// The stream is stored in blocks of 512 bytes (the last one shorter).
//
// Fields of a DIM are stored with their element count only: a field declared
// DIM(3,2) reads back as DIM(6), which takes the same room. External NAMEs of
// fields are not stored.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/brisken/record.h"
#include "data/driver/declaration_builder.h"
#include "data/driver/declarations.h"

namespace korvex::brisken {

inline constexpr uint16_t kDefinitionVersion = 1;
inline constexpr uint16_t kDefinitionVersionWithBlob = 2;

// Key flag bits as stored.
namespace stored_key {
inline constexpr uint8_t kDup = 1;
inline constexpr uint8_t kOpt = 2;
inline constexpr uint8_t kNoCase = 4;
inline constexpr uint8_t kPrimary = 16;
inline constexpr uint8_t kFurther = 32;  // a further key state, carried unchanged
inline constexpr uint8_t kIndex = 64;    // not maintained on updates, built on demand
}  // namespace stored_key
inline constexpr uint16_t kComponentDescending = 1;

// The stream taken apart item by item.
struct Definition {
  struct Text {
    std::string text;
    bool missing = false;
  };
  struct Field {
    uint8_t type = 0;
    uint16_t offset = 0;
    Text label;
    uint16_t elements = 1;
    uint16_t length = 0;   // bytes of one element
    uint16_t members = 0;  // GROUP: direct members that follow
    uint16_t over = 0;     // position from 1 of the field this one overlays
    uint8_t digits = 0;    // DECIMAL, PDECIMAL
    uint8_t places = 0;
    uint16_t declared_length = 0;  // string kinds
    Text picture;                  // string kinds, without "@"
  };
  struct Memo {
    Text name;
    Text label;
    uint16_t max_length = 0;
    uint16_t flags = 0;
  };
  struct Component {
    uint16_t field = 0;  // position from 1
    uint16_t flags = 0;
  };
  struct Key {
    Text name;
    Text label;
    uint8_t flags = 0;
    std::vector<Component> components;
  };

  uint16_t version = kDefinitionVersion;
  uint16_t record_length = 0;
  std::vector<Field> fields;
  std::vector<Memo> memos;
  std::vector<Key> keys;
};

// The definition of a declaration. 79 for a field type the driver does not
// support; 47 for a declaration that cannot be stored (a number beyond two
// bytes, more than 242 keys, a text holding a zero byte, fields that cannot be
// laid out, a key component naming no field).
int32_t DefinitionOf(const driver::FileDeclaration& file, Definition* out);

// The stream of a definition.
std::string EncodeDefinition(const Definition& definition);

// DefinitionOf and EncodeDefinition in one.
int32_t WriteDefinitionStream(const driver::FileDeclaration& file, std::string* out);

// Parses a stored stream. 36 when it is cut short, has bytes left over or
// holds values this driver does not know (a version that does not match its
// memos, flag bits beyond those above); 79 for a field type the driver does
// not support.
int32_t ParseDefinition(std::string_view stream, Definition* out);

// A run-time declaration (labelled `label`) from a stored stream, so a table
// can be opened by its own definition. Codes as ParseDefinition; 36 as well
// when the fields do not lie where the stream says.
int32_t ReadDefinitionStream(std::string_view stream, std::string_view label,
                             std::unique_ptr<driver::OwnedDeclaration>* out);

// OPEN's check of the stored stream against the program's declaration: every
// number must agree (version, record length, counts, types, offsets, lengths,
// key flags other than PRIMARY, components); labels, names and pictures may
// differ. 0 when they agree, 47 on any difference, or the code of
// ParseDefinition / DefinitionOf.
int32_t CompareDefinition(std::string_view stored, const driver::FileDeclaration& declared);

// The definition records of table T: the stream in blocks of 512 bytes.
std::vector<Record> DefinitionRecords(uint32_t table, std::string_view stream);

}  // namespace korvex::brisken
