#include "data/brisken/record_tree.h"

namespace korvex::brisken {

Status RecordTree::Descend(std::string_view h, std::vector<Step>* path, Page** leaf) {
  path->clear();
  *leaf = nullptr;
  if (pager_->header().root < 0) return Status::Ok();
  uint32_t address = static_cast<uint32_t>(pager_->header().root);
  Page* page = nullptr;
  Status s = pager_->Load(address, &page);
  while (s.ok()) {
    if (!page->is_index()) {
      path->push_back({address, 0});
      *leaf = page;
      return s;
    }
    size_t slot = page->ChildSlotFor(h);
    path->push_back({address, slot});
    address = page->child(slot);
    s = pager_->LoadAt(address, static_cast<uint8_t>(page->level() - 1), &page);
  }
  return s;
}

void RecordTree::MoveToFront(size_t i) {
  uint8_t chosen = finger_order_[i];
  for (; i > 0; --i) finger_order_[i] = finger_order_[i - 1];
  finger_order_[0] = chosen;
}

Status RecordTree::FindLeaf(std::string_view h, Page** leaf, bool remember) {
  const uint64_t shape = pager_->shape_version();
  // Most recently used first; a hit moves to the front.
  for (size_t i = 0; i < kFingers; ++i) {
    const Finger& f = fingers_[finger_order_[i]];
    if (f.shape != shape) break;
    if (f.has_lo && CompareHeaders(f.lo, h) > 0) continue;
    if (f.has_hi && CompareHeaders(h, f.hi) >= 0) continue;
    MoveToFront(i);
    return pager_->Load(f.leaf, leaf);
  }
  std::vector<Step>& path = scratch_path_;
  Status s = Descend(h, &path, leaf);
  if (!s.ok() || *leaf == nullptr || !remember) return s;
  const uint32_t leaf_address = path.back().address;
  // The least recently used (or a stale one) makes room at the front.
  MoveToFront(kFingers - 1);
  Finger& f = fingers_[finger_order_[0]];
  f.shape = ~uint64_t{0};
  f.has_lo = f.has_hi = false;
  // The tightest bounds of every level on the way (in a sound tree the deepest
  // level's; taking the tightest keeps a damaged tree answering as Descend does).
  // Reading the index pages again may drop the leaf from the cache: it is
  // loaded again at the end. A page that cannot be read leaves no finger.
  for (size_t i = 0; i + 1 < path.size(); ++i) {
    Page* index = nullptr;
    if (!pager_->Load(path[i].address, &index).ok()) {
      // The stale finger goes to the back, behind the valid ones.
      uint8_t stale = finger_order_[0];
      for (size_t k = 0; k + 1 < kFingers; ++k) finger_order_[k] = finger_order_[k + 1];
      finger_order_[kFingers - 1] = stale;
      return pager_->Load(leaf_address, leaf);
    }
    size_t slot = path[i].slot;
    if (slot > 0) {
      std::string_view lo = index->record(slot).header();
      if (!f.has_lo || CompareHeaders(lo, f.lo) > 0) f.lo.assign(lo);
      f.has_lo = true;
    }
    if (slot + 1 < index->size()) {
      std::string_view hi = index->record(slot + 1).header();
      if (!f.has_hi || CompareHeaders(hi, f.hi) < 0) f.hi.assign(hi);
      f.has_hi = true;
    }
  }
  f.leaf = leaf_address;
  f.shape = shape;
  return pager_->Load(leaf_address, leaf);
}

Status RecordTree::Neighbour(std::vector<Step>* path, bool forward, Page** leaf) {
  *leaf = nullptr;
  path->pop_back();
  while (!path->empty()) {
    Page* page = nullptr;
    Status s = pager_->Load(path->back().address, &page);
    if (!s.ok()) return s;
    size_t& slot = path->back().slot;
    if (forward ? slot + 1 >= page->size() : slot == 0) {
      path->pop_back();
      continue;
    }
    slot = forward ? slot + 1 : slot - 1;
    // Down the near edge of the neighbouring subtree.
    for (;;) {
      uint32_t address = page->child(path->back().slot);
      s = pager_->LoadAt(address, static_cast<uint8_t>(page->level() - 1), &page);
      if (!s.ok()) return s;
      path->push_back({address, forward ? 0 : page->size() - 1});
      if (!page->is_index()) {
        *leaf = page;
        return Status::Ok();
      }
    }
  }
  return Status::Ok();
}

Status RecordTree::Get(std::string_view h, Record* out, bool* found, bool remember) {
  *found = false;
  Page* leaf = nullptr;
  Status s = FindLeaf(h, &leaf, remember);
  if (!s.ok() || leaf == nullptr) return s;
  size_t pos = leaf->LowerBound(h);
  if (pos < leaf->size() && CompareHeaders(leaf->record(pos).header(), h) == 0) {
    *out = leaf->record(pos);
    *found = true;
  }
  return Status::Ok();
}

void RecordTree::RememberSeek(const std::vector<Step>& path, Page* leaf, size_t pos) {
  last_.shape = pager_->shape_version();
  last_.path = path;
  last_.path.back() = {leaf->address(), pos};
}

bool RecordTree::SeekFromLast(std::string_view h, bool forward, Record* out, bool* found,
                              Status* s) {
  if (last_.shape != pager_->shape_version() || last_.path.empty()) return false;
  Step& at = last_.path.back();
  Page* leaf = nullptr;
  if (!pager_->Load(at.address, &leaf).ok() || leaf->is_index() || at.slot >= leaf->size() ||
      leaf->record(at.slot).header() != h) {
    last_.shape = ~uint64_t{0};
    return false;
  }
  size_t pos = at.slot;
  if (forward ? pos + 1 < leaf->size() : pos > 0) {
    pos = forward ? pos + 1 : pos - 1;
  } else {
    *s = Neighbour(&last_.path, forward, &leaf);
    if (!s->ok() || leaf == nullptr) {
      last_.shape = ~uint64_t{0};
      return true;
    }
    pos = forward ? 0 : leaf->size() - 1;
  }
  last_.path.back().slot = pos;
  *out = leaf->record(pos);
  *found = true;
  return true;
}

Status RecordTree::Seek(std::string_view h, bool after, Record* out, bool* found) {
  *found = false;
  Status from_last;
  if (after && SeekFromLast(h, true, out, found, &from_last)) return from_last;
  std::vector<Step>& path = scratch_path_;
  Page* leaf = nullptr;
  Status s = Descend(h, &path, &leaf);
  if (!s.ok() || leaf == nullptr) return s;
  size_t pos = after ? leaf->UpperBound(h) : leaf->LowerBound(h);
  if (pos == leaf->size()) {
    s = Neighbour(&path, true, &leaf);
    if (!s.ok() || leaf == nullptr) return s;
    pos = 0;
  }
  *out = leaf->record(pos);
  *found = true;
  RememberSeek(path, leaf, pos);
  return Status::Ok();
}

Status RecordTree::SeekBack(std::string_view h, bool before, Record* out, bool* found) {
  *found = false;
  Status from_last;
  if (before && SeekFromLast(h, false, out, found, &from_last)) return from_last;
  std::vector<Step>& path = scratch_path_;
  Page* leaf = nullptr;
  Status s = Descend(h, &path, &leaf);
  if (!s.ok() || leaf == nullptr) return s;
  size_t pos = before ? leaf->LowerBound(h) : leaf->UpperBound(h);
  if (pos == 0) {
    s = Neighbour(&path, false, &leaf);
    if (!s.ok() || leaf == nullptr) return s;
    pos = leaf->size();
  }
  *out = leaf->record(pos - 1);
  *found = true;
  RememberSeek(path, leaf, pos - 1);
  return Status::Ok();
}

Status RecordTree::Insert(Record r, bool* inserted) {
  *inserted = false;
  if (r.bytes.size() > kMaxRecordLength || r.header_len == 0 || r.header_len > r.bytes.size()) {
    return Status::Corrupt(check::kRecordTooLarge);
  }
  Page* leaf = nullptr;
  Status s = FindLeaf(r.header(), &leaf);
  if (!s.ok()) return s;
  if (leaf == nullptr) {
    s = pager_->NewPage(0, kPageHeaderSize + r.bytes.size() + 5, &leaf);
    if (!s.ok()) return s;
    pager_->SetRoot(static_cast<int32_t>(leaf->address()));
    leaf->Insert(0, std::move(r));
    *inserted = true;
    return SplitIfNeeded(leaf);
  }
  // Records added in key order go after the leaf's last one: no search.
  const size_t n = leaf->size();
  size_t pos = n > 0 && CompareHeaders(leaf->record(n - 1).header(), r.header()) < 0
                   ? n
                   : leaf->LowerBound(r.header());
  if (pos < n && CompareHeaders(leaf->record(pos).header(), r.header()) == 0) {
    return Status::Ok();
  }
  pager_->MarkDirty(leaf);
  leaf->Insert(pos, std::move(r));
  *inserted = true;
  if (pos == 0) {
    s = RefreshIndex(leaf);
    if (!s.ok()) return s;
  } else if (!leaf->NeedsSplit()) {
    return Status::Ok();  // only this leaf changed: its ancestors are as sound as they were
  }
  return SplitIfNeeded(leaf);
}

Status RecordTree::Replace(Record r, bool* found, Record* old) {
  *found = false;
  if (r.bytes.size() > kMaxRecordLength || r.header_len == 0 || r.header_len > r.bytes.size()) {
    return Status::Corrupt(check::kRecordTooLarge);
  }
  Page* leaf = nullptr;
  Status s = FindLeaf(r.header(), &leaf);
  if (!s.ok() || leaf == nullptr) return s;
  size_t pos = leaf->LowerBound(r.header());
  if (pos == leaf->size() || CompareHeaders(leaf->record(pos).header(), r.header()) != 0) {
    return Status::Ok();
  }
  *found = true;
  pager_->MarkDirty(leaf);
  if (old != nullptr) *old = leaf->record(pos);
  leaf->Replace(pos, std::move(r));
  // Only this leaf changed: its ancestors are as sound as they were.
  if (!leaf->NeedsSplit()) return Status::Ok();
  return SplitIfNeeded(leaf);
}

Status RecordTree::Update(std::string_view h,
                          const std::function<bool(const RecordView&, Record*)>& change,
                          bool* found, Record* old) {
  *found = false;
  Page* leaf = nullptr;
  Status s = FindLeaf(h, &leaf);
  if (!s.ok() || leaf == nullptr) return s;
  size_t pos = leaf->LowerBound(h);
  if (pos == leaf->size() || CompareHeaders(leaf->record(pos).header(), h) != 0) {
    return Status::Ok();
  }
  *found = true;
  Record next;
  if (!change(leaf->record(pos), &next)) return Status::Ok();
  if (next.bytes.size() > kMaxRecordLength || next.header() != h) {
    return Status::Corrupt(check::kRecordTooLarge);
  }
  pager_->MarkDirty(leaf);
  *old = leaf->record(pos);
  leaf->Replace(pos, std::move(next));
  if (!leaf->NeedsSplit()) return Status::Ok();
  return SplitIfNeeded(leaf);
}

Status RecordTree::Remove(std::string_view h, bool* found, Record* old,
                          const RemoveCondition& only_if) {
  *found = false;
  Page* leaf = nullptr;
  Status s = FindLeaf(h, &leaf);
  if (!s.ok() || leaf == nullptr) return s;
  size_t pos = leaf->LowerBound(h);
  if (pos == leaf->size() || CompareHeaders(leaf->record(pos).header(), h) != 0) {
    return Status::Ok();
  }
  if (only_if && !only_if(leaf->record(pos))) return Status::Ok();
  *found = true;
  pager_->MarkDirty(leaf);
  if (old != nullptr) *old = leaf->record(pos);
  leaf->Erase(pos);
  if (leaf->empty()) return RemovePage(leaf);
  if (pos != 0) return Status::Ok();
  s = RefreshIndex(leaf);
  if (!s.ok()) return s;
  return SplitIfNeeded(leaf);
}

Status RecordTree::RefreshIndex(Page* page) {
  std::string lowest(page->record(0).header());
  Record index;
  index.bytes = lowest;
  index.header_len = static_cast<uint16_t>(lowest.size());
  uint32_t address = page->address();
  for (uint32_t up = pager_->ParentOf(address); up != kNoParent; up = pager_->ParentOf(address)) {
    Page* parent = nullptr;
    Status s = pager_->Load(up, &parent);
    if (!s.ok()) return s;
    size_t slot = parent->FindChild(address);
    if (slot == parent->size()) return Status::Corrupt(check::kTreeShape);
    if (parent->record(slot).bytes == lowest) break;
    pager_->ShapeChanged();  // a separator moves: remembered ranges no longer hold
    pager_->MarkDirty(parent);
    parent->Replace(slot, index);
    if (slot != 0) break;
    address = up;
  }
  return Status::Ok();
}

Status RecordTree::RemovePage(Page* page) {
  for (;;) {
    uint32_t address = page->address();
    uint32_t up = pager_->ParentOf(address);
    pager_->FreePage(page);
    if (up == kNoParent) return Status::Ok();
    Page* parent = nullptr;
    Status s = pager_->Load(up, &parent);
    if (!s.ok()) return s;
    size_t slot = parent->FindChild(address);
    if (slot == parent->size()) return Status::Corrupt(check::kTreeShape);
    pager_->MarkDirty(parent);
    parent->Erase(slot);
    if (parent->empty()) {
      page = parent;
      continue;
    }
    if (slot != 0) return Status::Ok();
    s = RefreshIndex(parent);
    if (!s.ok()) return s;
    return SplitIfNeeded(parent);
  }
}

Status RecordTree::SplitPage(Page* page) {
  while (page->NeedsSplit()) {
    if (page->size() < 2) return Status::Corrupt(check::kSplitTooFew);
    pager_->MarkDirty(page);
    Page* parent = nullptr;
    Status s;
    uint32_t up = pager_->ParentOf(page->address());
    if (up == kNoParent) {
      // A new root one level higher holds the old root's index record.
      s = pager_->NewPage(static_cast<uint8_t>(page->level() + 1), 256, &parent);
      if (!s.ok()) return s;
      parent->Insert(0, IndexRecordFor(page->record(0)), page->address());
      pager_->SetRoot(static_cast<int32_t>(parent->address()));
      pager_->SetParent(page->address(), parent->address());
    } else {
      s = pager_->Load(up, &parent);
      if (!s.ok()) return s;
      pager_->MarkDirty(parent);
    }
    Page* upper = nullptr;
    s = pager_->NewPage(page->level(), page->planned_size() / 2, &upper);
    if (!s.ok()) return s;
    page->MoveTail(page->size() / 2, upper);
    for (uint32_t c : upper->children()) pager_->SetParent(c, upper->address());
    size_t slot = parent->FindChild(page->address());
    if (slot == parent->size()) return Status::Corrupt(check::kTreeShape);
    parent->Insert(slot + 1, IndexRecordFor(upper->record(0)), upper->address());
    pager_->SetParent(upper->address(), parent->address());
    s = SplitPage(upper);
    if (!s.ok()) return s;
  }
  return Status::Ok();
}

Status RecordTree::SplitIfNeeded(Page* page) {
  for (;;) {
    Status s = SplitPage(page);
    if (!s.ok()) return s;
    uint32_t up = pager_->ParentOf(page->address());
    if (up == kNoParent) return Status::Ok();
    s = pager_->Load(up, &page);
    if (!s.ok()) return s;
  }
}

}  // namespace korvex::brisken
