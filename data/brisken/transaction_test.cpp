#include "data/brisken/transaction.h"

#include <gtest/gtest.h>

#include <map>

#include "data/brisken/bytes.h"
#include "data/brisken/corruption_recorder_test_util.h"
#include "data/brisken/tree_check.h"
#include "runtime/os/fault_injecting_file.h"

namespace korvex::brisken {
namespace {

using State = std::map<std::string, std::string>;  // header -> whole record

// One power supply for several disks: write points (writes, truncates,
// flushes) and calls are counted over all of them, so that a crash or an
// error can be placed anywhere in a commit that spans files.
struct Power {
  std::vector<std::shared_ptr<os::FaultDisk>> disks;
  int64_t points = 0;
  int64_t calls = 0;
  int64_t crash_at = 0;  // 0: none
  int64_t fail_at = 0;   // 0: none

  void Reset() { points = calls = crash_at = fail_at = 0; }
  bool Call() { return ++calls == fail_at; }
  void Point() {
    if (++points == crash_at) {
      for (auto& d : disks) d->PowerOff();
    }
  }
};

class SharedPowerFile : public os::File {
 public:
  SharedPowerFile(std::unique_ptr<os::File> inner, Power* power)
      : inner_(std::move(inner)), power_(power) {}
  os::Status ReadAt(uint64_t offset, void* buffer, size_t len, size_t* got) override {
    if (power_->Call()) return Fail();
    return inner_->ReadAt(offset, buffer, len, got);
  }
  os::Status WriteAt(uint64_t offset, const void* data, size_t len) override {
    if (power_->Call()) return Fail();
    power_->Point();
    return inner_->WriteAt(offset, data, len);
  }
  os::Status Flush() override {
    if (power_->Call()) return Fail();
    power_->Point();
    return inner_->Flush();
  }
  os::Status Truncate(uint64_t size) override {
    if (power_->Call()) return Fail();
    power_->Point();
    return inner_->Truncate(size);
  }
  os::Status Size(uint64_t* size) override {
    if (power_->Call()) return Fail();
    return inner_->Size(size);
  }
  os::Status TryLock(uint64_t offset, uint64_t len) override {
    if (power_->Call()) return Fail();
    return inner_->TryLock(offset, len);
  }
  os::Status Lock(uint64_t offset, uint64_t len) override {
    if (power_->Call()) return Fail();
    return inner_->Lock(offset, len);
  }
  os::Status Unlock(uint64_t offset, uint64_t len) override { return inner_->Unlock(offset, len); }

 private:
  static os::Status Fail() { return os::Status(os::ErrorKind::Io, 5); }
  std::unique_ptr<os::File> inner_;
  Power* power_;
};

// Data files and control files by name, each on its own disk, one power supply.
class World : public ControlFileStore {
 public:
  World() : lookup_(this) {}

  std::shared_ptr<os::FaultDisk> Disk(const std::string& path) {
    auto& d = disks_[path];
    if (!d) {
      d = std::make_shared<os::FaultDisk>();
      power.disks.push_back(d);
    }
    return d;
  }
  std::unique_ptr<os::File> Handle(const std::string& path) {
    return std::make_unique<SharedPowerFile>(Disk(path)->Open(), &power);
  }
  Status Open(const std::string& path, bool writable, std::unique_ptr<BriskenFile>* out) override {
    if (!writable && !disks_.count(path)) return Status::Error(driver::kErrFileNotFound);
    return BriskenFile::Attach(Handle(path), writable, out);
  }
  // A data file, recovered through this world's control files.
  std::unique_ptr<BriskenFile> Data(const std::string& path, bool writable = true) {
    OpenOptions options;
    options.path = path;
    options.transactions = &lookup_;
    std::unique_ptr<BriskenFile> f;
    Status s = BriskenFile::Attach(Handle(path), writable, options, &f);
    EXPECT_TRUE(s.ok()) << path << ": " << s.code() << "/" << s.check();
    return f;
  }
  // The durable bytes of every disk, and a world started from them.
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> out;
    for (auto& [path, d] : disks_) out[path] = d->durable();
    return out;
  }
  std::map<std::string, std::string> Visible() const {
    std::map<std::string, std::string> out;
    for (auto& [path, d] : disks_) out[path] = d->visible();
    return out;
  }
  void Load(const std::map<std::string, std::string>& bytes) {
    for (auto& [path, content] : bytes) {
      auto d = std::make_shared<os::FaultDisk>(content);
      disks_[path] = d;
      power.disks.push_back(d);
    }
  }
  void PowerOn() {
    for (auto& d : power.disks) d->PowerOn();
  }

  Power power;

 private:
  std::map<std::string, std::shared_ptr<os::FaultDisk>> disks_;
  StoreTransactionLookup lookup_;
};

const char* const kA = "d/a.bkf";
const char* const kB = "d/b.bkf";
const char* const kTcf = "d/brisken.tcf";

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

State Contents(BriskenFile* f) {
  State state;
  Status s = f->tree().ForEach([&](const Record& r) {
    state[std::string(r.header())] = r.bytes;
    return true;
  });
  EXPECT_TRUE(s.ok());
  return state;
}

void Fill(World* w, const char* path, uint32_t count) {
  auto f = w->Data(path);
  bool ok = false;
  for (uint32_t i = 0; i < count; ++i) ASSERT_TRUE(f->Insert(Make(i, 80 + i % 40), &ok).ok());
  ASSERT_TRUE(f->Close().ok());
}

// Changes that rewrite committed pages (shadowed) and add new ones.
void Change(BriskenFile* f, char fill) {
  bool ok = false;
  for (uint32_t i = 0; i < 200; i += 7) ASSERT_TRUE(f->Replace(Make(i, 300, fill), &ok).ok() && ok);
  for (uint32_t i = 1; i < 200; i += 9) ASSERT_TRUE(f->Remove(Make(i, 0).header(), &ok).ok() && ok);
  for (uint32_t i = 1000; i < 1060; ++i) ASSERT_TRUE(f->Insert(Make(i, 90, fill), &ok).ok() && ok);
}

bool HasId(World* w, uint32_t id) {
  std::unique_ptr<BriskenFile> tcf;
  EXPECT_TRUE(w->Open(kTcf, false, &tcf).ok());
  char key[4];
  PutBe32(key, id);
  Record r;
  bool found = false;
  EXPECT_TRUE(tcf->Get(std::string_view(key, 4), &r, &found).ok());
  return found;
}

void ExpectSound(BriskenFile* f, const std::string& what) {
  EXPECT_EQ(f->header().committed_end, f->header().pending_end) << what;
  TreeReport report;
  EXPECT_TRUE(CheckTree(&f->pager(), true, &report).ok()) << what << ": " << report.problem;
}

class TransactionTest : public ::testing::Test {
 protected:
  // Reads of a disk that lost its power fail their checks; they must not end the run.
  CorruptionRecorder recorder_;
  void SetUp() override {
    World w;
    Fill(&w, kA, 200);
    Fill(&w, kB, 200);
    base_ = w.Snapshot();
    auto a = w.Data(kA);
    auto b = w.Data(kB);
    before_a_ = Contents(a.get());
    before_b_ = Contents(b.get());
  }

  // Opens both files of w, changes them and commits them together.
  Status Run(World* w, Transaction* t, State* after_a = nullptr, State* after_b = nullptr) {
    auto a = w->Data(kA);
    auto b = w->Data(kB);
    if (!a || !b) return Status::Error(driver::kErrFileSystem);
    Change(a.get(), 'a');
    Change(b.get(), 'b');
    Status s = t->Logout({{a.get(), kA}, {b.get(), kB}});
    EXPECT_TRUE(s.ok());
    w->power.Reset();
    return Finish(w, t, a.get(), b.get(), after_a, after_b);
  }
  Status Finish(World* w, Transaction* t, BriskenFile* a, BriskenFile* b, State* after_a,
                State* after_b) {
    Status s = t->Commit();
    (void)w;
    if (after_a) *after_a = Contents(a);
    if (after_b) *after_b = Contents(b);
    return s;
  }

  std::map<std::string, std::string> base_;
  State before_a_, before_b_;
};

TEST_F(TransactionTest, CommitWritesBothFilesWithReferencesAndLeavesNoIdBehind) {
  World w;
  w.Load(base_);
  Transaction t(&w);
  State after_a, after_b;
  ASSERT_TRUE(Run(&w, &t, &after_a, &after_b).ok());
  EXPECT_FALSE(t.active());
  EXPECT_NE(after_a, before_a_);
  EXPECT_FALSE(HasId(&w, t.last_id()));
  for (const char* path : {kA, kB}) {
    auto f = w.Data(path);
    EXPECT_EQ(Contents(f.get()), path == kA ? after_a : after_b);
    TransactionReference ref;
    bool found = false;
    ASSERT_TRUE(FindReference(&f->tree(), &ref, &found).ok());
    ASSERT_TRUE(found);
    EXPECT_EQ(ref.id, t.last_id());
    EXPECT_EQ(ref.tcf, kDefaultTcfText);
    ExpectSound(f.get(), path);
  }
  // A second transaction replaces the reference record rather than adding one.
  Transaction t2(&w, [] { return 777u; });
  auto a = w.Data(kA);
  auto b = w.Data(kB);
  bool ok = false;
  ASSERT_TRUE(a->Insert(Make(5000, 10), &ok).ok());
  ASSERT_TRUE(b->Insert(Make(5000, 10), &ok).ok());
  ASSERT_TRUE(t2.Logout({{a.get(), kA}, {b.get(), kB}}).ok());
  ASSERT_TRUE(t2.Commit().ok());
  size_t refs = 0;
  for (auto& [h, bytes] : Contents(a.get())) refs += static_cast<unsigned char>(h[0]) == 0xFF;
  EXPECT_EQ(refs, 1u);
  EXPECT_EQ(t2.last_id(), 777u);
}

class TransactionCrashTest : public TransactionTest, public ::testing::WithParamInterface<bool> {};

// With tearing, the blocks of unflushed writes survive at random. The control
// file is made by the commit without tearing, beforehand with it (a torn
// creation leaves a file that cannot be opened; see the report).
TEST_P(TransactionCrashTest, CrashAtEveryWriteAndFlushLeavesAllOrNothing) {
  const bool tearing = GetParam();
  auto start = base_;
  if (tearing) {
    World w;
    w.Load(base_);
    std::unique_ptr<BriskenFile> tcf;
    ASSERT_TRUE(w.Open(kTcf, true, &tcf).ok());
    ASSERT_TRUE(tcf->Close().ok());
    start = w.Visible();
  }
  State after_a, after_b;
  int64_t total = 0;
  {
    World w;
    w.Load(start);
    Transaction t(&w, [] { return 4242u; });
    ASSERT_TRUE(Run(&w, &t, &after_a, &after_b).ok());
    total = w.power.points;
  }
  ASSERT_GT(total, 10);
  int64_t before_count = 0, after_count = 0;
  bool passed = false;  // some earlier crash point already showed the whole transaction
  for (int64_t k = 1; k <= total; ++k) {
    std::string what = "crash at point " + std::to_string(k) + " of " + std::to_string(total);
    World w;
    w.Load(start);
    Transaction t(&w, [] { return 4242u; });
    w.Disk(kTcf);  // on the power supply before the crash
    for (auto& d : w.power.disks) d->SetTearing(tearing, static_cast<uint32_t>(k));
    {
      auto a = w.Data(kA);
      auto b = w.Data(kB);
      Change(a.get(), 'a');
      Change(b.get(), 'b');
      ASSERT_TRUE(t.Logout({{a.get(), kA}, {b.get(), kB}}).ok());
      w.power.Reset();
      w.power.crash_at = k;
      (void)t.Commit();  // fails or not depending on where the power went
    }
    w.PowerOn();
    w.power.Reset();
    auto a = w.Data(kA);
    auto b = w.Data(kB);
    ASSERT_TRUE(a && b) << what;
    State seen_a = Contents(a.get());
    State seen_b = Contents(b.get());
    bool all_before = seen_a == before_a_ && seen_b == before_b_;
    bool all_after = seen_a == after_a && seen_b == after_b;
    EXPECT_TRUE(all_before || all_after) << what;
    if (all_before) {
      EXPECT_FALSE(passed) << what << ": the transaction came undone after its commit point";
      ++before_count;
    }
    if (all_after) {
      passed = true;
      ++after_count;
      EXPECT_FALSE(HasId(&w, 4242)) << what;
    }
    ExpectSound(a.get(), what);
    ExpectSound(b.get(), what);
    std::unique_ptr<BriskenFile> tcf;
    ASSERT_TRUE(w.Open(kTcf, true, &tcf).ok()) << what;
    ExpectSound(tcf.get(), what + " (control file)");
  }
  EXPECT_GT(before_count, 0);
  EXPECT_GT(after_count, 0);
  std::printf("[          ] %lld crash points: %lld before, %lld after\n",
              static_cast<long long>(total), static_cast<long long>(before_count),
              static_cast<long long>(after_count));
}

INSTANTIATE_TEST_SUITE_P(Tearing, TransactionCrashTest, ::testing::Bool());

TEST_F(TransactionTest, ErrorAtEveryCallGivesAllOrNothingAndATruthfulOutcome) {
  State after_a, after_b;
  int64_t total = 0;
  {
    World w;
    w.Load(base_);
    Transaction t(&w, [] { return 4242u; });
    ASSERT_TRUE(Run(&w, &t, &after_a, &after_b).ok());
    total = w.power.calls;
  }
  int64_t failed = 0;
  for (int64_t k = 1; k <= total; ++k) {
    std::string what = "error at call " + std::to_string(k) + " of " + std::to_string(total);
    World w;
    w.Load(base_);
    Transaction t(&w, [] { return 4242u; });
    State mem_a, mem_b;
    Status s;
    {
      auto a = w.Data(kA);
      auto b = w.Data(kB);
      Change(a.get(), 'a');
      Change(b.get(), 'b');
      ASSERT_TRUE(t.Logout({{a.get(), kA}, {b.get(), kB}}).ok());
      w.power.Reset();
      w.power.fail_at = k;
      s = t.Commit();
      w.power.fail_at = 0;
      // The files stay usable and show what the disk holds.
      mem_a = Contents(a.get());
      mem_b = Contents(b.get());
    }
    bool mem_after = mem_a == after_a && mem_b == after_b;
    bool mem_before = mem_a == before_a_ && mem_b == before_b_;
    EXPECT_TRUE(s.ok() ? mem_after : mem_before)
        << what << " returned " << s.code() << ": a " << (mem_a == after_a) << (mem_a == before_a_)
        << " b " << (mem_b == after_b) << (mem_b == before_b_);
    if (!s.ok()) ++failed;
    auto a = w.Data(kA);
    auto b = w.Data(kB);
    ASSERT_TRUE(a && b) << what;
    EXPECT_TRUE(Contents(a.get()) == (s.ok() ? after_a : before_a_)) << what;
    EXPECT_TRUE(Contents(b.get()) == (s.ok() ? after_b : before_b_)) << what;
    ExpectSound(a.get(), what);
    ExpectSound(b.get(), what);
  }
  EXPECT_GT(failed, 0);
  std::printf("[          ] %lld calls, %lld failed commits\n", static_cast<long long>(total),
              static_cast<long long>(failed));
}

TEST_F(TransactionTest, LogoutCommitAndRollbackKeepTheirOrder) {
  World w;
  w.Load(base_);
  auto a = w.Data(kA);
  Transaction t(&w);
  EXPECT_EQ(t.Commit().code(), driver::kErrLogoutNotActive);
  EXPECT_EQ(t.Rollback().code(), driver::kErrLogoutNotActive);
  ASSERT_TRUE(t.Logout({{a.get(), kA}}).ok());
  EXPECT_EQ(t.Logout({{a.get(), kA}}).code(), driver::kErrLogoutActive);
  EXPECT_TRUE(t.active());
  EXPECT_TRUE(t.Commit().ok());  // nothing changed: the transaction just ends
  EXPECT_FALSE(t.active());
  EXPECT_EQ(t.Commit().code(), driver::kErrLogoutNotActive);
}

TEST_F(TransactionTest, RollbackDropsTheChangesOfEveryFile) {
  World w;
  w.Load(base_);
  auto a = w.Data(kA);
  auto b = w.Data(kB);
  Transaction t(&w);
  ASSERT_TRUE(t.Logout({{a.get(), kA}, {b.get(), kB}}).ok());
  Change(a.get(), 'a');
  Change(b.get(), 'b');
  w.power.Reset();
  ASSERT_TRUE(t.Rollback().ok());
  EXPECT_EQ(w.power.points, 0);  // nothing written
  EXPECT_EQ(Contents(a.get()), before_a_);
  EXPECT_EQ(Contents(b.get()), before_b_);
  EXPECT_FALSE(a->pager().HasChanges());
  // The files go on working.
  bool ok = false;
  ASSERT_TRUE(a->Insert(Make(7000, 5), &ok).ok() && ok);
  ASSERT_TRUE(a->Commit().ok());
  ExpectSound(a.get(), "after rollback");
}

TEST_F(TransactionTest, RollbackThatCannotReadTheFileAgainFailsWith65) {
  World w;
  w.Load(base_);
  auto a = w.Data(kA);
  Transaction t(&w);
  ASSERT_TRUE(t.Logout({{a.get(), kA}}).ok());
  Change(a.get(), 'a');
  w.power.Reset();
  w.power.fail_at = 1;
  EXPECT_EQ(t.Rollback().code(), driver::kErrUnableToRollback);
  EXPECT_FALSE(t.active());
}

TEST_F(TransactionTest, TakenIdsAreSkipped) {
  World w;
  w.Load(base_);
  {
    std::unique_ptr<BriskenFile> tcf;
    ASSERT_TRUE(w.Open(kTcf, true, &tcf).ok());
    bool ok = false;
    for (uint32_t id : {100u, 101u}) {
      Record r;
      r.bytes.assign(4, '\0');
      PutBe32(r.bytes.data(), id);
      r.header_len = 4;
      ASSERT_TRUE(tcf->Insert(r, &ok).ok() && ok);
    }
    ASSERT_TRUE(tcf->Close().ok());
  }
  Transaction t(&w, [] { return 100u; });
  ASSERT_TRUE(Run(&w, &t).ok());
  EXPECT_EQ(t.last_id(), 102u);
  EXPECT_TRUE(HasId(&w, 100));
  EXPECT_TRUE(HasId(&w, 101));
  EXPECT_FALSE(HasId(&w, 102));
  // An id left by a crashed transaction rolls back a file that names it.
  auto a = w.Data(kA);
  TransactionReference ref;
  bool found = false;
  ASSERT_TRUE(FindReference(&a->tree(), &ref, &found).ok() && found);
  EXPECT_EQ(ref.id, 102u);
}

TEST_F(TransactionTest, OneChangedFileCommitsAloneWithoutAControlFile) {
  World w;
  w.Load(base_);
  auto a = w.Data(kA);
  auto b = w.Data(kB);
  Change(a.get(), 'a');
  Transaction t(&w);
  ASSERT_TRUE(t.Logout({{a.get(), kA}, {b.get(), kB}}).ok());
  ASSERT_TRUE(t.Commit().ok());
  EXPECT_EQ(w.Snapshot().count(kTcf), 0u);
  TransactionReference ref;
  bool found = true;
  ASSERT_TRUE(FindReference(&a->tree(), &ref, &found).ok());
  EXPECT_FALSE(found);
}

TEST_F(TransactionTest, ProgramWideControlFileIsNamedInTheReference) {
  World w;
  w.Load(base_);
  Transaction t(&w);
  t.set_program_tcf("x/all.tcf");
  ASSERT_TRUE(Run(&w, &t).ok());
  EXPECT_EQ(w.Snapshot().count(kTcf), 0u);
  EXPECT_EQ(w.Snapshot().count("x/all.tcf"), 1u);
  auto b = w.Data(kB);
  TransactionReference ref;
  bool found = false;
  ASSERT_TRUE(FindReference(&b->tree(), &ref, &found).ok() && found);
  EXPECT_EQ(ref.tcf, "x/all.tcf");
}

TEST_F(TransactionTest, AtMostAHundredControlFiles) {
  World w;
  std::vector<std::unique_ptr<BriskenFile>> files;
  std::vector<TransactionFile> list;
  for (int i = 0; i <= 100; ++i) {
    std::string path = "dir" + std::to_string(i) + "/f.bkf";
    files.push_back(w.Data(path));
    list.push_back({files.back().get(), path});
  }
  Transaction t(&w);
  EXPECT_EQ(t.Logout(list).code(), driver::kErrFileSystem);
  EXPECT_FALSE(t.active());
  list.pop_back();
  EXPECT_TRUE(t.Logout(list).ok());
}

}  // namespace
}  // namespace korvex::brisken
