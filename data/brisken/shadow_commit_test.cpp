#include "data/brisken/shadow_commit.h"

#include <gtest/gtest.h>

#include <map>

#include "data/brisken/brisken_file.h"
#include "data/brisken/bytes.h"
#include "data/brisken/corruption_recorder_test_util.h"
#include "data/brisken/transaction_reference.h"
#include "data/brisken/tree_check.h"
#include "runtime/os/fault_injecting_file.h"

namespace korvex::brisken {
namespace {

using State = std::map<std::string, std::string>;  // header -> whole record

Record Make(uint32_t n, size_t len, char fill = 'd') {
  Record r;
  r.bytes.assign("\0\0\0\1\xF3", 5);
  char be[4];
  PutBe32(be, n);
  r.bytes.append(be, 4);
  r.header_len = 9;
  r.bytes.append(len, fill);
  return r;
}

std::unique_ptr<BriskenFile> Attach(const std::shared_ptr<os::FaultDisk>& disk, bool writable,
                                    const OpenOptions& options = OpenOptions()) {
  std::unique_ptr<BriskenFile> f;
  Status s = BriskenFile::Attach(disk->Open(), writable, options, &f);
  EXPECT_TRUE(s.ok()) << s.code() << "/" << s.check();
  return f;
}

State Contents(BriskenFile* f) {
  State state;
  Status s = f->tree().ForEach([&](const Record& r) {
    state[std::string(r.header())] = r.bytes;
    return true;
  });
  EXPECT_TRUE(s.ok());
  return state;
}

// Changes that split, shrink, grow and free pages, so that pages move between
// regions and many of them are rewritten over committed ones.
void Change(BriskenFile* f) {
  bool ok = false;
  for (uint32_t i = 0; i < 300; i += 7) ASSERT_TRUE(f->Replace(Make(i, 400, 'r'), &ok).ok() && ok);
  for (uint32_t i = 1; i < 300; i += 5) ASSERT_TRUE(f->Remove(Make(i, 0).header(), &ok).ok() && ok);
  for (uint32_t i = 1000; i < 1150; ++i) ASSERT_TRUE(f->Insert(Make(i, 60 + i % 50), &ok).ok() && ok);
  uint32_t n = 0;
  ASSERT_TRUE(f->NextNumber(&n).ok());
}

// A file with 300 committed records, its bytes, and the states before and after Change.
struct Scenario {
  std::string bytes;
  State before, after;
  std::string trace;  // write points of the commit
  int64_t calls = 0;  // calls of the commit
};

Scenario Prepare(const OpenOptions& options = OpenOptions()) {
  Scenario sc;
  auto disk = std::make_shared<os::FaultDisk>();
  {
    auto f = Attach(disk, true, options);
    bool ok = false;
    for (uint32_t i = 0; i < 300; ++i) EXPECT_TRUE(f->Insert(Make(i, 80 + i % 40), &ok).ok());
    EXPECT_TRUE(f->Close().ok());
  }
  sc.bytes = disk->durable();
  auto f = Attach(disk, true, options);
  sc.before = Contents(f.get());
  Change(f.get());
  disk->Reset();
  EXPECT_TRUE(f->Commit().ok());
  sc.trace = disk->trace();
  sc.calls = disk->calls();
  sc.after = Contents(f.get());
  return sc;
}

// Opens the disk again (which recovers) and tells which state it holds.
void ExpectBeforeOrAfter(const std::shared_ptr<os::FaultDisk>& disk, const Scenario& sc,
                         bool must_be_after, const std::string& what,
                         const OpenOptions& options = OpenOptions()) {
  // A read-only opener sees the same state and changes nothing.
  std::string untouched = disk->visible();
  auto reader = Attach(disk, false, options);
  ASSERT_TRUE(reader) << what;
  State seen_read_only = Contents(reader.get());
  reader.reset();
  EXPECT_EQ(disk->visible(), untouched) << what;

  auto f = Attach(disk, true, options);
  ASSERT_TRUE(f) << what;
  EXPECT_EQ(f->header().committed_end, f->header().pending_end) << what;
  State seen = Contents(f.get());
  EXPECT_EQ(seen, seen_read_only) << what;
  if (must_be_after) {
    EXPECT_TRUE(seen == sc.after) << what << ": not the state after the commit";
  } else {
    EXPECT_TRUE(seen == sc.before || seen == sc.after) << what << ": neither before nor after";
  }
  TreeReport report;
  EXPECT_TRUE(CheckTree(&f->pager(), true, &report).ok()) << what << ": " << report.problem;
  // The recovered file takes further commits.
  bool ok = false;
  EXPECT_TRUE(f->Insert(Make(5000, 10), &ok).ok() && ok) << what;
  EXPECT_TRUE(f->Close().ok()) << what;
}

TEST(ShadowCommitTest, CommitWritesShadowCopiesBeforeTheHeaderAndFlushesBetween) {
  Scenario sc = Prepare();
  ASSERT_NE(sc.before, sc.after);
  // Step 4 writes (pages and the shadow header), a flush, the old header with
  // the shadow bounds, a flush; then the copies home and the header in two flushed parts.
  size_t first_flush = sc.trace.find('f');
  ASSERT_NE(first_flush, std::string::npos);
  EXPECT_EQ(sc.trace.substr(first_flush, 3), "fwf");
  EXPECT_EQ(sc.trace.substr(sc.trace.size() - 4), "wfwf");
  EXPECT_EQ(sc.trace.find('t'), std::string::npos);
}

TEST(ShadowCommitTest, CrashAtEveryWriteAndFlushLeavesTheOldOrTheNewState) {
  CorruptionRecorder recorder;
  Scenario sc = Prepare();
  // The commit point: the flush after the old header with the shadow bounds.
  int64_t commit_point = static_cast<int64_t>(sc.trace.find('f')) + 3;
  int64_t points = static_cast<int64_t>(sc.trace.size());
  int exercised = 0;
  for (bool tearing : {false, true}) {
    for (int64_t k = 1; k <= points; ++k) {
      auto disk = std::make_shared<os::FaultDisk>(sc.bytes);
      disk->SetTearing(tearing, static_cast<uint32_t>(k * 7919));
      {
        auto f = Attach(disk, true);
        Change(f.get());
        disk->Reset();
        disk->CrashAtPoint(k);
        EXPECT_FALSE(f->Commit().ok());
        ASSERT_TRUE(disk->powered_off());
      }
      disk->PowerOn();
      // Without tearing nothing unflushed survives; torn, the header block may.
      bool after = k > commit_point;
      ExpectBeforeOrAfter(disk, sc, after,
                          std::string(tearing ? "torn " : "") + "crash at point " + std::to_string(k));
      ++exercised;
    }
  }
  EXPECT_TRUE(CorruptionRecorder::checks().empty());
  RecordProperty("crash_points", exercised);
  std::printf("[ crash points exercised: %d (%lld per commit, twice) ]\n", exercised,
              static_cast<long long>(points));
}

TEST(ShadowCommitTest, CrashBeforeTheCommitPointKeepsExactlyTheOldState) {
  Scenario sc = Prepare();
  int64_t commit_point = static_cast<int64_t>(sc.trace.find('f')) + 3;
  for (int64_t k = 1; k <= commit_point; ++k) {
    auto disk = std::make_shared<os::FaultDisk>(sc.bytes);
    {
      auto f = Attach(disk, true);
      Change(f.get());
      disk->Reset();
      disk->CrashAtPoint(k);
      EXPECT_FALSE(f->Commit().ok());
    }
    disk->PowerOn();
    auto f = Attach(disk, true);
    EXPECT_TRUE(Contents(f.get()) == sc.before) << "crash at point " << k;
  }
}

TEST(ShadowCommitTest, FirstCommitOfAFreshFileSurvivesEveryCrash) {
  auto disk0 = std::make_shared<os::FaultDisk>();
  { auto f = Attach(disk0, true); }  // the fresh header only
  std::string fresh = disk0->visible();
  ASSERT_EQ(fresh.size(), 512u);
  State after;
  std::string trace;
  {
    auto f = Attach(disk0, true);
    bool ok = false;
    for (uint32_t i = 0; i < 60; ++i) ASSERT_TRUE(f->Insert(Make(i, 120), &ok).ok());
    disk0->Reset();
    ASSERT_TRUE(f->Commit().ok());
    trace = disk0->trace();
    after = Contents(f.get());
  }
  for (int64_t k = 1; k <= static_cast<int64_t>(trace.size()); ++k) {
    auto disk = std::make_shared<os::FaultDisk>(fresh);
    {
      auto f = Attach(disk, true);
      bool ok = false;
      for (uint32_t i = 0; i < 60; ++i) ASSERT_TRUE(f->Insert(Make(i, 120), &ok).ok());
      disk->Reset();
      disk->CrashAtPoint(k);
      EXPECT_FALSE(f->Commit().ok());
    }
    disk->PowerOn();
    auto f = Attach(disk, true);
    State seen = Contents(f.get());
    EXPECT_TRUE(seen.empty() || seen == after) << "crash at point " << k;
    TreeReport report;
    EXPECT_TRUE(CheckTree(&f->pager(), true, &report).ok()) << report.problem;
  }
  std::printf("[ crash points of a first commit: %zu ]\n", trace.size());
}

TEST(ShadowCommitTest, IoErrorAtEveryCallGivesAnErrorAndTheOldOrNewState) {
  CorruptionRecorder recorder;
  Scenario sc = Prepare();
  for (os::ErrorKind kind : {os::ErrorKind::Io, os::ErrorKind::DiskFull}) {
    // The last call frees the writer's locks after the commit has completed.
    for (int64_t c = 1; c < sc.calls; ++c) {
      std::string what = "failing call " + std::to_string(c);
      auto disk = std::make_shared<os::FaultDisk>(sc.bytes);
      auto f = Attach(disk, true);
      Change(f.get());
      disk->Reset();
      disk->FailCall(c, kind);
      Status s = f->Commit();
      if (kind == os::ErrorKind::Io) {
        EXPECT_EQ(s.code(), 90) << what;
      } else {
        // A write that finds the disk full answers 5, anything else 90.
        EXPECT_TRUE(s.code() == 90 || s.code() == 5) << what << ": " << s.code();
      }
      EXPECT_FALSE(s.corrupt()) << what;
      // What the disk holds, now and after a power loss, is one of the two states.
      auto copy = std::make_shared<os::FaultDisk>(disk->visible());
      ExpectBeforeOrAfter(copy, sc, false, what + " (visible)");
      auto lost = std::make_shared<os::FaultDisk>(disk->durable());
      ExpectBeforeOrAfter(lost, sc, false, what + " (durable)");
      // The handle itself carries on: a retry commits what it still holds,
      // and it agrees with the disk afterwards.
      ASSERT_TRUE(f->Commit().ok()) << what;
      State mine = Contents(f.get());
      EXPECT_TRUE(mine == sc.before || mine == sc.after) << what;
      ASSERT_TRUE(f->Close().ok()) << what;
      auto g = Attach(disk, false);
      EXPECT_EQ(Contents(g.get()), mine) << what;
    }
  }
  EXPECT_TRUE(CorruptionRecorder::checks().empty());
}

TEST(ShadowCommitTest, ReadOnlyOpenerReadsACutShortCommitWithoutFinishingIt) {
  Scenario sc = Prepare();
  int64_t commit_point = static_cast<int64_t>(sc.trace.find('f')) + 3;
  auto disk = std::make_shared<os::FaultDisk>(sc.bytes);
  {
    auto f = Attach(disk, true);
    Change(f.get());
    disk->Reset();
    disk->CrashAtPoint(commit_point + 2);  // some pages copied home, not all
    EXPECT_FALSE(f->Commit().ok());
  }
  disk->PowerOn();
  std::string pending = disk->durable();
  FileHeader h;
  ASSERT_TRUE(FileHeader::Decode(pending.substr(0, 512), &h).ok());
  ASSERT_NE(h.committed_end, h.pending_end);
  auto reader = Attach(disk, false);
  EXPECT_TRUE(Contents(reader.get()) == sc.after);
  EXPECT_EQ(disk->visible(), pending);
  // A writer finishes it; the reader notices the header changed and follows.
  auto writer = Attach(disk, true);
  EXPECT_TRUE(Contents(writer.get()) == sc.after);
  ASSERT_TRUE(reader->RefreshHeader().ok());
  EXPECT_EQ(reader->header().committed_end, reader->header().pending_end);
  EXPECT_TRUE(Contents(reader.get()) == sc.after);
}

// A shadow copy is only trusted with a home inside the committed data: one
// naming a home gigabytes away ends the walk, and recovery rolls back instead
// of writing there.
TEST(ShadowCommitTest, ShadowCopiesNamingAHomeBeyondTheDataAreNotCopiedThere) {
  Scenario sc = Prepare();
  int64_t commit_point = static_cast<int64_t>(sc.trace.find('f')) + 3;
  auto cut = std::make_shared<os::FaultDisk>(sc.bytes);
  {
    auto f = Attach(cut, true);
    Change(f.get());
    cut->Reset();
    cut->CrashAtPoint(commit_point + 1);  // pending on disk, nothing copied home yet
    EXPECT_FALSE(f->Commit().ok());
  }
  cut->PowerOn();
  std::string pending = cut->durable();
  FileHeader h;
  ASSERT_TRUE(FileHeader::Decode(pending.substr(0, 512), &h).ok());
  ASSERT_LT(h.committed_end, h.pending_end);
  PutLe32(pending.data() + h.committed_end, 0x7FFFFF00);  // 2 GiB, on a slot boundary
  auto disk = std::make_shared<os::FaultDisk>(pending);
  auto f = Attach(disk, true);
  ASSERT_TRUE(f);
  EXPECT_TRUE(Contents(f.get()) == sc.before);
  EXPECT_LE(disk->visible().size(), pending.size());
}

// A control file stand-in that says whether the transaction is still open.
class FakeLookup : public TransactionLookup {
 public:
  Status IsOpen(const std::string& tcf_path, uint32_t id, bool* open) override {
    asked_path = tcf_path;
    asked_id = id;
    *open = open_;
    return fail_ ? Status::Error(driver::kErrFileNotFound) : Status::Ok();
  }
  bool open_ = false;
  bool fail_ = false;
  std::string asked_path;
  uint32_t asked_id = 0;
};

TEST(ShadowCommitTest, ReferenceRecordDecidesBetweenRollForwardAndRollBack) {
  // A commit whose changes include a transaction reference record, cut short
  // just after its commit point.
  auto base = [](const std::shared_ptr<os::FaultDisk>& disk) {
    auto f = Attach(disk, true);
    bool ok = false;
    for (uint32_t i = 0; i < 50; ++i) ASSERT_TRUE(f->Insert(Make(i, 90), &ok).ok());
    ASSERT_TRUE(f->Close().ok());
  };
  auto change = [](BriskenFile* f) {
    bool ok = false;
    ASSERT_TRUE(f->Insert(EncodeReference({0x01020304u, kDefaultTcfText}), &ok).ok() && ok);
    ASSERT_TRUE(f->Replace(Make(3, 300, 'z'), &ok).ok() && ok);
  };
  State before, after;
  std::string trace;
  {
    auto disk = std::make_shared<os::FaultDisk>();
    base(disk);
    auto f = Attach(disk, true);
    before = Contents(f.get());
    change(f.get());
    disk->Reset();
    ASSERT_TRUE(f->Commit().ok());
    trace = disk->trace();
    after = Contents(f.get());
  }
  int64_t commit_point = static_cast<int64_t>(trace.find('f')) + 3;

  for (int variant = 0; variant < 3; ++variant) {
    FakeLookup lookup;
    lookup.open_ = variant == 1;
    lookup.fail_ = variant == 2;
    auto disk = std::make_shared<os::FaultDisk>();
    base(disk);
    {
      auto g = Attach(disk, true);
      change(g.get());
      disk->Reset();
      disk->CrashAtPoint(commit_point + 1);
      EXPECT_FALSE(g->Commit().ok());
    }
    disk->PowerOn();
    OpenOptions options;
    options.transactions = &lookup;
    options.path = "/data/SHOP.BKF";
    auto f = Attach(disk, true, options);
    ASSERT_TRUE(f);
    EXPECT_EQ(lookup.asked_id, 0x01020304u);
    EXPECT_EQ(lookup.asked_path, "/data/brisken.tcf");
    // Found (or not consultable): the transaction never reached its commit point.
    EXPECT_TRUE(Contents(f.get()) == (variant == 0 ? after : before)) << "variant " << variant;
    TreeReport report;
    EXPECT_TRUE(CheckTree(&f->pager(), true, &report).ok()) << report.problem;
  }
  EXPECT_EQ(ResolveTcfPath("C:\\DATA\\SHOP.BKF", kDefaultTcfText), "C:\\DATA\\brisken.tcf");
  EXPECT_EQ(ResolveTcfPath("SHOP.BKF", "D:\\LOG\\ONE.TCF"), "D:\\LOG\\ONE.TCF");
}

TEST(ShadowCommitTest, ConcurrentCommitOfAnotherHandleIsNotOverwritten) {
  auto disk = std::make_shared<os::FaultDisk>();
  auto a = Attach(disk, true);
  bool ok = false;
  ASSERT_TRUE(a->Insert(Make(1, 10), &ok).ok());
  ASSERT_TRUE(a->Commit().ok());
  auto b = Attach(disk, true);
  ASSERT_TRUE(a->Insert(Make(2, 10), &ok).ok());
  ASSERT_TRUE(b->Insert(Make(3, 10), &ok).ok());
  ASSERT_TRUE(a->Commit().ok());
  // b's change was made on the header a has replaced since.
  EXPECT_EQ(b->Commit().code(), 5);
  State seen = Contents(b.get());
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_TRUE(b->Insert(Make(3, 10), &ok).ok() && ok);
  EXPECT_TRUE(b->Commit().ok());
  ASSERT_TRUE(a->RefreshHeader().ok());
  EXPECT_EQ(Contents(a.get()).size(), 3u);
}

}  // namespace
}  // namespace korvex::brisken
