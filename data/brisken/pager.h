// Pages of one file between disk and the record tree: loading through the
// cache, slots in the size-class regions (allocation, push-up, freeing,
// compaction), page relocation with the parent's child address rewritten, and
// the page images of a commit. Knows the parent of every page of the tree.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/brisken/block_io.h"
#include "data/brisken/file_header.h"
#include "data/brisken/page.h"
#include "data/brisken/page_cache.h"
#include "data/brisken/status.h"
#include "runtime/os/file.h"

namespace korvex::brisken {

inline constexpr uint32_t kNoParent = 0xFFFFFFFF;

// One page as a commit writes it: its home offset and its padded slot image.
struct PageImage {
  uint64_t offset;
  std::string bytes;
};

class Pager {
 public:
  // REQUIRES: file outlives the pager.
  explicit Pager(os::File* file) : file_(file), cache_(PageCache::DefaultLimits()) {}
  Pager(os::File* file, PageCache::Limits limits) : file_(file), cache_(limits) {}
  Pager(const Pager&) = delete;
  Pager& operator=(const Pager&) = delete;

  void set_cipher(const BlockCipher* cipher) { cipher_ = cipher; }
  // Pages whose home offset is listed are read from the given offset instead
  // (the shadow copies of a commit that a read-only opener cannot finish).
  // Kept across Start.
  void SetRedirects(std::unordered_map<uint64_t, uint64_t> redirects) {
    redirects_ = std::move(redirects);
  }

  // Adopts a header just read or created: drops every cached page, checks and
  // normalises the regions against the file's size, learns the tree's shape
  // from its index pages and treats slots no page uses as free.
  Status Start(const FileHeader& header);

  const FileHeader& header() const { return header_; }
  // Changes to the header's numbers; the header is written at the next commit.
  FileHeader& mutable_header() {
    header_dirty_ = true;
    return header_;
  }
  bool HasChanges() const { return header_dirty_ || cache_.dirty_count() > 0; }

  // The page at address. The pointer stays valid until the next Load unless
  // the page is dirty (dirty pages stay cached until the commit).
  Status Load(uint32_t address, Page** out);
  // Loads a child and checks that its level is `level`.
  Status LoadAt(uint32_t address, uint8_t level, Page** out);
  void MarkDirty(Page* page) { cache_.MarkDirty(page); }
  // A new empty dirty page with a slot sized for about planned_bytes.
  Status NewPage(uint8_t level, size_t planned_bytes, Page** out);
  // Removes an emptied page from the tree's bookkeeping and frees its slot.
  void FreePage(Page* page);

  uint32_t ParentOf(uint32_t address) const;
  void SetParent(uint32_t child, uint32_t parent) { parents_[child] = parent; }
  void SetRoot(int32_t address);

  // Gives every dirty page the slot of its size class, compacts the regions and
  // produces the images to write and the header that describes them. The
  // pages stay dirty until CommitDone().
  Status PrepareCommit(std::vector<PageImage>* images, FileHeader* header);
  // After the images and header reached the file: adopt the header, all clean.
  void CommitDone(const FileHeader& header);
  // Writes images and header in place and flushes (a commit without shadow pages).
  Status CommitInPlace();

  // Size-class bookkeeping, public for tests.
  Status Allocate(int size_class, uint32_t* address);
  void FreeSlot(uint32_t address);
  Status Compact();
  // Moves the page at from into the free slot to.
  Status Relocate(uint32_t from, uint32_t to);
  size_t FreeSlotCount() const;
  const std::unordered_map<uint32_t, uint32_t>& parents() const { return parents_; }
  PageCache& cache() { return cache_; }
  const PageCache& cache() const { return cache_; }
  // Changes whenever a page may have gone, moved or come (start, new and freed
  // pages, relocations): a position remembered in the tree holds while it stays.
  uint64_t shape_version() const { return shape_version_; }
  void ShapeChanged() { ++shape_version_; }

 private:
  Status PushUp(int size_class, uint32_t need);

  os::File* file_;
  const BlockCipher* cipher_ = nullptr;
  std::unordered_map<uint64_t, uint64_t> redirects_;  // home offset -> where to read it
  FileHeader header_;
  bool header_dirty_ = false;
  PageCache cache_;
  std::unordered_map<uint32_t, uint32_t> parents_;  // page -> its parent (kNoParent: root)
  std::array<std::set<uint32_t>, kSizeClasses> holes_;  // freed slots per region
  uint64_t relocations_ = 0;  // pages moved so far
  uint64_t shape_version_ = 0;
};

// The size class of a page image of `bytes` bytes.
inline int SizeClassFor(size_t bytes) {
  int c = static_cast<int>((bytes + kUnit - 1) / kUnit);
  return c < 1 ? 1 : c;
}

}  // namespace korvex::brisken
