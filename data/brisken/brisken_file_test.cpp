#include "data/brisken/brisken_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "data/brisken/bytes.h"
#include "data/brisken/corruption.h"
#include "data/brisken/corruption_recorder_test_util.h"
#include "data/brisken/file_name.h"
#include "data/brisken/memory_file_test_util.h"
#include "data/brisken/table_catalog.h"
#include "data/brisken/tree_check.h"
#include "runtime/os/temp_dir.h"

namespace korvex::brisken {
namespace {

constexpr uint32_t kReadWrite = 2 | mode::kDenyNone;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Spit(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

Record Data(uint32_t n, size_t len) {
  Record r;
  r.bytes.assign("\0\0\0\1\xF3", 5);
  char be[4];
  PutBe32(be, n);
  r.bytes.append(be, 4);
  r.header_len = 9;
  r.bytes.append(len, 'd');
  return r;
}

class BriskenFileTest : public ::testing::Test {
 protected:
  os::TempDir dir_{"brisken"};
};

TEST(FileNameTest, TableSuffixDefaultTableAndExtension) {
  FileName n;
  ASSERT_TRUE(ParseFileName("C:\\DATA\\SHOP.BKF\\!ORDERS", &n).ok());
  EXPECT_EQ(n.path, "C:\\DATA\\SHOP.BKF");
  EXPECT_EQ(n.table, "ORDERS");
  ASSERT_TRUE(ParseFileName("C:\\DATA\\SHOP.BKF\\!ITEMS", &n).ok());
  EXPECT_EQ(n.path, "C:\\DATA\\SHOP.BKF");
  ASSERT_TRUE(ParseFileName("SHOP", &n).ok());
  EXPECT_EQ(n.path, "SHOP.BKF");
  EXPECT_EQ(n.table, "UNNAMED");
  ASSERT_TRUE(ParseFileName("dir.d/shop", &n).ok());
  EXPECT_EQ(n.path, "dir.d/shop.BKF");  // a dot in a directory is no extension
  EXPECT_EQ(ParseFileName("", &n).code(), 45);
  EXPECT_EQ(ParseFileName("\\!ORDERS", &n).code(), 45);
  EXPECT_EQ(ParseFileName("SHOP\\!", &n).code(), 45);
}

TEST_F(BriskenFileTest, NewFileWithOneEmptyTableIsTheHeaderAndOnePageOfItsRecords) {
  std::string path = dir_.File("SHOP.BKF");
  std::unique_ptr<BriskenFile> f;
  ASSERT_TRUE(BriskenFile::Open(path, kReadWrite | mode::kCreate, &f).ok());
  uint32_t table = 0;
  ASSERT_TRUE(CreateTable(f.get(), "ORDERS", PlaceholderDefinitionStream(40), &table).ok());
  EXPECT_EQ(table, 1u);
  ASSERT_TRUE(f->Close().ok());

  std::string bytes = Slurp(path);
  ASSERT_EQ(bytes.size(), 512u + 256u);
  EXPECT_EQ(bytes.substr(14, 4), "bRsK");
  EXPECT_EQ(GetBe32(bytes.data() + 20), 1u);     // last issued number
  EXPECT_EQ(GetLe32(bytes.data() + 24), 2u);     // 0 on creation, 1 when opened, +1 commit
  EXPECT_EQ(GetLe32(bytes.data() + 28), 0u);     // root at unit 0
  EXPECT_EQ(GetLe32(bytes.data() + 6), 768u);    // committed end
  EXPECT_EQ(GetLe32(bytes.data() + 10), 768u);   // pending end
  EXPECT_EQ(GetLe32(bytes.data() + 272 + 4), 1u);  // region 1 ends after one unit
  EXPECT_EQ(GetLe32(bytes.data() + 512), 512u);  // the page's own offset
  EXPECT_EQ(GetLe16(bytes.data() + 512 + 10), 3u);  // counter, definition, name
  EXPECT_EQ(bytes[512 + 12], 0);

  ASSERT_TRUE(BriskenFile::Open(path, kReadWrite, &f).ok());
  bool found = false;
  uint32_t again = 0;
  ASSERT_TRUE(FindTable(f.get(), "ORDERS", &again, &found).ok());
  EXPECT_TRUE(found);
  EXPECT_EQ(again, 1u);
  ASSERT_TRUE(FindTable(f.get(), "ITEMS", &again, &found).ok());
  EXPECT_FALSE(found);
  std::string definition;
  ASSERT_TRUE(ReadDefinition(f.get(), 1, &definition).ok());
  EXPECT_EQ(definition, PlaceholderDefinitionStream(40));
  ASSERT_TRUE(f->Close().ok());
}

TEST_F(BriskenFileTest, LongDefinitionsTakeSeveralBlocksAndTablesShareAFile) {
  std::string path = dir_.File("two.BKF");
  std::unique_ptr<BriskenFile> f;
  ASSERT_TRUE(BriskenFile::Open(path, kReadWrite | mode::kCreate, &f).ok());
  std::string big(1300, 'x');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i % 251);
  uint32_t a = 0, b = 0;
  ASSERT_TRUE(CreateTable(f.get(), "ORDERS", big, &a).ok());
  ASSERT_TRUE(CreateTable(f.get(), "ITEMS", PlaceholderDefinitionStream(8), &b).ok());
  EXPECT_EQ(CreateTable(f.get(), "ITEMS", "", &b).code(), 5);
  ASSERT_TRUE(f->Close().ok());
  ASSERT_TRUE(BriskenFile::Open(path, 0, &f).ok());  // read only
  std::string definition;
  ASSERT_TRUE(ReadDefinition(f.get(), a, &definition).ok());
  EXPECT_EQ(definition, big);
  bool found = false;
  uint32_t t = 0;
  ASSERT_TRUE(FindTable(f.get(), "ITEMS", &t, &found).ok());
  EXPECT_EQ(t, b);
  bool inserted = true;
  EXPECT_EQ(f->Insert(Data(1, 1), &inserted).code(), 5);
  ASSERT_TRUE(f->Close().ok());
}

TEST_F(BriskenFileTest, EmptyFilesAreInitialisedShortOrForeignOnesRefused) {
  std::string path = dir_.File("EMPTY.BKF");
  Spit(path, "");
  std::unique_ptr<BriskenFile> f;
  ASSERT_TRUE(BriskenFile::Open(path, kReadWrite, &f).ok());
  EXPECT_EQ(f->header().root, kNoRoot);
  EXPECT_EQ(f->header().change_counter, 1u);
  ASSERT_TRUE(f->Close().ok());
  std::string fresh = Slurp(path);
  ASSERT_EQ(fresh.size(), 512u);
  EXPECT_EQ(fresh.substr(14, 4), "bRsK");
  EXPECT_EQ(GetLe32(fresh.data() + 24), 0u);  // nothing was committed

  Spit(path, fresh.substr(0, 100));
  EXPECT_EQ(BriskenFile::Open(path, kReadWrite, &f).code(), 36);
  std::string foreign = fresh;
  foreign[14] = 'B';
  Spit(path, foreign);
  EXPECT_EQ(BriskenFile::Open(path, kReadWrite, &f).code(), 36);

  // A missing file is created empty when opened.
  std::string missing = dir_.File("NEW.BKF");
  ASSERT_TRUE(BriskenFile::Open(missing, kReadWrite, &f).ok());
  ASSERT_TRUE(f->Close().ok());
  EXPECT_EQ(Slurp(missing).size(), 512u);
  ASSERT_TRUE(RemoveFile(missing).ok());
  EXPECT_EQ(RemoveFile(missing).code(), 2);
}

TEST_F(BriskenFileTest, ClosingCutsTheFileToItsDataLengthAndKeepsTheRecords) {
  std::string path = dir_.File("cut.BKF");
  std::unique_ptr<BriskenFile> f;
  ASSERT_TRUE(BriskenFile::Open(path, kReadWrite | mode::kCreate, &f).ok());
  bool ok = false;
  for (uint32_t i = 0; i < 3000; ++i) ASSERT_TRUE(f->Insert(Data(i, 50 + i % 70), &ok).ok());
  ASSERT_TRUE(f->Commit().ok());
  uint64_t big = Slurp(path).size();
  for (uint32_t i = 0; i < 3000; ++i) {
    if (i >= 300) {
      ASSERT_TRUE(f->Remove(Data(i, 0).header(), &ok).ok() && ok);
    }
  }
  ASSERT_TRUE(f->Close().ok());
  std::string bytes = Slurp(path);
  FileHeader h;
  ASSERT_TRUE(FileHeader::Decode(bytes.substr(0, 512), &h).ok());
  EXPECT_EQ(bytes.size(), h.DataLength());
  EXPECT_LT(bytes.size(), big / 4);
  ASSERT_TRUE(BriskenFile::Open(path, kReadWrite, &f).ok());
  TreeReport report;
  ASSERT_TRUE(CheckTree(&f->pager(), true, &report).ok()) << report.problem;
  EXPECT_EQ(report.records, 300u);
  Record r;
  ASSERT_TRUE(f->Get(Data(290, 0).header(), &r, &ok).ok() && ok);
  EXPECT_EQ(r.bytes, Data(290, 50 + 290 % 70).bytes);
  ASSERT_TRUE(f->Close().ok());
}

TEST_F(BriskenFileTest, AnotherHandlesCommitBecomesVisibleWhenTheHeaderIsReadAgain) {
  std::string path = dir_.File("shared.BKF");
  std::unique_ptr<BriskenFile> writer, reader;
  ASSERT_TRUE(BriskenFile::Open(path, kReadWrite | mode::kCreate, &writer).ok());
  bool ok = false;
  ASSERT_TRUE(writer->Insert(Data(1, 10), &ok).ok());
  ASSERT_TRUE(writer->Commit().ok());
  ASSERT_TRUE(BriskenFile::Open(path, kReadWrite, &reader).ok());
  Record r;
  ASSERT_TRUE(reader->Get(Data(1, 0).header(), &r, &ok).ok() && ok);
  for (uint32_t i = 2; i < 500; ++i) ASSERT_TRUE(writer->Insert(Data(i, 10), &ok).ok());
  ASSERT_TRUE(writer->Commit().ok());
  ASSERT_TRUE(reader->RefreshHeader().ok());
  EXPECT_EQ(reader->header().change_counter, writer->header().change_counter);
  ASSERT_TRUE(reader->Get(Data(499, 0).header(), &r, &ok).ok() && ok);
  ASSERT_TRUE(reader->Close().ok());
  ASSERT_TRUE(writer->Close().ok());
}

TEST(BriskenFileMemoryTest, FailedWritesReportAFileSystemError) {
  auto data = std::make_shared<std::string>();
  auto file = std::make_unique<MemoryFile>(data);
  MemoryFile* raw = file.get();
  std::unique_ptr<BriskenFile> f;
  ASSERT_TRUE(BriskenFile::Attach(std::move(file), true, &f).ok());
  bool ok = false;
  ASSERT_TRUE(f->Insert(Data(1, 10), &ok).ok());
  raw->FailAfter(0);
  EXPECT_EQ(f->Commit().code(), 90);
}

TEST(BriskenFileMemoryTest, AHeaderThatCannotBeReadIsAFileSystemErrorNotDamage) {
  CorruptionRecorder recorder;
  auto data = std::make_shared<std::string>();
  auto file = std::make_unique<MemoryFile>(data);
  MemoryFile* raw = file.get();
  std::unique_ptr<BriskenFile> f;
  ASSERT_TRUE(BriskenFile::Attach(std::move(file), true, &f).ok());
  bool ok = false;
  ASSERT_TRUE(f->Insert(Data(1, 10), &ok).ok());
  ASSERT_TRUE(f->Commit().ok());
  raw->FailReads(true);
  Status s = f->RefreshHeader();
  EXPECT_EQ(s.code(), 90);
  EXPECT_FALSE(s.corrupt());
  EXPECT_TRUE(CorruptionRecorder::checks().empty());  // no halt
  raw->FailReads(false);
  ASSERT_TRUE(f->RefreshHeader().ok());  // the file is as it was
  Record r;
  bool found = false;
  ASSERT_TRUE(f->Get(Data(1, 10).header(), &r, &found).ok());
  EXPECT_TRUE(found);
  data->resize(100);  // a header cut short is damage
  EXPECT_EQ(f->RefreshHeader().code(), 36);
  EXPECT_EQ(CorruptionRecorder::checks(), std::vector<int>{1013});
}

TEST(BriskenFileMemoryTest, DamagedPagesReachTheHaltOnceWithTheirCheckNumber) {
  CorruptionRecorder recorder;
  auto data = std::make_shared<std::string>();
  std::unique_ptr<BriskenFile> f;
  ASSERT_TRUE(BriskenFile::Attach(std::make_unique<MemoryFile>(data), true, &f).ok());
  bool ok = false;
  for (uint32_t i = 0; i < 40; ++i) ASSERT_TRUE(f->Insert(Data(i, 200), &ok).ok());
  ASSERT_TRUE(f->Close().ok());
  // The root page no longer names its own offset.
  FileHeader h;
  ASSERT_TRUE(FileHeader::Decode(data->substr(0, 512), &h).ok());
  ASSERT_GE(h.root, 0);
  auto damaged = std::make_shared<std::string>(*data);
  (*damaged)[PageOffset(static_cast<uint32_t>(h.root))] ^= 0x40;
  Status s = BriskenFile::Attach(std::make_unique<MemoryFile>(damaged), true, &f);
  EXPECT_TRUE(s.corrupt());
  EXPECT_EQ(s.code(), 36);
  EXPECT_EQ(CorruptionRecorder::checks(), std::vector<int>{1610});
}

// A header whose bounds point past the file, on its own: the input that once
// made a commit write 4 GiB away from a 512-byte file, and its variations.
TEST(BriskenFileMemoryTest, HeadersPointingBeyondTheFileAreRefusedAndLeftUnchanged) {
  const std::string fresh = FileHeader::Fresh().Encode();
  auto with = [&](const std::function<void(FileHeader*)>& change) {
    FileHeader h;
    EXPECT_TRUE(FileHeader::Decode(fresh, &h).ok());
    change(&h);
    return h.Encode();
  };
  struct Case {
    const char* what;
    std::string bytes;
    const char* words;
  };
  const Case cases[] = {
      {"both bounds at 4 GiB", with([](FileHeader* h) { h->committed_end = h->pending_end = 0xFFFFFFFF; }),
       "the header's committed end (4294967295) lies beyond the end of the file (512 bytes)"},
      {"a cut-short commit whose shadow area is missing",
       with([](FileHeader* h) { h->pending_end = 600 * 1024 * 1024; }),
       "the header's pending end (629145600) lies beyond the end of the file (512 bytes)"},
      {"a region far past the file", with([](FileHeader* h) { h->start[3] = 300000; h->end[3] = 300003; }),
       "the header's data length (76801280) lies beyond the end of the file (512 bytes)"},
      {"a region past the format's offsets",
       with([](FileHeader* h) { h->start[1] = 0xFFFFFF00; h->end[1] = 0xFFFFFF01; }),
       "the header's regions end at byte 1099511563008, beyond the largest offset a Brisken file can hold"},
  };
  for (const Case& c : cases) {
    CorruptionRecorder recorder;
    auto data = std::make_shared<std::string>(c.bytes);
    FileHeader h;
    ASSERT_TRUE(FileHeader::Decode(*data, &h).ok());
    EXPECT_EQ(h.BoundsProblem(data->size()), c.words) << c.what;
    for (bool writable : {true, false}) {
      std::unique_ptr<BriskenFile> f;
      Status s = BriskenFile::Attach(std::make_unique<MemoryFile>(data), writable, &f);
      EXPECT_EQ(s.code(), 36) << c.what;
      EXPECT_EQ(s.check(), check::kHeaderBounds) << c.what;
      EXPECT_EQ(*data, c.bytes) << c.what;
    }
    EXPECT_EQ(CorruptionRecorder::checks(), (std::vector<int>{1623, 1623})) << c.what;
  }
}

// Bounds that a damaged header cannot be trusted with are not used at all: the
// shadow pages of a commit go at the end of the data even when the committed
// end (within the file) says otherwise, and the file grows by what is written.
TEST(BriskenFileMemoryTest, CommitsGrowTheFileOnlyByThePagesTheyWrite) {
  auto data = std::make_shared<std::string>();
  std::unique_ptr<BriskenFile> f;
  ASSERT_TRUE(BriskenFile::Attach(std::make_unique<MemoryFile>(data), true, &f).ok());
  bool ok = false;
  for (uint32_t i = 0; i < 40; ++i) ASSERT_TRUE(f->Insert(Data(i, 200), &ok).ok());
  ASSERT_TRUE(f->Close().ok());
  FileHeader h;
  ASSERT_TRUE(FileHeader::Decode(data->substr(0, 512), &h).ok());
  const uint64_t length = h.DataLength();
  ASSERT_EQ(data->size(), length);
  // Room after the data, and a committed end that claims all of it.
  data->resize(length + 1024 * 1024, '\0');
  h.committed_end = h.pending_end = static_cast<uint32_t>(data->size());
  data->replace(0, 512, h.Encode());
  const uint64_t padded = data->size();
  ASSERT_TRUE(BriskenFile::Attach(std::make_unique<MemoryFile>(data), true, &f).ok());
  ASSERT_TRUE(f->Replace(Data(3, 210), &ok).ok() && ok);
  ASSERT_TRUE(f->Commit().ok());
  EXPECT_EQ(data->size(), padded);  // the shadow copy went into the room after the data
  TreeReport report;
  EXPECT_TRUE(CheckTree(&f->pager(), true, &report).ok()) << report.problem;
  EXPECT_EQ(report.records, 40u);
}

TEST(BriskenFileMemoryTest, ChangeCounterWrapsPastZeroSoTheTreeIsNotMistakenForANewFile) {
  auto data = std::make_shared<std::string>();
  std::unique_ptr<BriskenFile> f;
  ASSERT_TRUE(BriskenFile::Attach(std::make_unique<MemoryFile>(data), true, &f).ok());
  bool ok = false;
  ASSERT_TRUE(f->Insert(Data(1, 10), &ok).ok());
  ASSERT_TRUE(f->Close().ok());
  PutLe32(data->data() + 24, 0xFFFFFFFF);
  ASSERT_TRUE(BriskenFile::Attach(std::make_unique<MemoryFile>(data), true, &f).ok());
  std::unique_ptr<BriskenFile> other;
  ASSERT_TRUE(BriskenFile::Attach(std::make_unique<MemoryFile>(data), false, &other).ok());
  ASSERT_TRUE(f->Insert(Data(2, 10), &ok).ok());
  ASSERT_TRUE(f->Close().ok());
  EXPECT_EQ(GetLe32(data->data() + 24), 1u);
  // The other handle notices the commit although the counter got smaller.
  ASSERT_TRUE(other->RefreshHeader().ok());
  Record r;
  ASSERT_TRUE(other->Get(Data(2, 0).header(), &r, &ok).ok());
  EXPECT_TRUE(ok);
}

TEST(CorruptionHaltTest, DefaultHaltPrintsTitleAndNumberAndEndsTheProcess) {
  EXPECT_EQ(CorruptionMessage(1602), "Possible data corruption in file (1602)");
  EXPECT_EXIT(CorruptionHalt(522), ::testing::ExitedWithCode(1),
              "Brisken File Driver Error: Possible data corruption in file \\(522\\)");
}

}  // namespace
}  // namespace korvex::brisken
