// A full consistency check of a file's tree and regions, page by page.
#pragma once

#include <cstddef>
#include <string>

#include "data/brisken/pager.h"
#include "data/brisken/status.h"

namespace korvex::brisken {

struct TreeReport {
  size_t records = 0;  // leaf records
  size_t pages = 0;
  size_t depth = 0;    // levels, 0 for an empty tree
  std::string problem; // first inconsistency found, "" when none
};

// Walks every page from the root and checks: ascending order within and across
// pages, one index record per child equal to the child's lowest header, levels,
// planned sizes within the split bounds, pages inside regions on slot
// boundaries, regions ascending and not overlapping, every slot used or free.
// With committed set (no changes pending) also that each page sits in the
// region of its size class and that no free slot is left. Returns a failed
// check (problem set) when a rule is broken; read errors as they come.
Status CheckTree(Pager* pager, bool committed, TreeReport* report);

}  // namespace korvex::brisken
