#include "data/brisken/pager.h"

#include <algorithm>

namespace korvex::brisken {

Status Pager::Start(const FileHeader& header) {
  ++shape_version_;
  cache_.Clear();
  parents_.clear();
  for (auto& h : holes_) h.clear();
  header_ = header;
  header_dirty_ = false;
  Status s = header_.NormalizeRegions();
  if (!s.ok()) return s;
  uint64_t size = 0;
  os::Status os = file_->Size(&size);
  if (!os.ok()) return Status::Error(OsErrorCode(os, false));
  if (!header_.BoundsProblem(size).empty()) return Status::Corrupt(check::kHeaderBounds);
  if (header_.root >= 0) {
    uint32_t root = static_cast<uint32_t>(header_.root);
    parents_[root] = kNoParent;
    // Learn every page's parent from the index pages, top down.
    std::vector<std::pair<uint32_t, int>> pending{{root, -1}};
    while (!pending.empty()) {
      auto [address, level] = pending.back();
      pending.pop_back();
      Page* page = nullptr;
      s = level < 0 ? Load(address, &page) : LoadAt(address, static_cast<uint8_t>(level), &page);
      if (!s.ok()) return s;
      if (!page->is_index()) continue;
      int child_level = page->level() - 1;
      std::vector<uint32_t> children = page->children();
      for (uint32_t c : children) {
        int cls = header_.RegionOf(c);
        if (cls == 0 || (c - header_.start[cls]) % cls != 0) {
          return Status::Corrupt(check::kPageAddress);
        }
        if (!parents_.emplace(c, address).second) return Status::Corrupt(check::kTreeShape);
        if (child_level > 0) pending.push_back({c, child_level});
      }
    }
  }
  // Slots that no page uses are free.
  for (int i = 1; i < kSizeClasses; ++i) {
    for (uint32_t a = header_.start[i]; a < header_.end[i]; a += static_cast<uint32_t>(i)) {
      if (!parents_.count(a)) holes_[i].insert(a);
    }
  }
  return Status::Ok();
}

Status Pager::Load(uint32_t address, Page** out) {
  if (Page* p = cache_.Find(address)) {
    *out = p;
    return Status::Ok();
  }
  int cls = header_.RegionOf(address);
  if (cls == 0 || (address - header_.start[cls]) % cls != 0 || holes_[cls].count(address)) {
    return Status::Corrupt(check::kPageAddress);
  }
  std::string slot;
  uint64_t offset = PageOffset(address);
  auto moved = redirects_.find(offset);
  if (moved != redirects_.end()) offset = moved->second;
  Status s = ReadBlocks(file_, cipher_, offset, size_t{kUnit} * cls, &slot);
  if (!s.ok()) return s;
  std::unique_ptr<Page> page;
  s = Page::Parse(slot, address, &page);
  if (!s.ok()) return s;
  *out = cache_.Insert(std::move(page));
  cache_.Trim(*out);
  return Status::Ok();
}

Status Pager::LoadAt(uint32_t address, uint8_t level, Page** out) {
  Status s = Load(address, out);
  if (s.ok() && (*out)->level() != level) return Status::Corrupt(check::kTreeShape);
  return s;
}

Status Pager::NewPage(uint8_t level, size_t planned_bytes, Page** out) {
  uint32_t address = 0;
  Status s = Allocate(std::min(SizeClassFor(planned_bytes), kSizeClasses - 1), &address);
  if (!s.ok()) return s;
  ++shape_version_;
  auto page = std::make_unique<Page>(address, level);
  page->set_dirty(true);
  *out = cache_.Insert(std::move(page));
  return Status::Ok();
}

void Pager::FreePage(Page* page) {
  ++shape_version_;
  uint32_t address = page->address();
  if (header_.root == static_cast<int32_t>(address)) SetRoot(kNoRoot);
  parents_.erase(address);
  cache_.Erase(page);
  FreeSlot(address);
}

uint32_t Pager::ParentOf(uint32_t address) const {
  auto it = parents_.find(address);
  return it == parents_.end() ? kNoParent : it->second;
}

void Pager::SetRoot(int32_t address) {
  ++shape_version_;
  mutable_header().root = address;
  if (address >= 0) parents_[static_cast<uint32_t>(address)] = kNoParent;
}

Status Pager::Allocate(int cls, uint32_t* address) {
  if (!holes_[cls].empty()) {
    *address = *holes_[cls].begin();
    holes_[cls].erase(holes_[cls].begin());
    return Status::Ok();
  }
  header_dirty_ = true;
  uint32_t units = static_cast<uint32_t>(cls);
  if (header_.start[cls] - header_.end[cls - 1] >= units) {
    header_.start[cls] -= units;
    *address = header_.start[cls];
    return Status::Ok();
  }
  // Make room above first, so that regions never overlap, not even briefly.
  Status s = PushUp(cls + 1, header_.end[cls] + units);
  if (!s.ok()) return s;
  *address = header_.end[cls];
  header_.end[cls] += units;
  return Status::Ok();
}

Status Pager::PushUp(int cls, uint32_t need) {
  if (cls >= kSizeClasses || header_.start[cls] >= need) return Status::Ok();
  uint32_t units = static_cast<uint32_t>(cls);
  while (header_.start[cls] < need) {
    if (header_.RegionEmpty(cls)) {
      header_.start[cls] = header_.end[cls] = need;
      break;
    }
    uint32_t from = header_.start[cls];
    if (holes_[cls].erase(from)) {
      header_.start[cls] += units;
      continue;
    }
    // The region's first page moves to its end.
    uint32_t to = header_.end[cls];
    Status s = PushUp(cls + 1, to + units);
    if (!s.ok()) return s;
    header_.end[cls] += units;
    s = Relocate(from, to);
    if (!s.ok()) return s;
    header_.start[cls] += units;
  }
  return PushUp(cls + 1, header_.end[cls]);
}

void Pager::FreeSlot(uint32_t address) {
  int cls = header_.RegionOf(address);
  if (cls != 0) holes_[cls].insert(address);
}

size_t Pager::FreeSlotCount() const {
  size_t n = 0;
  for (const auto& h : holes_) n += h.size();
  return n;
}

Status Pager::Relocate(uint32_t from, uint32_t to) {
  Page* page = nullptr;
  Status s = Load(from, &page);
  if (!s.ok()) return s;
  ++relocations_;
  ++shape_version_;
  cache_.MarkDirty(page);
  cache_.Rekey(page, to);
  uint32_t parent = ParentOf(from);
  parents_.erase(from);
  parents_[to] = parent;
  if (page->is_index()) {
    for (uint32_t c : page->children()) parents_[c] = to;
  }
  if (parent == kNoParent) {
    mutable_header().root = static_cast<int32_t>(to);
    return Status::Ok();
  }
  Page* up = nullptr;
  s = Load(parent, &up);
  if (!s.ok()) return s;
  size_t pos = up->FindChild(from);
  if (pos == up->size()) return Status::Corrupt(check::kTreeShape);
  up->SetChild(pos, to);
  cache_.MarkDirty(up);
  return Status::Ok();
}

Status Pager::Compact() {
  header_dirty_ = true;
  for (int cls = 1; cls < kSizeClasses; ++cls) {
    uint32_t units = static_cast<uint32_t>(cls);
    auto& holes = holes_[cls];
    // Close the holes inside the region with the pages at its end.
    while (!holes.empty()) {
      uint32_t last = header_.end[cls] - units;
      if (!holes.erase(last)) {
        uint32_t hole = *holes.begin();
        holes.erase(holes.begin());
        Status s = Relocate(last, hole);
        if (!s.ok()) return s;
      }
      header_.end[cls] -= units;
    }
    if (header_.RegionEmpty(cls)) {
      header_.start[cls] = header_.end[cls] = header_.end[cls - 1];
      continue;
    }
    if (cls < 2) continue;
    // Slide the region down into the gap below it.
    while (header_.start[cls] - header_.end[cls - 1] >= units) {
      uint32_t last = header_.end[cls] - units;
      header_.start[cls] -= units;
      Status s = Relocate(last, header_.start[cls]);
      if (!s.ok()) return s;
      header_.end[cls] -= units;
    }
  }
  return Status::Ok();
}

Status Pager::PrepareCommit(std::vector<PageImage>* images, FileHeader* header) {
  images->clear();
  // Records do not change during a commit, so each page's area is encoded once.
  std::unordered_map<const Page*, Page::Area> areas;
  auto area_of = [&](const Page* page) -> const Page::Area& {
    auto it = areas.find(page);
    if (it == areas.end()) it = areas.emplace(page, page->EncodeArea()).first;
    return it->second;
  };
  // Pages that changed size class move to a slot of their new class; the moves
  // and the compaction touch further pages, so repeat until nothing moves.
  for (bool moved = true; moved;) {
    uint64_t relocations_before = relocations_;
    for (Page* page : cache_.DirtyPages()) {
      const Page::Area& area = area_of(page);
      Status s = page->CheckArea(area);
      if (!s.ok()) return s;
      int cls = SizeClassFor(page->ImageSize(area));
      if (cls == header_.RegionOf(page->address())) continue;
      uint32_t to = 0;
      s = Allocate(cls, &to);
      if (!s.ok()) return s;
      uint32_t from = page->address();  // read now: the allocation may have moved it
      FreeSlot(from);
      s = Relocate(from, to);
      if (!s.ok()) return s;
    }
    Status s = Compact();
    if (!s.ok()) return s;
    moved = relocations_ != relocations_before;
  }
  for (Page* page : cache_.DirtyPages()) {
    std::string image;
    Status s = page->Assemble(area_of(page), &image);
    if (!s.ok()) return s;
    areas.erase(page);  // the image holds it now: a large commit keeps one copy
    int cls = header_.RegionOf(page->address());
    if (cls != SizeClassFor(image.size())) return Status::Corrupt(check::kPageAddress);
    image.resize(size_t{kUnit} * cls, '\0');
    images->push_back({PageOffset(page->address()), std::move(image)});
  }
  std::sort(images->begin(), images->end(),
            [](const PageImage& a, const PageImage& b) { return a.offset < b.offset; });
  *header = header_;
  header->committed_end = header->pending_end = static_cast<uint32_t>(header_.DataLength());
  // 0 marks a file that was never committed; a wrapping counter skips it.
  header->change_counter = header_.change_counter + 1 == 0 ? 1 : header_.change_counter + 1;
  return Status::Ok();
}

void Pager::CommitDone(const FileHeader& header) {
  header_ = header;
  header_dirty_ = false;
  cache_.MarkAllClean();
}

Status Pager::CommitInPlace() {
  std::vector<PageImage> images;
  FileHeader header;
  Status s = PrepareCommit(&images, &header);
  if (!s.ok()) return s;
  for (PageImage& image : images) {
    s = WriteBlocks(file_, cipher_, image.offset, image.bytes);
    if (!s.ok()) return s;
  }
  s = WriteBlocks(file_, cipher_, 0, header.Encode());
  if (!s.ok()) return s;
  os::Status os = file_->Flush();
  if (!os.ok()) return Status::Error(OsErrorCode(os, true));
  CommitDone(header);
  return Status::Ok();
}

}  // namespace korvex::brisken
