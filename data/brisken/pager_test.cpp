#include "data/brisken/pager.h"

#include <gtest/gtest.h>

#include "data/brisken/memory_file_test_util.h"

namespace korvex::brisken {
namespace {

Record R(std::string bytes, uint16_t header_len) { return Record{std::move(bytes), header_len}; }

// A page that exists only in memory (dirty), placed at address.
Page* Place(Pager* pager, uint32_t address, uint8_t level, std::string header, uint32_t child = 0) {
  auto page = std::make_unique<Page>(address, level);
  page->set_dirty(true);
  uint16_t len = static_cast<uint16_t>(header.size());
  page->Insert(0, R(std::move(header), len), child);
  return pager->cache().Insert(std::move(page));
}

class PagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FileHeader h = FileHeader::Fresh();
    h.root = kNoRoot;
    ASSERT_TRUE(pager_.Start(h).ok());
  }
  MemoryFile file_;
  Pager pager_{&file_};
};

TEST_F(PagerTest, PushUpMovesThePagesAboveAndRewritesTheParentsChildAddress) {
  uint32_t root = 0, leaf = 0, extra = 0;
  ASSERT_TRUE(pager_.Allocate(1, &root).ok());
  ASSERT_TRUE(pager_.Allocate(2, &leaf).ok());
  EXPECT_EQ(root, 0u);
  EXPECT_EQ(leaf, 1u);  // region 2 starts right after region 1
  Page* index = Place(&pager_, root, 1, "k", leaf);
  Page* child = Place(&pager_, leaf, 0, "k");
  pager_.SetRoot(static_cast<int32_t>(root));
  pager_.SetParent(leaf, root);

  // Region 1 grows into region 2's first slot: that page moves to region 2's end.
  ASSERT_TRUE(pager_.Allocate(1, &extra).ok());
  EXPECT_EQ(extra, 1u);
  EXPECT_EQ(child->address(), 3u);
  EXPECT_EQ(index->child(0), 3u);
  EXPECT_EQ(pager_.ParentOf(3), root);
  EXPECT_EQ(pager_.header().start[2], 3u);
  EXPECT_EQ(pager_.header().end[2], 5u);
  for (int i = 3; i < kSizeClasses; ++i) EXPECT_GE(pager_.header().start[i], 5u) << i;

  // Freed again, compaction closes the hole and slides region 2 back down.
  pager_.FreeSlot(extra);
  ASSERT_TRUE(pager_.Compact().ok());
  EXPECT_EQ(pager_.header().end[1], 1u);
  EXPECT_EQ(pager_.header().start[2], 1u);
  EXPECT_EQ(child->address(), 1u);
  EXPECT_EQ(index->child(0), 1u);
  EXPECT_EQ(pager_.FreeSlotCount(), 0u);
  EXPECT_EQ(pager_.header().DataLength(), 512u + 3 * 256);
}

TEST_F(PagerTest, MovingTheRootRewritesTheHeader) {
  uint32_t leaf = 0, root = 0, extra = 0;
  ASSERT_TRUE(pager_.Allocate(1, &leaf).ok());
  ASSERT_TRUE(pager_.Allocate(3, &root).ok());
  Place(&pager_, leaf, 0, "a");
  Page* top = Place(&pager_, root, 1, "a", leaf);
  pager_.SetRoot(static_cast<int32_t>(root));
  pager_.SetParent(leaf, root);
  ASSERT_TRUE(pager_.Allocate(1, &extra).ok());
  EXPECT_EQ(top->address(), 4u);
  EXPECT_EQ(pager_.header().root, 4);
  EXPECT_EQ(pager_.ParentOf(leaf), 4u);
}

TEST_F(PagerTest, HolesInsideARegionAreReusedAndClosedByCompaction) {
  uint32_t a[4];
  for (uint32_t& x : a) ASSERT_TRUE(pager_.Allocate(2, &x).ok());
  EXPECT_EQ(a[3], 6u);
  Page* root = Place(&pager_, a[0], 1, "a", a[1]);
  pager_.SetRoot(static_cast<int32_t>(a[0]));
  Place(&pager_, a[1], 0, "a");
  Page* last = Place(&pager_, a[3], 0, "c");
  root->Insert(1, R("c", 1), a[3]);
  pager_.SetParent(a[1], a[0]);
  pager_.SetParent(a[3], a[0]);
  pager_.FreeSlot(a[2]);
  uint32_t again = 0;
  ASSERT_TRUE(pager_.Allocate(2, &again).ok());
  EXPECT_EQ(again, a[2]);
  pager_.FreeSlot(again);
  ASSERT_TRUE(pager_.Compact().ok());
  EXPECT_EQ(last->address(), a[2]);  // the last page filled the hole
  EXPECT_EQ(root->child(1), a[2]);
  EXPECT_EQ(pager_.header().end[2], 6u);
}

// A file whose one leaf page sits at unit 2 of a region 1 spanning [2, 4).
std::shared_ptr<std::string> OnePageFile() {
  FileHeader h = FileHeader::Fresh();
  h.change_counter = 5;
  h.root = 2;
  h.start[1] = 2;
  h.end[1] = 4;
  for (int i = 2; i < kSizeClasses; ++i) h.start[i] = h.end[i] = 4;
  h.committed_end = h.pending_end = static_cast<uint32_t>(h.DataLength());
  auto data = std::make_shared<std::string>(h.Encode());
  Page page(2, 0);
  page.Insert(0, R("only", 2));
  std::string image;
  EXPECT_TRUE(page.Serialize(&image).ok());
  image.resize(256, '\0');
  data->resize(512 + 4 * 256, '\0');
  data->replace(512 + 2 * 256, 256, image);
  return data;
}

TEST(PagerFileTest, UnusedSlotsAreFreeAndTheGapBelowARegionIsTakenFirst) {
  auto data = OnePageFile();
  MemoryFile file(data);
  Pager pager(&file);
  FileHeader h;
  ASSERT_TRUE(FileHeader::Decode(data->substr(0, 512), &h).ok());
  ASSERT_TRUE(pager.Start(h).ok());
  EXPECT_EQ(pager.FreeSlotCount(), 1u);
  uint32_t a = 0;
  ASSERT_TRUE(pager.Allocate(1, &a).ok());
  EXPECT_EQ(a, 3u);  // the unused slot
  ASSERT_TRUE(pager.Allocate(1, &a).ok());
  EXPECT_EQ(a, 1u);  // the gap before the region
  EXPECT_EQ(pager.header().start[1], 1u);
  Page* page = nullptr;
  ASSERT_TRUE(pager.Load(2, &page).ok());
  EXPECT_EQ(page->record(0).bytes, "only");
}

TEST(PagerFileTest, AddressesOutsideTheRegionsAndFilesShorterThanTheirRegionsAreCorrupt) {
  auto data = OnePageFile();
  MemoryFile file(data);
  Pager pager(&file);
  FileHeader h;
  ASSERT_TRUE(FileHeader::Decode(data->substr(0, 512), &h).ok());
  FileHeader wrong_root = h;
  wrong_root.root = 9;
  EXPECT_EQ(pager.Start(wrong_root).check(), 1620);
  data->resize(512 + 3 * 256);
  EXPECT_EQ(pager.Start(h).check(), 1623);
}

}  // namespace
}  // namespace korvex::brisken
