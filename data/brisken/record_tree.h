// The one ordered tree over all pages of a file: lookups by header, stepping
// to neighbours, insertion with page splits, replacement and removal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/brisken/pager.h"
#include "data/brisken/record.h"
#include "data/brisken/status.h"

namespace korvex::brisken {

class RecordTree {
 public:
  // REQUIRES: pager outlives the tree.
  explicit RecordTree(Pager* pager) : pager_(pager) {}
  RecordTree(const RecordTree&) = delete;
  RecordTree& operator=(const RecordTree&) = delete;

  // The record whose header equals h; *found false when there is none.
  Status Get(std::string_view h, Record* out, bool* found);
  // The first record with header >= h (> h when after is set).
  Status Seek(std::string_view h, bool after, Record* out, bool* found);
  // The last record with header <= h (< h when before is set).
  Status SeekBack(std::string_view h, bool before, Record* out, bool* found);
  // Adds r. *inserted is false (and nothing changes) when its header exists.
  // A record longer than kMaxRecordLength fails with check 824.
  Status Insert(Record r, bool* inserted);
  // Replaces the data of the record with r's header; *found false when absent.
  Status Replace(Record r, bool* found);
  // Removes the record with header h; *found false when absent.
  Status Remove(std::string_view h, bool* found);

  // Visits every record in order; stops early when visit returns false.
  template <typename Visit>
  Status ForEach(Visit visit);

 private:
  struct Step {
    uint32_t address;  // page on the path
    size_t slot;       // child followed (index pages) or record position (leaf)
  };
  // Walks from the root to the leaf for h; path[0] is the root.
  Status Descend(std::string_view h, std::vector<Step>* path, Page** leaf);
  // The leaf after (forward) or before the leaf at the path's end; *leaf null when none.
  Status Neighbour(std::vector<Step>* path, bool forward, Page** leaf);
  // Makes the index records above page equal to its (new) lowest header.
  Status RefreshIndex(Page* page);
  // Splits page until both halves fit (each new page checked the same way).
  Status SplitPage(Page* page);
  // Splits page as needed, then each of its ancestors.
  Status SplitIfNeeded(Page* page);
  // Frees an emptied page and removes its index record, upwards while parents empty.
  Status RemovePage(Page* page);

  Pager* pager_;
};

template <typename Visit>
Status RecordTree::ForEach(Visit visit) {
  std::string h;  // resume point: the last header visited
  bool first = true;
  for (;;) {
    Record r;
    bool found = false;
    Status s = first ? Seek(std::string_view(), false, &r, &found) : Seek(h, true, &r, &found);
    if (!s.ok() || !found) return s;
    first = false;
    h.assign(r.header());
    if (!visit(r)) return Status::Ok();
  }
}

}  // namespace korvex::brisken
