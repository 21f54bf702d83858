// The one ordered tree over all pages of a file: lookups by header, stepping
// to neighbours, insertion with page splits, replacement and removal.
#pragma once

#include <cstdint>
#include <functional>
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

  // The record whose header equals h; *found false when there is none. With
  // remember, its leaf is remembered as a change's would be (for a read that a
  // change of the same record follows).
  Status Get(std::string_view h, Record* out, bool* found, bool remember = false);
  // The first record with header >= h (> h when after is set).
  Status Seek(std::string_view h, bool after, Record* out, bool* found);
  // The last record with header <= h (< h when before is set).
  Status SeekBack(std::string_view h, bool before, Record* out, bool* found);
  // Adds r. *inserted is false (and nothing changes) when its header exists.
  // A record longer than kMaxRecordLength fails with check 824.
  Status Insert(Record r, bool* inserted);
  // Replaces the data of the record with r's header; *found false when absent.
  // The record replaced goes to *old when given.
  Status Replace(Record r, bool* found, Record* old = nullptr);
  // Rewrites the record with header h as change makes it from the stored one
  // (same header). change answers false to leave it as it is. *found false
  // when absent; the record as it was goes to *old when it changed.
  Status Update(std::string_view h, const std::function<bool(const RecordView&, Record*)>& change,
                bool* found, Record* old);
  // Removes the record with header h; *found false when absent, or when
  // only_if is given and answers false for the stored record. The record
  // removed goes to *old when given.
  using RemoveCondition = std::function<bool(const RecordView&)>;
  Status Remove(std::string_view h, bool* found, Record* old = nullptr,
                const RemoveCondition& only_if = {});

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
  // The leaf for h, straight from a remembered leaf whose header range holds h
  // when there is one, else by Descend (remembering the leaf's range when
  // remember is set: changes tend to come back to the same leaves, lookups
  // scatter).
  Status FindLeaf(std::string_view h, Page** leaf, bool remember = true);
  void MoveToFront(size_t order_position);
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

  // Seek and SeekBack from the record they returned last: the next one is
  // usually on the same leaf, found without a walk from the root. Valid while
  // the pager's shape is unchanged; the header at pos is compared before use.
  bool SeekFromLast(std::string_view h, bool forward, Record* out, bool* found, Status* s);
  void RememberSeek(const std::vector<Step>& path, Page* leaf, size_t pos);

  Pager* pager_;
  // Leaves reached lately with the range of headers that lead to them: h with
  // lo <= h < hi (a missing bound is open). Valid while the pager's shape is
  // unchanged; separators that change (RefreshIndex) change the shape too.
  struct Finger {
    uint64_t shape = ~uint64_t{0};
    uint32_t leaf = 0;
    bool has_lo = false, has_hi = false;
    std::string lo, hi;
  };
  static constexpr size_t kFingers = 8;
  Finger fingers_[kFingers];
  // Finger numbers, most recently used first; stale ones only behind valid ones.
  uint8_t finger_order_[kFingers] = {0, 1, 2, 3, 4, 5, 6, 7};
  std::vector<Step> scratch_path_;
  struct LastSeek {
    uint64_t shape = ~uint64_t{0};
    std::vector<Step> path;  // path[back] is the leaf, its slot the record's position
  } last_;
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
