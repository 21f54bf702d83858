#include "data/brisken/tree_check.h"

#include <cstdio>
#include <unordered_set>
#include <vector>

namespace korvex::brisken {
namespace {

Status Fail(TreeReport* report, const char* what, uint32_t address) {
  char text[160];
  std::snprintf(text, sizeof text, "%s (page %u)", what, address);
  report->problem = text;
  return Status::Corrupt(check::kTreeShape);
}

}  // namespace

Status CheckTree(Pager* pager, bool committed, TreeReport* report) {
  *report = TreeReport();
  const FileHeader& h = pager->header();
  uint32_t previous_end = 0;
  size_t slots = 0;
  for (int i = 1; i < kSizeClasses; ++i) {
    if (h.start[i] < previous_end || h.end[i] < h.start[i] || (h.end[i] - h.start[i]) % i != 0) {
      return Fail(report, "regions overlap or are not whole slots", h.start[i]);
    }
    previous_end = h.end[i];
    slots += (h.end[i] - h.start[i]) / i;
  }
  if (h.root < 0) {
    if (slots != pager->FreeSlotCount()) return Fail(report, "used slots without a tree", 0);
    return Status::Ok();
  }
  struct Visit {
    uint32_t address;
    int level;          // expected level, -1 for the root
    std::string index;  // the parent's index record for it
    uint32_t parent;
  };
  std::vector<Visit> stack{{static_cast<uint32_t>(h.root), -1, "", kNoParent}};
  std::unordered_set<uint32_t> seen;
  std::string previous;  // last leaf header, in order
  bool have_previous = false;
  std::string image;
  while (!stack.empty()) {
    Visit v = stack.back();
    stack.pop_back();
    if (!seen.insert(v.address).second) return Fail(report, "page referred to twice", v.address);
    if (pager->ParentOf(v.address) != v.parent) return Fail(report, "parent link wrong", v.address);
    Page* page = nullptr;
    Status s = v.level < 0 ? pager->Load(v.address, &page)
                           : pager->LoadAt(v.address, static_cast<uint8_t>(v.level), &page);
    if (!s.ok()) {
      if (s.corrupt()) report->problem = "page unreadable";
      return s;
    }
    ++report->pages;
    if (v.level < 0) report->depth = page->level() + 1u;
    if (page->empty()) return Fail(report, "empty page", v.address);
    if (page->NeedsSplit()) return Fail(report, "page above its split bound", v.address);
    size_t planned = kPageHeaderSize;
    for (size_t i = 0; i < page->size(); ++i) {
      planned += page->record(i).bytes.size() + 5 + (page->is_index() ? 4 : 0);
    }
    if (planned != page->planned_size()) return Fail(report, "planned size wrong", v.address);
    if (v.level >= 0 && page->record(0).header() != v.index) {
      return Fail(report, "index record differs from the child's lowest header", v.address);
    }
    for (size_t i = 1; i < page->size(); ++i) {
      if (CompareHeaders(page->record(i - 1).header(), page->record(i).header()) >= 0) {
        return Fail(report, "records out of order", v.address);
      }
    }
    int cls = h.RegionOf(v.address);
    if (cls == 0 || (v.address - h.start[cls]) % cls != 0) {
      return Fail(report, "page outside the regions", v.address);
    }
    if (committed) {
      s = page->Serialize(&image);
      if (!s.ok()) return s;
      if (SizeClassFor(image.size()) != cls) return Fail(report, "page in a foreign region", v.address);
    }
    if (page->is_index()) {
      for (size_t i = 0; i < page->size(); ++i) {
        const RecordView r = page->record(i);
        if (r.header_len != r.bytes.size()) return Fail(report, "index record with data", v.address);
      }
      // Children in reverse so that they are visited in order.
      for (size_t i = page->size(); i-- > 0;) {
        stack.push_back({page->child(i), page->level() - 1, std::string(page->record(i).header()),
                         v.address});
      }
      continue;
    }
    for (size_t i = 0; i < page->size(); ++i) {
      const RecordView r = page->record(i);
      if (have_previous && CompareHeaders(previous, r.header()) >= 0) {
        return Fail(report, "records out of order across pages", v.address);
      }
      previous.assign(r.header());
      have_previous = true;
      ++report->records;
    }
  }
  if (seen.size() + pager->FreeSlotCount() != slots) {
    return Fail(report, "slots neither used nor free", 0);
  }
  if (committed && pager->FreeSlotCount() != 0) return Fail(report, "free slots after a commit", 0);
  if (pager->parents().size() != seen.size()) return Fail(report, "parent table has extra pages", 0);
  return Status::Ok();
}

}  // namespace korvex::brisken
