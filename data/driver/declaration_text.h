// Reads a file declaration written in the structure-dump syntax (what
// StructureDump writes and the `brisken` tool prints) into a run-time
// declaration, e.g. for `brisken create`:
//
//   CUSTOMER          FILE,DRIVER('BRISKEN'),CREATE
//   CUS:BYNAME          KEY(+CUS:NAME),OPT,NOCASE
//                       RECORD
//   CUS:CUSID           LONG
//   CUS:NAME            STRING(20)
//                       END
//                       END
//
// Keywords and attributes are matched without regard to case and labels are
// stored upper case; blanks may appear anywhere between items, lines end with
// CR LF or LF, and "!" starts a comment outside quotes. A line's first word is
// its label when another word follows it; a label written against its keyword
// (as the dump writes labels that fill their column) is split off the keyword
// at its end. Texts are quoted with ' and a doubled '' stands for one.
//
// Besides what the dump writes, the file attribute OEM and the PRE(...)
// attribute of FILE, RECORD and GROUP (ignored) are accepted.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "data/driver/declaration_builder.h"

namespace korvex::driver {

struct DeclarationTextError {
  int line = 0;    // from 1
  int column = 0;  // from 1, in bytes
  std::string message;

  // "line 3, column 21: <message>"
  std::string ToString() const;
};

// Parses one FILE declaration. On failure *out is empty and *error says where
// and why; nothing the text holds can make it fail otherwise.
bool ParseDeclarationText(std::string_view text, std::unique_ptr<OwnedDeclaration>* out,
                          DeclarationTextError* error);

}  // namespace korvex::driver
