#include "data/brisken/page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>

#include "data/brisken/bytes.h"
#include "data/brisken/file_header.h"

namespace korvex::brisken {
namespace {

Record R(std::string bytes, uint16_t header_len) { return Record{std::move(bytes), header_len}; }

// head followed by n copies of fill (built in place: g++ 12 warns falsely about
// the concatenation of a literal and a long string at -O3).
std::string Filled(std::string_view head, size_t n, char fill) {
  std::string s(head.size() + n, fill);
  s.replace(0, head.size(), head);
  return s;
}

std::string Slot(std::string image) {
  image.resize((image.size() + 255) / 256 * 256, '\0');
  return image;
}

TEST(PageTest, LeafImageHasItsHeaderAndCompressesBlankPadding) {
  Page page(3, 0);
  page.Insert(0, R("A1" + std::string(60, ' '), 2));
  page.Insert(1, R("A2" + std::string(60, ' '), 2));
  EXPECT_EQ(page.planned_size(), 13u + 2 * (62 + 5));
  std::string image;
  ASSERT_TRUE(page.Serialize(&image).ok());
  EXPECT_EQ(GetLe32(image.data()), 512u + 3 * 256);
  size_t stored = GetLe16(image.data() + 4);
  size_t uncompressed = GetLe16(image.data() + 6);
  EXPECT_EQ(stored, image.size());
  EXPECT_LT(stored, uncompressed);
  EXPECT_EQ(uncompressed, 13u + (5 + 62) + (1 + 61));
  EXPECT_EQ(GetLe16(image.data() + 8), page.planned_size());
  EXPECT_EQ(GetLe16(image.data() + 10), 2u);
  EXPECT_EQ(image[12], 0);
  std::unique_ptr<Page> back;
  ASSERT_TRUE(Page::Parse(Slot(image), 3, &back).ok());
  ASSERT_EQ(back->size(), 2u);
  EXPECT_EQ(back->record(1).bytes, page.record(1).bytes);
  EXPECT_EQ(back->planned_size(), page.planned_size());
}

TEST(PageTest, PageWithoutGainIsStoredAsItIs) {
  Page page(0, 0);
  page.Insert(0, R("abcdefgh", 3));
  std::string image;
  ASSERT_TRUE(page.Serialize(&image).ok());
  EXPECT_EQ(GetLe16(image.data() + 4), GetLe16(image.data() + 6));
  EXPECT_EQ(image.substr(13), std::string("\xC0\x08\x00\x03\x00", 5) + "abcdefgh");
}

TEST(PageTest, IndexPageKeepsChildAddressesUncompressedBeforeTheRecords) {
  Page page(9, 2);
  page.Insert(0, R("k1", 2), 100);
  page.Insert(1, R("k2", 2), 0x01020304);
  EXPECT_EQ(page.planned_size(), 13u + 2 * (2 + 5 + 4));
  std::string image;
  ASSERT_TRUE(page.Serialize(&image).ok());
  EXPECT_EQ(image[12], 2);
  EXPECT_EQ(GetLe32(image.data() + 13), 100u);
  EXPECT_EQ(GetLe32(image.data() + 17), 0x01020304u);
  std::unique_ptr<Page> back;
  ASSERT_TRUE(Page::Parse(Slot(image), 9, &back).ok());
  EXPECT_EQ(back->children(), page.children());
  EXPECT_EQ(back->ChildSlotFor("k0"), 0u);  // below every record: the first
  EXPECT_EQ(back->ChildSlotFor("k1"), 0u);
  EXPECT_EQ(back->ChildSlotFor("k15"), 0u);
  EXPECT_EQ(back->ChildSlotFor("k3"), 1u);
}

TEST(PageTest, SplitRulesFollowPlannedSizeAndRecordCount) {
  Page crowded(0, 0);
  for (int i = 0; i < 21; ++i) {
    char h[3] = {static_cast<char>('a' + i), 0, 0};
    crowded.Insert(static_cast<size_t>(i), R(std::string(h, 1) + std::string(200, 'x'), 1));
  }
  EXPECT_GT(crowded.planned_size(), 4096u);
  EXPECT_TRUE(crowded.NeedsSplit());
  crowded.Erase(20);  // 20 records over 4096 bytes stay together
  EXPECT_GT(crowded.planned_size(), 4096u);
  EXPECT_FALSE(crowded.NeedsSplit());
  Page big(0, 0);
  big.Insert(0, R(Filled("a", 7000, 'x'), 1));
  big.Insert(1, R(Filled("b", 7000, 'x'), 1));
  EXPECT_FALSE(big.NeedsSplit());  // 14025 bytes, 2 records
  big.Insert(2, R(Filled("c", 1100, 'x'), 1));
  EXPECT_TRUE(big.NeedsSplit());
}

TEST(PageTest, ParseRejectsHeadersThatContradictTheSlot) {
  Page page(4, 0);
  page.Insert(0, R("abc", 1));
  std::string image;
  ASSERT_TRUE(page.Serialize(&image).ok());
  std::unique_ptr<Page> out;
  EXPECT_EQ(Page::Parse(Slot(image), 5, &out).check(), 1610);  // wrong offset
  std::string bad = Slot(image);
  PutLe16(bad.data() + 4, 300);  // stored size beyond the slot
  EXPECT_EQ(Page::Parse(bad, 4, &out).check(), 1610);
  bad = Slot(image);
  PutLe16(bad.data() + 10, 0);  // no records
  EXPECT_EQ(Page::Parse(bad, 4, &out).check(), 1610);
  bad = Slot(image);
  PutLe16(bad.data() + 10, 2);  // claims a record that is not there
  EXPECT_EQ(Page::Parse(bad, 4, &out).check(), 1602);
}

TEST(PageTest, ChangesKeepEveryRecordIntactAsTheBufferIsReusedAndCompacted) {
  // Against a model: inserts, shorter and longer replacements (also from the
  // page's own bytes), erasures and a split; the serialized page reads back the same.
  std::mt19937 rng(11);
  Page page(7, 0);
  std::map<std::string, std::string> model;  // header -> whole record
  for (int step = 0; step < 4000; ++step) {
    std::string h = std::to_string(rng() % 150);
    h.insert(h.begin(), 'k');
    std::string bytes = Filled(h, rng() % 90, static_cast<char>('a' + rng() % 26));
    size_t pos = page.LowerBound(h);
    bool present = pos < page.size() && page.record(pos).header() == h;
    switch (rng() % 4) {
      case 0:
      case 1:
        if (present) {
          page.Replace(pos, R(bytes, static_cast<uint16_t>(h.size())));
        } else {
          page.Insert(pos, R(bytes, static_cast<uint16_t>(h.size())));
        }
        model[h] = bytes;
        break;
      case 2:
        if (present) {
          page.Erase(pos);
          model.erase(h);
        }
        break;
      default:
        if (present) {  // the record rewritten from its own bytes, cut short
          RecordView own = page.record(pos);
          own.bytes = own.bytes.substr(0, std::max<size_t>(own.header_len, own.bytes.size() / 2));
          std::string expected(own.bytes);
          page.Replace(pos, own);
          model[h] = expected;
        }
    }
    ASSERT_EQ(page.size(), model.size());
  }
  size_t i = 0, planned = kPageHeaderSize;
  for (const auto& [h, bytes] : model) {
    ASSERT_EQ(page.record(i).bytes, bytes);
    planned += bytes.size() + 5;
    ++i;
  }
  EXPECT_EQ(page.planned_size(), planned);
  EXPECT_LT(page.memory_bytes(), 4 * planned);

  Page upper(8, 0);
  page.MoveTail(page.size() / 2, &upper);
  auto it = model.begin();
  for (const Page* p : {&page, &upper}) {
    std::string image;
    ASSERT_TRUE(p->Serialize(&image).ok());
    std::unique_ptr<Page> back;
    ASSERT_TRUE(Page::Parse(Slot(image), p->address(), &back).ok());
    for (size_t k = 0; k < back->size(); ++k, ++it) ASSERT_EQ(back->record(k).bytes, it->second);
  }
  EXPECT_EQ(it, model.end());
}

}  // namespace
}  // namespace korvex::brisken
