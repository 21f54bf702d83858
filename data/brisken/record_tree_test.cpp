#include "data/brisken/record_tree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>

#include "data/brisken/brisken_file.h"
#include "data/brisken/bytes.h"
#include "data/brisken/corruption_recorder_test_util.h"
#include "data/brisken/memory_file_test_util.h"
#include "data/brisken/page_cache.h"
#include "data/brisken/tree_check.h"

namespace korvex::brisken {
namespace {

// A data-record-like header: table 1, kind 0xF3, a big-endian number.
std::string Header(uint32_t n) {
  std::string h("\0\0\0\1\xF3", 5);
  char be[4];
  PutBe32(be, n);
  h.append(be, 4);
  return h;
}

Record Make(uint32_t n, size_t data_len, char fill = ' ') {
  Record r;
  r.bytes = Header(n);
  r.header_len = static_cast<uint16_t>(r.bytes.size());
  r.bytes.append(std::to_string(n));
  r.bytes.resize(r.header_len + data_len, fill);
  return r;
}

std::unique_ptr<BriskenFile> NewFile(std::shared_ptr<std::string> data = nullptr) {
  std::unique_ptr<BriskenFile> f;
  auto file = std::make_unique<MemoryFile>(data ? data : std::make_shared<std::string>());
  EXPECT_TRUE(BriskenFile::Attach(std::move(file), true, &f).ok());
  return f;
}

void ExpectSound(BriskenFile* f, bool committed, size_t records) {
  TreeReport report;
  Status s = CheckTree(&f->pager(), committed, &report);
  ASSERT_TRUE(s.ok()) << report.problem << " check " << s.check();
  EXPECT_EQ(report.records, records);
}

TEST(RecordTreeTest, FirstSplitOfTheRootMakesANewRootWithTwoIndexRecords) {
  auto f = NewFile();
  bool ok = false;
  int n = 0;
  while (f->header().root < 0 || f->pager().ParentOf(f->header().root) == kNoParent) {
    ASSERT_TRUE(f->Insert(Make(static_cast<uint32_t>(n++), 150), &ok).ok());
    Page* root = nullptr;
    ASSERT_TRUE(f->pager().Load(static_cast<uint32_t>(f->header().root), &root).ok());
    if (root->is_index()) {
      ASSERT_EQ(root->size(), 2u);
      EXPECT_EQ(root->record(0).bytes, Header(0));
      // 21 records of 164 bytes pass 4096: 10 stay, 11 move.
      EXPECT_EQ(n, 25);
      Page* upper = nullptr;
      ASSERT_TRUE(f->pager().Load(root->child(1), &upper).ok());
      EXPECT_EQ(upper->record(0).header(), root->record(1).bytes);
      break;
    }
  }
  ExpectSound(f.get(), false, static_cast<size_t>(n));
}

TEST(RecordTreeTest, OneLargeInsertionCanSplitSeveralTimes) {
  auto f = NewFile();
  bool ok = false;
  for (uint32_t i = 0; i < 20; ++i) ASSERT_TRUE(f->Insert(Make(i * 2, 491), &ok).ok());
  ASSERT_GE(f->header().root, 0);
  Page* root = nullptr;
  ASSERT_TRUE(f->pager().Load(static_cast<uint32_t>(f->header().root), &root).ok());
  ASSERT_FALSE(root->is_index());  // 20 records of 500 bytes stay together
  ASSERT_TRUE(f->Insert(Make(100, 13991), &ok).ok());
  ASSERT_TRUE(f->pager().Load(static_cast<uint32_t>(f->header().root), &root).ok());
  ASSERT_TRUE(root->is_index());
  EXPECT_EQ(root->size(), 4u);  // three splits of the same insertion
  ExpectSound(f.get(), false, 21);
  ASSERT_TRUE(f->Commit().ok());
  ExpectSound(f.get(), true, 21);
}

TEST(RecordTreeTest, LowestRecordChangesReachTheIndexAndEmptiedPagesGo) {
  auto f = NewFile();
  bool ok = false;
  for (uint32_t i = 10; i < 400; ++i) ASSERT_TRUE(f->Insert(Make(i, 100), &ok).ok());
  ASSERT_TRUE(f->Commit().ok());
  ExpectSound(f.get(), true, 390);
  // Below every record: the leftmost leaf and its index records change.
  ASSERT_TRUE(f->Insert(Make(1, 100), &ok).ok());
  Page* root = nullptr;
  ASSERT_TRUE(f->pager().Load(static_cast<uint32_t>(f->header().root), &root).ok());
  EXPECT_EQ(root->record(0).bytes, Header(1));
  ExpectSound(f.get(), false, 391);
  // Removing the lowest record of a later page replaces its index record.
  uint32_t child = root->child(1);
  std::string index(root->record(1).bytes);
  bool found = false;
  ASSERT_TRUE(f->Remove(index, &found).ok());
  ASSERT_TRUE(found);
  ExpectSound(f.get(), false, 390);
  // Emptying a page frees it and drops its index record.
  size_t pages_before = f->pager().parents().size();
  Page* page = nullptr;
  ASSERT_TRUE(f->pager().Load(child, &page).ok());
  std::vector<std::string> headers;
  for (size_t i = 0; i < page->size(); ++i) headers.emplace_back(page->record(i).header());
  for (const std::string& h : headers) ASSERT_TRUE(f->Remove(h, &found).ok() && found);
  EXPECT_EQ(f->pager().parents().size(), pages_before - 1);
  EXPECT_FALSE(f->pager().parents().count(child));
  ExpectSound(f.get(), false, 390 - headers.size());
  ASSERT_TRUE(f->Commit().ok());
  ExpectSound(f.get(), true, 390 - headers.size());
}

TEST(RecordTreeTest, PageGrowsFromOneSizeClassToTheNext) {
  auto f = NewFile();
  bool ok = false;
  std::mt19937 rng(3);
  auto noisy = [&](uint32_t n) {
    Record r = Make(n, 40);
    for (size_t i = r.header_len; i < r.bytes.size(); ++i) r.bytes[i] = static_cast<char>(rng());
    return r;
  };
  ASSERT_TRUE(f->Insert(noisy(1), &ok).ok());
  ASSERT_TRUE(f->Commit().ok());
  uint32_t first = static_cast<uint32_t>(f->header().root);
  EXPECT_EQ(f->header().RegionOf(first), 1);
  for (uint32_t n = 2; n < 8; ++n) ASSERT_TRUE(f->Insert(noisy(n), &ok).ok());
  ASSERT_TRUE(f->Commit().ok());
  uint32_t grown = static_cast<uint32_t>(f->header().root);
  EXPECT_EQ(f->header().RegionOf(grown), 2);
  EXPECT_TRUE(f->header().RegionEmpty(1));  // the old slot was freed and closed
  // Region 2 had been pushed up past region 1; a one-unit gap is too small to slide into.
  EXPECT_EQ(f->header().start[2], 1u);
  EXPECT_EQ(f->header().DataLength(), 512u + 3 * 256u);
  ExpectSound(f.get(), true, 7);
}

TEST(RecordTreeTest, SeekFindsNeighboursAcrossPages) {
  auto f = NewFile();
  bool ok = false;
  for (uint32_t i = 0; i < 3000; i += 3) ASSERT_TRUE(f->Insert(Make(i, 30), &ok).ok());
  Record r;
  bool found = false;
  for (uint32_t probe : {0u, 1u, 2u, 3u, 1499u, 1500u, 2997u}) {
    uint32_t up = (probe + 2) / 3 * 3;
    ASSERT_TRUE(f->Seek(Header(probe), false, &r, &found).ok());
    ASSERT_TRUE(found);
    EXPECT_EQ(r.header(), Header(up)) << probe;
    ASSERT_TRUE(f->Seek(Header(probe), true, &r, &found).ok());
    uint32_t after = probe / 3 * 3 + 3;
    ASSERT_EQ(found, after < 3000) << probe;
    if (found) {
      EXPECT_EQ(r.header(), Header(after)) << probe;
    }
    ASSERT_TRUE(f->SeekBack(Header(probe), true, &r, &found).ok());
    ASSERT_EQ(found, probe > 0);
    if (found) {
      EXPECT_EQ(r.header(), Header((probe - 1) / 3 * 3)) << probe;
    }
    ASSERT_TRUE(f->SeekBack(Header(probe), false, &r, &found).ok());
    EXPECT_EQ(r.header(), Header(probe / 3 * 3)) << probe;
  }
  ASSERT_TRUE(f->Seek(Header(3000), false, &r, &found).ok());
  EXPECT_FALSE(found);
  ASSERT_TRUE(f->Get(Header(4), &r, &found).ok());
  EXPECT_FALSE(found);
  ASSERT_TRUE(f->Get(Header(6), &r, &found).ok());
  EXPECT_TRUE(found);
  EXPECT_EQ(r.bytes, Make(6, 30).bytes);
}

TEST(RecordTreeTest, DuplicateHeadersAreRefusedAndReplaceKeepsTheTreeSound) {
  auto f = NewFile();
  bool ok = false;
  for (uint32_t i = 0; i < 200; ++i) ASSERT_TRUE(f->Insert(Make(i, 20), &ok).ok() && ok);
  ASSERT_TRUE(f->Insert(Make(5, 99, 'z'), &ok).ok());
  EXPECT_FALSE(ok);
  bool found = false;
  // Growing records in place forces splits too.
  for (uint32_t i = 0; i < 200; i += 2) ASSERT_TRUE(f->Replace(Make(i, 900, 'q'), &found).ok() && found);
  ASSERT_TRUE(f->Replace(Make(1000, 10), &found).ok());
  EXPECT_FALSE(found);
  Record r;
  ASSERT_TRUE(f->Get(Header(10), &r, &found).ok() && found);
  EXPECT_EQ(r.bytes, Make(10, 900, 'q').bytes);
  ExpectSound(f.get(), false, 200);
}

TEST(RecordTreeTest, RecordsTooLargeForAPageStopThroughTheHalt) {
  CorruptionRecorder recorder;
  auto f = NewFile();
  bool ok = false;
  Status s = f->Insert(Make(1, kMaxRecordLength - 9 + 1), &ok);
  EXPECT_EQ(s.check(), 824);
  EXPECT_EQ(CorruptionRecorder::checks(), std::vector<int>{824});
  ASSERT_TRUE(f->Insert(Make(1, kMaxRecordLength - 9), &ok).ok());  // the largest one fits
  ASSERT_TRUE(f->Insert(Make(2, kMaxRecordLength - 9), &ok).ok());
  ASSERT_TRUE(f->Commit().ok());
  ExpectSound(f.get(), true, 2);
}

// Random inserts, replacements and removals against an ordered map, with the
// whole tree checked after every batch and compared in full after each phase.
TEST(RecordTreeModelTest, RandomOperationsAgreeWithAnOrderedMap) {
  size_t target = 100000;
  if (const char* env = std::getenv("BRISKEN_MODEL_RECORDS")) target = std::strtoul(env, nullptr, 10);
  auto data = std::make_shared<std::string>();
  auto f = NewFile(data);
  std::map<std::string, Record> model;
  std::mt19937 rng(12345);
  const uint32_t key_space = static_cast<uint32_t>(target * 3);
  auto random_record = [&](uint32_t n) {
    size_t len = rng() % 8 == 0 ? rng() % 1500 : rng() % 60;
    Record r = Make(n, len, rng() % 2 ? ' ' : '\0');
    if (rng() % 4 == 0) r.header_len = static_cast<uint16_t>(5 + rng() % 5);  // shorter headers
    r.bytes.resize(std::max<size_t>(r.bytes.size(), r.header_len));
    return r;
  };
  auto compare_all = [&] {
    auto it = model.begin();
    Status s = f->tree().ForEach([&](const Record& r) {
      EXPECT_TRUE(it != model.end());
      if (it == model.end()) return false;
      EXPECT_EQ(r.bytes, it->second.bytes);
      ++it;
      return true;
    });
    ASSERT_TRUE(s.ok());
    EXPECT_TRUE(it == model.end());
  };
  auto batch = [&](int ops, int insert_percent) {
    for (int i = 0; i < ops; ++i) {
      uint32_t n = rng() % key_space;
      Record r = random_record(n);
      std::string h(r.header());
      int what = static_cast<int>(rng() % 100);
      bool done = false;
      if (what < insert_percent) {
        ASSERT_TRUE(f->Insert(r, &done).ok());
        ASSERT_EQ(done, !model.count(h));
        if (done) model[h] = r;
      } else if (what < insert_percent + 10) {
        ASSERT_TRUE(f->Replace(r, &done).ok());
        ASSERT_EQ(done, model.count(h) == 1);
        if (done) model[h] = r;
      } else {
        // Remove a record that exists most of the time.
        auto it = model.lower_bound(h);
        if (it != model.end() && rng() % 8) h = it->first;
        ASSERT_TRUE(f->Remove(h, &done).ok());
        ASSERT_EQ(done, model.erase(h) == 1);
      }
    }
  };
  auto checked = [&](bool committed) {
    TreeReport report;
    Status s = CheckTree(&f->pager(), committed, &report);
    ASSERT_TRUE(s.ok()) << report.problem;
    ASSERT_EQ(report.records, model.size());
  };
  // Grow past the target, committing now and then.
  int round = 0;
  while (model.size() < target) {
    batch(5000, 80);
    if (++round % 3 == 0) {
      ASSERT_TRUE(f->Commit().ok());
      checked(true);
      // What reached the file is the same tree, read by a second handle.
      std::unique_ptr<BriskenFile> reader;
      ASSERT_TRUE(BriskenFile::Attach(std::make_unique<MemoryFile>(data), false, &reader).ok());
      TreeReport report;
      ASSERT_TRUE(CheckTree(&reader->pager(), true, &report).ok()) << report.problem;
      ASSERT_EQ(report.records, model.size());
    } else {
      checked(false);
    }
    // Random probes against the model.
    for (int p = 0; p < 50; ++p) {
      std::string h = Header(rng() % key_space);
      Record r;
      bool found = false;
      ASSERT_TRUE(f->Seek(h, false, &r, &found).ok());
      auto it = model.lower_bound(h);
      ASSERT_EQ(found, it != model.end());
      if (found) {
        ASSERT_EQ(r.bytes, it->second.bytes);
      }
    }
  }
  compare_all();
  ASSERT_TRUE(f->Commit().ok());
  checked(true);
  // Closed and opened again: the same records.
  ASSERT_TRUE(f->Close().ok());
  EXPECT_EQ(data->size(), f->header().DataLength());
  f = NewFile(data);
  checked(true);
  compare_all();
  // Shrink to nothing.
  while (model.size() > 1000) {
    batch(5000, 20);
    checked(false);
  }
  for (auto it = model.begin(); it != model.end();) {
    bool found = false;
    ASSERT_TRUE(f->Remove(it->first, &found).ok() && found);
    it = model.erase(it);
  }
  EXPECT_LT(f->header().root, 0);
  ASSERT_TRUE(f->Commit().ok());
  checked(true);
  EXPECT_EQ(f->header().DataLength(), 512u);
}

// A scan steps from the record it returned last; records inserted and removed
// between steps (the next one among them, and enough to split and free pages)
// must never make it skip or repeat one.
class RecordTreeStepTest : public ::testing::TestWithParam<size_t> {
 protected:
  void SetUp() override { PageCache::SetDefaultBytes(GetParam()); }
  void TearDown() override { PageCache::SetDefaultBytes(1); }  // the tests' small cache
};

// Both with the small cache (pages dropped and read again between steps) and
// with the machine's share.
INSTANTIATE_TEST_SUITE_P(CacheSizes, RecordTreeStepTest, ::testing::Values(size_t{1}, size_t{0}));

TEST_P(RecordTreeStepTest, StepsAgreeWithAnOrderedMapWhileTheTreeChangesBetweenThem) {
  auto f = NewFile();
  std::map<std::string, Record> model;
  std::mt19937 rng(777);
  const uint32_t key_space = 60000;
  bool done = false;
  for (int i = 0; i < 8000; ++i) {
    Record r = Make(rng() % key_space, rng() % 120);
    ASSERT_TRUE(f->Insert(r, &done).ok());
    if (done) model[std::string(r.header())] = r;
  }
  auto change_near = [&](const std::string& h) {
    uint32_t at = GetBe32(h.data() + 5);
    for (int c = static_cast<int>(rng() % 6); c > 0; --c) {
      // Near the position most of the time, anywhere otherwise.
      uint32_t n = rng() % 4 ? at + rng() % 40 - 10 : rng() % key_space;
      Record r = Make(n % key_space, rng() % 8 == 0 ? 1000 : rng() % 120);
      std::string rh(r.header());
      if (rh != h && rng() % 3 == 0) {
        ASSERT_TRUE(f->Remove(rh, &done).ok());
        ASSERT_EQ(done, model.erase(rh) == 1);
      } else if (rh != h) {
        ASSERT_TRUE(f->Insert(r, &done).ok());
        ASSERT_EQ(done, model.emplace(rh, r).second);
      }
    }
  };
  for (bool forward : {true, false}) {
    Record r;
    bool found = false;
    ASSERT_TRUE((forward ? f->Seek(std::string_view(), false, &r, &found)
                         : f->SeekBack(std::string("\xFF", 1), false, &r, &found)).ok());
    size_t steps = 0;
    while (found) {
      std::string h(r.header());
      ASSERT_TRUE(model.count(h));
      change_near(h);
      if (steps % 500 == 0) {
        ASSERT_TRUE(f->Commit().ok());  // pages move at a commit
      }
      ASSERT_TRUE((forward ? f->Seek(h, true, &r, &found) : f->SeekBack(h, true, &r, &found)).ok());
      auto it = forward ? model.upper_bound(h) : model.lower_bound(h);
      bool expected = forward ? it != model.end() : it != model.begin();
      if (!forward && expected) --it;
      ASSERT_EQ(found, expected) << "after step " << steps;
      if (found) {
        ASSERT_EQ(r.bytes, it->second.bytes) << "after step " << steps;
      }
      ++steps;
    }
    EXPECT_GT(steps, 7000u);
    ExpectSound(f.get(), false, model.size());
  }
}

}  // namespace
}  // namespace korvex::brisken
