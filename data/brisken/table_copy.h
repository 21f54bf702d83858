// COPY and RENAME of a table inside a file: every record of the source table
// goes to the target table with the target's table number, and record numbers
// are moved past the target file's last issued number so that they stay unique
// there.
#pragma once

#include <cstdint>
#include <string_view>

#include "data/brisken/brisken_file.h"

namespace korvex::brisken {

// Copies table source_name of source into table target_name of target (the
// two files may be one). An existing target table is replaced for a copy and
// refused with 5 for a move; a move removes the source table afterwards.
// 2 when the source table does not exist. Changes are left uncommitted.
int32_t CopyTable(BriskenFile* source, std::string_view source_name, BriskenFile* target,
                  std::string_view target_name, bool move);

}  // namespace korvex::brisken
