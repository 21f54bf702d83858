// The list control's FORMAT string: columns, groups and their modifiers.
//
//   "64R(2)|M~Order~C(0)@n-14@80L(2)|M~Name~@S20@"
//
// ParseListFormat builds the columns, CheckListFormat only walks the grammar and
// reports where it stopped, WriteListFormat writes the canonical form, which the
// parser reads back to the same structure.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvex {

// Alignment codes of data and header (bits 0-1 and 2-3 of flags1).
enum ListAlign : uint32_t { kAlignLeft = 0, kAlignRight = 1, kAlignCentre = 2, kAlignDecimal = 3 };

// flags1 bits.
constexpr uint32_t kColRightBorder = 0x10;   // "|"
constexpr uint32_t kColUnderline = 0x20;     // "_"
constexpr uint32_t kColFixed = 0x40;         // "F"
constexpr uint32_t kColScroll = 0x80;        // "S"
constexpr uint32_t kColResizable = 0x100;    // "M"
constexpr uint32_t kColLineBreak = 0x200;    // "/"
constexpr uint32_t kColUseMark = 0x400;      // "?"
constexpr uint32_t kColIcon = 0x800;         // "I" or "J"
constexpr uint32_t kColNoMouseResize = 0x4000;  // set with "/"
constexpr uint32_t kColTree = 0x8000;        // "T"
// flags2 bits.
constexpr uint32_t kColColours = 0x1;        // "*"
constexpr uint32_t kColHasH = 0x2;           // "H(n)"
constexpr uint32_t kTreeL = 0x4;
constexpr uint32_t kTreeB = 0x8;
constexpr uint32_t kTreeI = 0x10;
constexpr uint32_t kTree1 = 0x20;
constexpr uint32_t kTreeR = 0x40;
constexpr uint32_t kColStyle = 0x80;         // "Y"
constexpr uint32_t kColTransparentIcon = 0x100;  // "J"
constexpr uint32_t kColTip = 0x200;          // "P"
constexpr uint32_t kColDefaultTip = 0x400;   // "Q"

// Largest value of a width, indent, S, H, Z or field number; more digits than
// kMaxNumberDigits or a larger value make the format invalid.
constexpr int32_t kMaxFormatNumber = 32767;
constexpr int kMaxNumberDigits = 5;
constexpr int32_t kColourNotSet = -1;

struct ListColumn {
  int32_t width = 0;             // dialog units, as written in the format
  int32_t resizedPixels = 0;     // pixel width the user gave it with the mouse, 0 = from `width`
  uint32_t flags1 = 0;
  uint32_t flags2 = 0;
  bool hasDataOffset = false;    // "(n)" after the data alignment
  int32_t dataOffset = 0;
  int32_t headerOffset = 0;      // the data offset unless the header gives its own
  std::optional<std::string> headerText;
  int32_t scrollWidth = 0;
  int32_t hValue = 0;
  std::optional<std::string> picture;
  int32_t fieldNumber = 0;       // "#n#"; 0 = the next field after the previous column's
  std::optional<std::array<int32_t, 4>> colours;  // "E(...)"; kColourNotSet where empty
  bool hasZ = false;
  int32_t zValue = 0;
  std::optional<std::string> defaultTip;

  uint32_t dataAlign() const { return flags1 & 3u; }
  uint32_t headerAlign() const { return (flags1 >> 2) & 3u; }
  bool canMouseResize() const {
    return (flags1 & kColResizable) != 0 && (flags1 & kColNoMouseResize) == 0;
  }
  bool operator==(const ListColumn&) const = default;
};

// A bracketed run of columns: columns [first, first + count) plus its own tail.
struct ListGroup {
  int first = 0;
  int count = 0;
  ListColumn tail;  // width, alignment and modifiers of the group as a whole
  bool operator==(const ListGroup&) const = default;
};

struct ListFormat {
  std::vector<ListColumn> columns;
  std::vector<ListGroup> groups;  // in format order, never overlapping
  int useColumn = 0;              // index of the "?" column, else 0

  bool operator==(const ListFormat&) const = default;
};

// 0 when `text` is a valid format, else the 1-based position at which the walk stopped.
int CheckListFormat(std::string_view text);

// Parses a valid format; on an invalid one returns nullopt and sets *error_position
// (when given) like CheckListFormat.
std::optional<ListFormat> ParseListFormat(std::string_view text, int* error_position = nullptr);

// The canonical text of `format`; ParseListFormat reads it back to an equal ListFormat.
std::string WriteListFormat(const ListFormat& format);

// The field (1-based) that column `index` shows: its "#n#" or the one after the
// previous column's.
int ColumnField(const ListFormat& format, int index);

}  // namespace korvex
