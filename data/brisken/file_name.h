// The name given to the driver: an operating-system file name, optionally
// followed by "\!" and a table name.
#pragma once

#include <string>

#include "data/brisken/status.h"

namespace korvex::brisken {

inline constexpr const char* kDefaultTable = "UNNAMED";

struct FileName {
  std::string path;   // with ".BKF" added when the name had no extension
  std::string table;  // "UNNAMED" without a suffix
};

// Splits name. 45 "Invalid Filename" for an empty name, an empty file part or
// an empty table name after "\!".
Status ParseFileName(const std::string& name, FileName* out);

}  // namespace korvex::brisken
