// The pages of one open file held in memory, decoded: found by address, with
// separate least-recently-used lists for clean and dirty pages. Dirty pages stay
// until the next commit; clean ones are dropped beyond the bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "data/brisken/page.h"
#include "data/brisken/page_table.h"

namespace korvex::brisken {

class PageCache {
 public:
  static constexpr size_t kMinPages = 20;   // never trimmed below this
  static constexpr size_t kMaxPages = 100;  // trimmed above this (the small cache)
  // Planned bytes of clean pages beyond which the small cache is trimmed down towards kMinPages.
  static constexpr size_t kCleanBytesBudget = 1 << 20;

  // How much the cache keeps: pages and planned bytes of clean pages.
  struct Limits {
    size_t max_pages = kMaxPages;
    size_t clean_bytes = kCleanBytesBudget;
  };
  // The limits an open file gets: a share of the machine's memory (a 32nd,
  // between 8 MB and 256 MB of planned page bytes; a decoded page takes one to
  // two times its planned size), or KORVEX_BRISKEN_CACHE_MB megabytes when
  // set, or what SetDefaultBytes chose.
  static Limits DefaultLimits();
  // Sets the limits later opened files get (0 bytes: back to the machine's
  // share; up to kCleanBytesBudget: the small cache).
  static void SetDefaultBytes(size_t clean_bytes);
  static Limits LimitsForBytes(size_t clean_bytes);

  PageCache() = default;
  explicit PageCache(Limits limits) : limits_(limits) {}
  PageCache(const PageCache&) = delete;
  PageCache& operator=(const PageCache&) = delete;

  // The cached page at address, marked most recently used; nullptr when absent.
  Page* Find(uint32_t address);
  // Takes a page whose address is not cached yet; it starts clean unless dirty() is set.
  Page* Insert(std::unique_ptr<Page> page);
  // Files the page under a new address. REQUIRES: new_address not cached.
  void Rekey(Page* page, uint32_t new_address);
  // Drops the page (freed from the tree).
  void Erase(Page* page);
  void MarkDirty(Page* page);
  // After a commit: every dirty page becomes clean, then the cache is trimmed.
  void MarkAllClean();
  // Drops least recently used clean pages while the bounds say so. Pages named in
  // `keep` survive.
  void Trim(const Page* keep = nullptr);
  void Clear();
  const Limits& limits() const { return limits_; }

  size_t size() const { return count_; }
  size_t dirty_count() const { return dirty_.size(); }
  // Planned bytes of the dirty pages (walks them).
  size_t DirtyBytes() const;
  size_t clean_count() const { return clean_.size(); }
  // Dirty pages, least recently used first.
  std::vector<Page*> DirtyPages();

 private:
  std::unique_ptr<Page> Unlink(Page* page);
  // Puts the dirty list in use order, most recent first.
  void SortDirty();

  Limits limits_;
  PageTable pages_;  // by address
  std::list<Page*> clean_;  // most recently used first
  std::list<Page*> dirty_;  // in use order (most recent first) only after SortDirty
  uint64_t dirty_tick_ = 0;  // counts uses of dirty pages (their lru_tick)
  bool dirty_sorted_ = true;  // no dirty page used since the last SortDirty
  size_t count_ = 0;
  uint64_t tick_ = 0;  // counts pages put at the front of the clean list
  size_t clean_bytes_ = 0;  // planned sizes of clean pages, as of their last listing
};

}  // namespace korvex::brisken
