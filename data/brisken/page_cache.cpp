#include "data/brisken/page_cache.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace korvex::brisken {

namespace {

std::atomic<size_t> g_default_bytes{0};  // 0: the machine's share

uint64_t PhysicalMemory() {
#if defined(_WIN32)
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
#else
  long pages = sysconf(_SC_PHYS_PAGES);
  long page_size = sysconf(_SC_PAGESIZE);
  return pages > 0 && page_size > 0 ? uint64_t(pages) * uint64_t(page_size) : 0;
#endif
}

size_t MachineShare() {
  constexpr uint64_t kMb = 1 << 20;
  if (const char* env = std::getenv("KORVEX_BRISKEN_CACHE_MB")) {
    char* end = nullptr;
    unsigned long long mb = std::strtoull(env, &end, 10);
    if (end != env && *end == '\0' && mb > 0 && mb <= 64 * 1024) return size_t(mb * kMb);
  }
  uint64_t share = PhysicalMemory() / 32;
  return size_t(std::clamp<uint64_t>(share, 8 * kMb, 256 * kMb));
}

}  // namespace

PageCache::Limits PageCache::LimitsForBytes(size_t clean_bytes) {
  Limits limits;
  if (clean_bytes <= kCleanBytesBudget) return limits;  // the small cache
  limits.clean_bytes = std::max(clean_bytes, kCleanBytesBudget);
  // Decoded pages take more room than their planned size; small pages are
  // counted as a kilobyte each so that many tiny pages stay bounded too.
  limits.max_pages = std::max(kMaxPages, limits.clean_bytes / 1024);
  return limits;
}

PageCache::Limits PageCache::DefaultLimits() {
  size_t chosen = g_default_bytes.load();
  static const size_t machine = MachineShare();
  return LimitsForBytes(chosen != 0 ? chosen : machine);
}

void PageCache::SetDefaultBytes(size_t clean_bytes) { g_default_bytes.store(clean_bytes); }

Page* PageCache::Find(uint32_t address) {
  Page* p = pages_.Find(address);
  if (p == nullptr) return nullptr;
  if (p->dirty()) {
    // Exact order (a commit places pages in it), kept as a stamp rather than
    // by moving list nodes on every lookup.
    p->lru_tick = ++dirty_tick_;
    dirty_sorted_ = false;
  } else if (tick_ - p->lru_tick > clean_.size() / 4) {
    // At most tick_ - lru_tick pages went in front of it since it was put at
    // the front: one within the first quarter is far from being trimmed, and
    // moving it again would cost the list's cache misses on every lookup.
    clean_.splice(clean_.begin(), clean_, p->lru_position);
    p->lru_tick = ++tick_;
  }
  return p;
}

Page* PageCache::Insert(std::unique_ptr<Page> page) {
  Page* raw = page.get();
  if (raw->dirty()) {
    dirty_.push_front(raw);
    raw->lru_position = dirty_.begin();
    raw->lru_tick = ++dirty_tick_;
    dirty_sorted_ = false;
  } else {
    clean_.push_front(raw);
    raw->lru_position = clean_.begin();
    raw->lru_tick = ++tick_;
    clean_bytes_ += raw->planned_size();
  }
  pages_.Put(raw->address(), std::move(page));
  ++count_;
  return raw;
}

std::unique_ptr<Page> PageCache::Unlink(Page* page) {
  return pages_.Take(page->address(), page);
}

void PageCache::Rekey(Page* page, uint32_t new_address) {
  std::unique_ptr<Page> owned = Unlink(page);
  page->set_address(new_address);
  pages_.Put(new_address, std::move(owned));
}

void PageCache::Erase(Page* page) {
  if (page->dirty()) {
    dirty_.erase(page->lru_position);
  } else {
    clean_.erase(page->lru_position);
    clean_bytes_ -= std::min(clean_bytes_, page->planned_size());
  }
  --count_;
  Unlink(page);
}

void PageCache::MarkDirty(Page* page) {
  if (page->dirty()) {
    page->lru_tick = ++dirty_tick_;
    dirty_sorted_ = false;
    return;
  }
  clean_bytes_ -= std::min(clean_bytes_, page->planned_size());
  dirty_.splice(dirty_.begin(), clean_, page->lru_position);
  page->lru_tick = ++dirty_tick_;
  dirty_sorted_ = false;
  page->set_dirty(true);
}

size_t PageCache::DirtyBytes() const {
  size_t bytes = 0;
  for (const Page* p : dirty_) bytes += p->planned_size();
  return bytes;
}

std::vector<Page*> PageCache::DirtyPages() {
  SortDirty();
  return {dirty_.rbegin(), dirty_.rend()};
}

void PageCache::SortDirty() {
  if (dirty_sorted_) return;
  dirty_sorted_ = true;
  dirty_.sort([](const Page* a, const Page* b) { return a->lru_tick > b->lru_tick; });
}

void PageCache::MarkAllClean() {
  SortDirty();
  // They go to the front in their order: the front one gets the latest tick.
  for (auto it = dirty_.rbegin(); it != dirty_.rend(); ++it) {
    Page* p = *it;
    p->set_dirty(false);
    p->lru_tick = ++tick_;
    clean_bytes_ += p->planned_size();
  }
  clean_.splice(clean_.begin(), dirty_);
  Trim();
}

void PageCache::Trim(const Page* keep) {
  while (count_ >= kMinPages && !clean_.empty() &&
         (count_ > limits_.max_pages - 1 || clean_bytes_ > limits_.clean_bytes)) {
    Page* victim = clean_.back();
    if (victim == keep) {
      if (clean_.size() == 1) break;
      clean_.splice(clean_.begin(), clean_, victim->lru_position);
      victim->lru_tick = ++tick_;
      continue;
    }
    Erase(victim);
  }
}

void PageCache::Clear() {
  pages_.Clear();
  clean_.clear();
  dirty_.clear();
  dirty_sorted_ = true;
  count_ = 0;
  clean_bytes_ = 0;
}

}  // namespace korvex::brisken
