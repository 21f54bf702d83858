// The tables of a file as the tree holds them: a name record (0xFE and the
// name, data the table number), the definition stream in 512-byte blocks and
// the data-record counter.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/brisken/brisken_file.h"
#include "data/brisken/status.h"

namespace korvex::brisken {

inline constexpr uint8_t kKindData = 0xF3;
inline constexpr uint8_t kKindCounter = 0xF6;
inline constexpr uint8_t kKindDefinition = 0xFA;
inline constexpr uint8_t kKindTableName = 0xFE;
inline constexpr size_t kDefinitionBlock = 512;

// A definition stream for a table with the given record length and no
// fields, memos or keys. Stands in until declarations are encoded in full.
std::string PlaceholderDefinitionStream(uint16_t record_length);

// The table number of the table named name; *found false when there is none.
Status FindTable(BriskenFile* file, std::string_view name, uint32_t* table, bool* found);

// Takes a new table number and adds the name record, the definition records
// for definition and the data-record counter (both values 0). The file's
// pending changes are not committed.
Status CreateTable(BriskenFile* file, std::string_view name, std::string_view definition,
                   uint32_t* table);

// Reads back the table's definition stream (its blocks in order).
Status ReadDefinition(BriskenFile* file, uint32_t table, std::string* definition);

}  // namespace korvex::brisken
