// The runtime's process-wide character tables: case pairs and character
// classes for upper-casing, the collation (sort weight of each character) for
// the program's code page and for the OEM code page, and the conversion between
// the program's code page (1252) and the OEM code page (437).
//
// The tables are one immutable snapshot. Readers take the snapshot once and use
// it for a whole operation (a key, a record); a setter publishes a new snapshot
// and never changes one that a reader holds, so reading needs no lock of its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace korvex {

// Character class values.
inline constexpr uint8_t kCharOther = 0;
inline constexpr uint8_t kCharUpper = 1;
inline constexpr uint8_t kCharLower = 2;
inline constexpr uint8_t kCharDigit = 4;

using ByteTable = std::array<uint8_t, 256>;

// A character that sorts as two (e.g. a sharp s as "ss"), in in-memory
// comparisons only: keys never use digraphs, so their length and the file
// format stay as they are.
struct Digraph {
  uint8_t character = 0;
  uint8_t first = 0;
  uint8_t second = 0;
};
inline constexpr size_t kMaxDigraphs = 16;

struct CharTables {
  ByteTable case_swap{};      // partner of a letter of the other case; 0 for non-letters
  ByteTable char_class{};     // kChar* value of each character
  ByteTable collation{};      // sort weight of each character of the program's code page
  ByteTable oem_collation{};  // sort weight of each character of the OEM code page
  ByteTable ansi_to_oem{};    // program's code page -> OEM code page
  ByteTable oem_to_ansi{};    // OEM code page -> program's code page
  std::array<Digraph, kMaxDigraphs> digraphs{};  // the first digraph_count are in use
  size_t digraph_count = 0;

  // The start-up state: only 'A'..'Z' / 'a'..'z' have case partners, '0'..'9'
  // are digits, both collations are the identity, and the code-page tables are
  // those of 1252 <-> 437 (characters without a counterpart: see char_tables.cpp).
  static CharTables Defaults();

  uint8_t Upper(uint8_t c) const { return char_class[c] == kCharLower ? case_swap[c] : c; }
  uint8_t Lower(uint8_t c) const { return char_class[c] == kCharUpper ? case_swap[c] : c; }

  // Compares two texts by collation weight, the shorter one padded with
  // blanks, each digraph character counting as its two characters:
  // negative, 0 or positive.
  int CompareText(std::string_view a, std::string_view b) const;

  // In-place conversions of a text between the two code pages.
  void ToOem(char* text, size_t length) const;
  void ToAnsi(char* text, size_t length) const;
  std::string ToOem(std::string_view text) const;
  std::string ToAnsi(std::string_view text) const;

  // Enters a case pair (both classes set); used for the letters above 127 that
  // a locale adds. Pairs whose characters are equal are ignored.
  void SetCasePair(uint8_t upper, uint8_t lower);
};

// The 1252 letters above 127 with their case partners (e.g. 0xC9 'E acute' and
// 0xE9), for a locale that asks for the system's letters rather than plain ASCII.
void AddCodePage1252Letters(CharTables* tables);

// The current snapshot (never null).
std::shared_ptr<const CharTables> CurrentCharTables();

// Publishes new tables for every later reader.
void SetCharTables(const CharTables& tables);
// Each replaces one part of the current tables and keeps the rest.
void SetCaseTables(const ByteTable& case_swap, const ByteTable& char_class);
void SetCollation(const ByteTable& collation);
void SetOemCollation(const ByteTable& oem_collation);
void SetDigraphs(const std::array<Digraph, kMaxDigraphs>& digraphs, size_t count);
void SetOemConversion(const ByteTable& ansi_to_oem, const ByteTable& oem_to_ansi);
// Back to CharTables::Defaults() (tests).
void ResetCharTables();

}  // namespace korvex
