// A file's declaration written back in the language's own syntax: what a detailed
// trace writes before a file's first traced operation and what the `brisken`
// tool prints for a table.
//
//   CUSTOMER          FILE,DRIVER('BRISKEN'),OWNER(******),CREATE
//   CUS:BYNAME          KEY(+CUS:NAME),OPT,NOCASE
//   CUS:NOTES           MEMO(200)
//                       RECORD
//   CUS:CUSID           LONG
//   CUS:NAME            STRING(20)
//                       END
//                       END
//   (an empty line)
//
// The file's label fills 18 columns, every other label 20; lines without a
// label (RECORD and the ENDs) start with 20 blanks. Lines end with CR LF. The
// owner text is never written.
#pragma once

#include <string>

#include "data/driver/declarations.h"

namespace korvex::driver {

class FileControlBlock;

// The dump of a declaration; an empty driver name is written as "BRISKEN".
std::string StructureDump(const FileDeclaration& file);

// The dump of an open file: its declaration with the name, owner, options and
// attributes the file has now (properties may have changed them).
std::string StructureDump(const FileControlBlock& file);

}  // namespace korvex::driver
