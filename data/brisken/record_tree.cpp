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

Status RecordTree::Get(std::string_view h, Record* out, bool* found) {
  *found = false;
  std::vector<Step> path;
  Page* leaf = nullptr;
  Status s = Descend(h, &path, &leaf);
  if (!s.ok() || leaf == nullptr) return s;
  size_t pos = leaf->LowerBound(h);
  if (pos < leaf->size() && CompareHeaders(leaf->record(pos).header(), h) == 0) {
    *out = leaf->record(pos);
    *found = true;
  }
  return Status::Ok();
}

Status RecordTree::Seek(std::string_view h, bool after, Record* out, bool* found) {
  *found = false;
  std::vector<Step> path;
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
  return Status::Ok();
}

Status RecordTree::SeekBack(std::string_view h, bool before, Record* out, bool* found) {
  *found = false;
  std::vector<Step> path;
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
  return Status::Ok();
}

Status RecordTree::Insert(Record r, bool* inserted) {
  *inserted = false;
  if (r.bytes.size() > kMaxRecordLength || r.header_len == 0 || r.header_len > r.bytes.size()) {
    return Status::Corrupt(check::kRecordTooLarge);
  }
  std::vector<Step> path;
  Page* leaf = nullptr;
  Status s = Descend(r.header(), &path, &leaf);
  if (!s.ok()) return s;
  if (leaf == nullptr) {
    s = pager_->NewPage(0, kPageHeaderSize + r.bytes.size() + 5, &leaf);
    if (!s.ok()) return s;
    pager_->SetRoot(static_cast<int32_t>(leaf->address()));
    leaf->Insert(0, std::move(r));
    *inserted = true;
    return SplitIfNeeded(leaf);
  }
  size_t pos = leaf->LowerBound(r.header());
  if (pos < leaf->size() && CompareHeaders(leaf->record(pos).header(), r.header()) == 0) {
    return Status::Ok();
  }
  pager_->MarkDirty(leaf);
  leaf->Insert(pos, std::move(r));
  *inserted = true;
  if (pos == 0) {
    s = RefreshIndex(leaf);
    if (!s.ok()) return s;
  }
  return SplitIfNeeded(leaf);
}

Status RecordTree::Replace(Record r, bool* found) {
  *found = false;
  if (r.bytes.size() > kMaxRecordLength || r.header_len == 0 || r.header_len > r.bytes.size()) {
    return Status::Corrupt(check::kRecordTooLarge);
  }
  std::vector<Step> path;
  Page* leaf = nullptr;
  Status s = Descend(r.header(), &path, &leaf);
  if (!s.ok() || leaf == nullptr) return s;
  size_t pos = leaf->LowerBound(r.header());
  if (pos == leaf->size() || CompareHeaders(leaf->record(pos).header(), r.header()) != 0) {
    return Status::Ok();
  }
  *found = true;
  pager_->MarkDirty(leaf);
  leaf->Replace(pos, std::move(r));
  return SplitIfNeeded(leaf);
}

Status RecordTree::Remove(std::string_view h, bool* found) {
  *found = false;
  std::vector<Step> path;
  Page* leaf = nullptr;
  Status s = Descend(h, &path, &leaf);
  if (!s.ok() || leaf == nullptr) return s;
  size_t pos = leaf->LowerBound(h);
  if (pos == leaf->size() || CompareHeaders(leaf->record(pos).header(), h) != 0) {
    return Status::Ok();
  }
  *found = true;
  pager_->MarkDirty(leaf);
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
