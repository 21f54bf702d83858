// A VIEW's compiled declaration: the primary file, the fields wanted of each
// file, and the files joined to it (by a key or by an expression, inner or
// outer, nested to any depth), with its text form for the view trace.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/driver/driver_record.h"
#include "data/driver/file_control_block.h"

namespace korvex::view {

struct ProjectItem {
  bool memo = false;  // a memo number rather than a field number
  int number = 0;     // from 1
};

struct ViewJoin;

// One file of the view and what hangs below it.
struct ViewLevel {
  driver::FileControlBlock* file = nullptr;  // REQUIRES: outlives the view
  driver::DriverEntry entry = nullptr;       // the file's driver entry
  std::vector<ProjectItem> projection;       // empty: every field and memo
  std::vector<ViewJoin> joins;
};

struct ViewJoin {
  // By key: a key of the child file and the parent fields (numbers from 1)
  // that give its leading components. Otherwise by expression.
  const driver::KeyDeclaration* key = nullptr;
  std::vector<int> parent_fields;
  std::string expression;
  bool inner = false;  // without it a parent without children comes once, child cleared
  ViewLevel level;
};

struct ViewDeclaration {
  ViewLevel primary;

  // "VIEW(FILE)", the projections and joins indented two blanks a level, and
  // "END"; every line ends with CR LF.
  std::string ToText() const;
};

// Every level in depth-first order (the primary first), as the positions and
// combinations of the view number them.
std::vector<const ViewLevel*> FlattenLevels(const ViewDeclaration& view);

}  // namespace korvex::view
