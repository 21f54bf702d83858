#include "data/brisken/page_cache.h"

#include <gtest/gtest.h>

namespace korvex::brisken {
namespace {

// The driver's tests run with the small cache, so that pages are dropped and
// read again all the time; tests of the larger cache choose it themselves.
const bool kSmallCacheForTests = (PageCache::SetDefaultBytes(1), true);

Page* Add(PageCache* cache, uint32_t address, size_t record_bytes = 10, bool dirty = false) {
  auto page = std::make_unique<Page>(address, 0);
  page->Insert(0, Record{std::string(record_bytes, 'r'), 1});
  page->set_dirty(dirty);
  return cache->Insert(std::move(page));
}

TEST(PageCacheTest, FindsPagesOnTheirChainsAndUnderNewAddresses) {
  PageCache cache;
  Page* a = Add(&cache, 7);
  Page* b = Add(&cache, 107);  // same chain as 7
  EXPECT_EQ(cache.Find(7), a);
  EXPECT_EQ(cache.Find(107), b);
  EXPECT_EQ(cache.Find(207), nullptr);
  cache.MarkDirty(a);
  cache.Rekey(a, 55);
  EXPECT_EQ(cache.Find(7), nullptr);
  EXPECT_EQ(cache.Find(55), a);
  EXPECT_EQ(a->address(), 55u);
  cache.Erase(b);
  EXPECT_EQ(cache.Find(107), nullptr);
  EXPECT_EQ(cache.size(), 1u);
}

TEST(PageCacheTest, KeepsAtMostNinetyNineCleanPagesDroppingTheLeastRecentlyUsed) {
  PageCache cache;
  for (uint32_t a = 0; a < 150; ++a) {
    Add(&cache, a);
    if (a == 10) cache.MarkDirty(cache.Find(a));
    cache.Find(0);  // page 0 stays recently used
    cache.Trim();
  }
  EXPECT_EQ(cache.size(), 99u);
  EXPECT_NE(cache.Find(0), nullptr);
  EXPECT_NE(cache.Find(10), nullptr);  // dirty pages are never dropped
  EXPECT_EQ(cache.Find(1), nullptr);   // the oldest clean pages went first
  EXPECT_NE(cache.Find(149), nullptr);
}

TEST(PageCacheTest, LargePagesAreTrimmedByMemoryButNeverBelowTwenty) {
  PageCache cache;
  for (uint32_t a = 0; a < 60; ++a) {
    Add(&cache, a, 14000);
    cache.Trim();
  }
  EXPECT_LT(cache.size(), 99u);
  EXPECT_GE(cache.size(), PageCache::kMinPages - 1);
  EXPECT_LE(cache.clean_count() * 14000, PageCache::kCleanBytesBudget + 14000);
  PageCache small;
  for (uint32_t a = 0; a < 19; ++a) Add(&small, a, 14000);
  small.Trim();
  EXPECT_EQ(small.size(), 19u);  // fewer than 20 pages are never trimmed
}

TEST(PageCacheTest, DirtyPagesBecomeCleanAfterACommitAndMayThenGo) {
  PageCache cache;
  for (uint32_t a = 0; a < 200; ++a) Add(&cache, a, 10, true);
  cache.Trim();
  EXPECT_EQ(cache.size(), 200u);
  EXPECT_EQ(cache.DirtyPages().front()->address(), 0u);  // least recently used first
  cache.MarkAllClean();
  EXPECT_EQ(cache.dirty_count(), 0u);
  EXPECT_EQ(cache.size(), 99u);
}

TEST(PageCacheTest, ALargerBudgetKeepsMorePagesAndStillBoundsTheirBytes) {
  ASSERT_TRUE(kSmallCacheForTests);
  EXPECT_EQ(PageCache::DefaultLimits().max_pages, PageCache::kMaxPages);
  EXPECT_EQ(PageCache::LimitsForBytes(0).clean_bytes, PageCache::kCleanBytesBudget);
  PageCache cache(PageCache::LimitsForBytes(4 << 20));
  for (uint32_t a = 0; a < 1000; ++a) {
    Add(&cache, a);
    cache.Trim();
  }
  EXPECT_EQ(cache.size(), 1000u);  // small pages: all kept (the small cache keeps 99)
  for (uint32_t a = 1000; a < 1600; ++a) {
    Add(&cache, a, 14000);
    cache.Trim();
  }
  EXPECT_LE(cache.clean_count() * 14000, size_t{4 << 20} + 14000 + 1000 * 30);
  EXPECT_NE(cache.Find(1599), nullptr);
  // Chosen for files opened later; 0 goes back to the machine's share.
  PageCache::SetDefaultBytes(64 << 20);
  EXPECT_EQ(PageCache::DefaultLimits().clean_bytes, size_t{64} << 20);
  PageCache::SetDefaultBytes(0);
  EXPECT_GE(PageCache::DefaultLimits().clean_bytes, size_t{8} << 20);
  PageCache::SetDefaultBytes(1);
}

}  // namespace
}  // namespace korvex::brisken
