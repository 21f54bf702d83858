// Holding, table locks, watching and shared access between control blocks of
// one process and between processes.
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "data/brisken/bkf_driver.h"
#include "data/brisken/brisken_file.h"
#include "data/brisken/table_test_util.h"
#include "data/brisken/tree_check.h"
#include "data/driver/error_codes.h"
#include "data/driver/file_control_block.h"
#include "data/driver/operation.h"
#include "runtime/os/child_process.h"
#include "runtime/os/temp_dir.h"

namespace korvex::brisken {
namespace {

using namespace testing;
using Clock = std::chrono::steady_clock;

constexpr int64_t kShareMode = 0x42;  // read/write, deny none

// One control block on the CUSTOMER file with its own record buffer.
class Station {
 public:
  explicit Station(const std::string& name) : fcb_(&kCustomer, record_, sizeof record_) {
    fcb_.name = name;
  }
  int32_t Run(int op, Arguments args = {}) { return BkfEntry(op, &fcb_, &args); }
  int32_t Open() { return Run(kOpOpen, {Argument::Number(kShareMode)}); }
  void Fill(const Customer& c) {
    std::vector<uint8_t> b = c.Buffer();
    std::memcpy(record_, b.data(), b.size());
  }
  Customer Read() const { return Customer::From(std::vector<uint8_t>(record_, record_ + 68)); }
  int32_t GetByName(const std::string& name) {
    Fill({0, name});
    return Run(kOpGetFileKey, {Argument::Key(&kCustomerKeys[0])});
  }
  int32_t GetByNumber(int64_t r) { return Run(kOpGetFilePtr, {Argument::Number(r)}); }
  int64_t Pointer() {
    int64_t p = 0;
    Run(kOpPointerFile, {Argument::NumberAnswer(&p)});
    return p;
  }
  int64_t Records() {
    int64_t n = -1;
    Run(kOpRecordsFile, {Argument::NumberAnswer(&n)});
    return n;
  }
  bool Holding() const { return fcb_.state && fcb_.state->IsHolding(); }
  void HoldReads(bool on) { fcb_.state->HoldReads(on); }

 private:
  FileControlBlock fcb_;
  uint8_t record_[68] = {};
};

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// args: file, record name, ready flag, go flag. Holds the record until go
// exists, then lingers a little before letting it go.
KORVEX_CHILD(HoldRecordUntilGo) {
  Station s(args[0]);
  if (s.Open() != 0) return 10;
  if (s.Run(kOpHoldFile) != 0) return 11;
  if (s.GetByName(args[1]) != 0) return 12;
  if (!s.Holding()) return 13;
  if (!os::TouchFile(args[2]).ok()) return 14;
  if (!os::WaitForFile(args[3], 20000)) return 15;
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  if (s.Run(kOpRelease) != 0) return 16;
  return s.Run(kOpClose) == 0 ? 0 : 17;
}

// args: file, ready flag, go flag. Locks the table until go exists.
KORVEX_CHILD(LockTableUntilGo) {
  Station s(args[0]);
  if (s.Open() != 0) return 10;
  if (s.Run(kOpLockFile) != 0) return 11;
  if (!os::TouchFile(args[1]).ok()) return 12;
  if (!os::WaitForFile(args[2], 20000)) return 13;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  return s.Run(kOpClose) == 0 ? 0 : 14;  // the close frees the table byte
}

// args: file, record name, new phone, added name. Rewrites the record's phone
// and adds a record.
KORVEX_CHILD(ChangeRecord) {
  Station s(args[0]);
  if (s.Open() != 0) return 10;
  if (s.GetByName(args[1]) != 0) return 11;
  Customer c = s.Read();
  c.phone = args[2];
  s.Fill(c);
  if (s.Run(kOpPut) != 0) return 12;
  s.Fill({0, args[3]});
  if (s.Run(kOpAdd) != 0) return 13;
  return s.Run(kOpClose) == 0 ? 0 : 14;
}

// args: file, station letter, rounds. Each round adds a record of its own,
// adds one to the shared COUNTER record under HOLD and rewrites its own record.
KORVEX_CHILD(StressStation) {
  Station s(args[0]);
  const int rounds = std::stoi(args[2]);
  if (s.Open() != 0) return 10;
  for (int i = 0; i < rounds; ++i) {
    const std::string own = args[1] + std::to_string(i);
    s.Fill({args[1][0] * 1000 + i, own, "", "", 0});  // ids are unique too
    if (int32_t e = s.Run(kOpAdd); e != 0) return 20 + e % 20;
    const int64_t mine = s.Pointer();
    if (s.Run(kOpHoldFile) != 0) return 11;
    if (s.GetByName("COUNTER") != 0) return 12;
    Customer counter = s.Read();
    ++counter.start;
    s.Fill(counter);
    if (int32_t e = s.Run(kOpPut); e != 0) return 40 + e % 20;
    if (s.Run(kOpRelease) != 0) return 13;
    if (s.GetByNumber(mine) != 0) return 14;
    Customer c = s.Read();
    c.phone = "done";
    s.Fill(c);
    if (int32_t e = s.Run(kOpPut); e != 0) return 60 + e % 20;
  }
  return s.Run(kOpClose) == 0 ? 0 : 15;
}

class BkfDriverLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    Station s(file_);
    ASSERT_EQ(s.Run(kOpCreate), 0);
    ASSERT_EQ(s.Open(), 0);
    for (const char* name : {"Adams", "Baker", "COUNTER"}) {
      s.Fill({0, name, "Kew", "555", 0});
      ASSERT_EQ(s.Run(kOpAdd), 0);
    }
    ASSERT_EQ(s.Run(kOpClose), 0);
  }
  std::string Flag(const std::string& name) const { return dir_.File(name); }
  std::unique_ptr<os::ChildProcess> Start(const std::string& role,
                                          const std::vector<std::string>& args) {
    std::unique_ptr<os::ChildProcess> child;
    EXPECT_TRUE(os::ChildProcess::Start(role, args, &child).ok());
    return child;
  }
  static int Finish(os::ChildProcess* child) {
    int code = -1;
    if (child == nullptr || !child->Wait(60000, &code)) return -1;
    return code;
  }

  os::TempDir dir_{"bkf-lock"};
  std::string file_ = dir_.File("CUSTOMER");
};

TEST_F(BkfDriverLockTest, ControlBlocksOfOneProcessHoldRecordsAgainstEachOther) {
  Station a(file_), b(file_);
  ASSERT_EQ(a.Open(), 0);
  ASSERT_EQ(b.Open(), 0);
  ASSERT_EQ(a.Run(kOpHoldFile), 0);
  ASSERT_EQ(a.GetByName("Adams"), 0);
  EXPECT_TRUE(a.Holding());
  const int64_t adams = a.Pointer();

  // b may read it, but neither hold nor write it.
  ASSERT_EQ(b.GetByName("Adams"), 0);
  Customer changed = b.Read();
  changed.phone = "999";
  b.Fill(changed);
  EXPECT_EQ(b.Run(kOpPut), kErrAccessDenied);
  ASSERT_EQ(b.Run(kOpHoldFileSec, {Argument::Number(0)}), 0);
  b.Fill({0, "marker"});
  EXPECT_EQ(b.GetByNumber(adams), kErrRecordHeld);
  EXPECT_EQ(b.Read().name, "marker");  // the failed read left the buffer alone
  EXPECT_FALSE(b.Holding());
  ASSERT_EQ(b.GetByNumber(adams), 0);  // the hold request was dropped
  EXPECT_FALSE(b.Holding());

  // The holder writes its record; another read frees it.
  Customer mine = a.Read();
  mine.suburb = "Ryde";
  a.Fill(mine);
  ASSERT_EQ(a.Run(kOpPut), 0);
  ASSERT_EQ(a.GetByName("Baker"), 0);
  EXPECT_FALSE(a.Holding());
  b.Fill(changed);
  ASSERT_EQ(b.Run(kOpPutFilePtr, {Argument::Number(adams)}), 0);

  // RELEASE and CLOSE free a held record too.
  ASSERT_EQ(a.Run(kOpHoldFile), 0);
  ASSERT_EQ(a.GetByNumber(adams), 0);
  ASSERT_EQ(a.Run(kOpRelease), 0);
  EXPECT_FALSE(a.Holding());
  ASSERT_EQ(b.Run(kOpHoldFileSec, {Argument::Number(0)}), 0);
  ASSERT_EQ(b.GetByNumber(adams), 0);
  EXPECT_TRUE(b.Holding());
  ASSERT_EQ(b.Run(kOpClose), 0);
  ASSERT_EQ(a.Run(kOpHoldFileSec, {Argument::Number(0)}), 0);
  ASSERT_EQ(a.GetByNumber(adams), 0);
  EXPECT_TRUE(a.Holding());
  EXPECT_EQ(a.Read().phone, "999");
  EXPECT_EQ(a.Read().suburb, "Kew");  // b wrote its whole buffer after a's PUT

  // A table lock is the control block's until UNLOCK or CLOSE.
  Station c(file_);
  ASSERT_EQ(c.Open(), 0);
  ASSERT_EQ(c.Run(kOpLockFile), 0);
  ASSERT_EQ(c.Run(kOpLockFile), 0);  // again by its owner
  auto start = Clock::now();
  EXPECT_EQ(a.Run(kOpLockFileSec, {Argument::Number(0)}), kErrFileLocked);
  EXPECT_LT(SecondsSince(start), 3.0);
  ASSERT_EQ(c.Run(kOpClose), 0);
  EXPECT_EQ(a.Run(kOpLockFileSec, {Argument::Number(0)}), 0);
  EXPECT_EQ(a.Run(kOpUnlock), 0);
  EXPECT_EQ(a.Run(kOpClose), 0);
}

TEST_F(BkfDriverLockTest, RecordHeldByAnotherProcess) {
  const std::string ready = Flag("ready"), go = Flag("go");
  auto child = Start("HoldRecordUntilGo", {file_, "Adams", ready, go});
  ASSERT_TRUE(os::WaitForFile(ready, 20000));

  Station s(file_);
  ASSERT_EQ(s.Open(), 0);
  ASSERT_EQ(s.GetByName("Adams"), 0);  // reading without HOLD is allowed
  const int64_t adams = s.Pointer();
  Customer c = s.Read();
  c.phone = "777";
  s.Fill(c);
  EXPECT_EQ(s.Run(kOpPut), kErrAccessDenied);

  ASSERT_EQ(s.Run(kOpHoldFileSec, {Argument::Number(1)}), 0);
  s.Fill({0, "marker"});
  auto start = Clock::now();
  EXPECT_EQ(s.GetByNumber(adams), kErrRecordHeld);
  const double waited = SecondsSince(start);
  EXPECT_GE(waited, 0.9);
  EXPECT_LT(waited, 5.0);
  EXPECT_EQ(s.Read().name, "marker");
  EXPECT_FALSE(s.Holding());

  // Without seconds the read waits until the other process lets go.
  ASSERT_TRUE(os::TouchFile(go).ok());
  start = Clock::now();
  ASSERT_EQ(s.Run(kOpHoldFile), 0);
  ASSERT_EQ(s.GetByNumber(adams), 0);
  EXPECT_GE(SecondsSince(start), 0.2);
  EXPECT_TRUE(s.Holding());
  c = s.Read();
  c.phone = "777";
  s.Fill(c);
  EXPECT_EQ(s.Run(kOpPut), 0);
  EXPECT_EQ(Finish(child.get()), 0);
  ASSERT_EQ(s.Run(kOpClose), 0);
}

TEST_F(BkfDriverLockTest, TableLockedByAnotherProcess) {
  const std::string ready = Flag("ready"), go = Flag("go");
  auto child = Start("LockTableUntilGo", {file_, ready, go});
  ASSERT_TRUE(os::WaitForFile(ready, 20000));

  Station s(file_);
  ASSERT_EQ(s.Open(), 0);
  auto start = Clock::now();
  EXPECT_EQ(s.Run(kOpLockFileSec, {Argument::Number(1)}), kErrFileLocked);
  const double waited = SecondsSince(start);
  EXPECT_GE(waited, 0.9);
  EXPECT_LT(waited, 5.0);
  // Records stay usable while the table is locked.
  ASSERT_EQ(s.GetByName("Baker"), 0);

  ASSERT_TRUE(os::TouchFile(go).ok());
  start = Clock::now();
  EXPECT_EQ(s.Run(kOpLockFile), 0);  // waits for the other's close
  EXPECT_GE(SecondsSince(start), 0.2);
  EXPECT_EQ(Finish(child.get()), 0);
  EXPECT_EQ(s.Run(kOpUnlock), 0);
  ASSERT_EQ(s.Run(kOpClose), 0);
}

TEST_F(BkfDriverLockTest, AReadHoldKeepsOtherProcessesFromCommittingUntilItEnds) {
  Station s(file_);
  ASSERT_EQ(s.Open(), 0);
  std::string reply;
  ASSERT_EQ(s.Run(kOpSend, {Argument::Text("READHOLD=ON"), Argument::TextAnswer(&reply)}), 0);
  EXPECT_EQ(reply, "ON");
  ASSERT_EQ(s.GetByName("Adams"), 0);  // the access keeps its reader slot

  auto child = Start("ChangeRecord", {file_, "Baker", "123", "Clark"});
  int code = -1;
  // The other process's update waits for the slot; reads here go on meanwhile.
  EXPECT_FALSE(child->Wait(500, &code));
  ASSERT_EQ(s.GetByName("Baker"), 0);
  EXPECT_EQ(s.Read().phone, "555");
  EXPECT_EQ(s.Records(), 3);

  ASSERT_EQ(s.Run(kOpSend, {Argument::Text("READHOLD=OFF"), Argument::TextAnswer(&reply)}), 0);
  EXPECT_EQ(reply, "OFF");
  ASSERT_EQ(Finish(child.get()), 0);
  // Without the hold every access reads the header again and sees the commit.
  EXPECT_EQ(s.Records(), 4);
  ASSERT_EQ(s.GetByName("Baker"), 0);
  EXPECT_EQ(s.Read().phone, "123");

  // A run of reads (as a view makes) holds apart from what SEND asked for:
  // ending it leaves the SEND's hold on.
  ASSERT_EQ(s.Run(kOpSend, {Argument::Text("READHOLD=ON"), Argument::TextAnswer(&reply)}), 0);
  s.HoldReads(true);
  s.HoldReads(false);
  ASSERT_EQ(s.Run(kOpSend, {Argument::Text("READHOLD"), Argument::TextAnswer(&reply)}), 0);
  EXPECT_EQ(reply, "ON");
  s.HoldReads(true);
  ASSERT_EQ(s.Run(kOpSend, {Argument::Text("READHOLD=OFF"), Argument::TextAnswer(&reply)}), 0);
  EXPECT_EQ(reply, "ON");  // the run's hold goes on
  s.HoldReads(false);
  ASSERT_EQ(s.Run(kOpSend, {Argument::Text("READHOLD"), Argument::TextAnswer(&reply)}), 0);
  EXPECT_EQ(reply, "OFF");

  // A hold left on is given up with the control block's close.
  ASSERT_EQ(s.Run(kOpSend, {Argument::Text("READHOLD=ON"), Argument::TextAnswer(&reply)}), 0);
  ASSERT_EQ(s.GetByName("Adams"), 0);
  ASSERT_EQ(s.Run(kOpClose), 0);
  child = Start("ChangeRecord", {file_, "Adams", "777", "Davis"});
  EXPECT_EQ(Finish(child.get()), 0);
}

TEST_F(BkfDriverLockTest, WatchedPutAfterAnotherProcessChangedTheRecordChangesNothing) {
  Station s(file_);
  ASSERT_EQ(s.Open(), 0);
  EXPECT_EQ(s.Records(), 3);
  ASSERT_EQ(s.Run(kOpWatch), 0);
  ASSERT_EQ(s.GetByName("Baker"), 0);

  auto child = Start("ChangeRecord", {file_, "Baker", "123", "Clark"});
  ASSERT_EQ(Finish(child.get()), 0);

  // The other process's commit is seen at the next access.
  EXPECT_EQ(s.Records(), 4);
  Customer mine = s.Read();
  mine.suburb = "Ryde";
  s.Fill(mine);
  EXPECT_EQ(s.Run(kOpPut), kErrRecordChanged);
  ASSERT_EQ(s.GetByName("Baker"), 0);
  EXPECT_EQ(s.Read().phone, "123");
  EXPECT_EQ(s.Read().suburb, "Kew");

  // Watched afresh, the record can be written.
  ASSERT_EQ(s.Run(kOpWatch), 0);
  ASSERT_EQ(s.GetByName("Baker"), 0);
  mine = s.Read();
  mine.suburb = "Ryde";
  s.Fill(mine);
  EXPECT_EQ(s.Run(kOpPut), 0);
  ASSERT_EQ(s.Run(kOpClose), 0);
}

TEST_F(BkfDriverLockTest, ThreeProcessesUpdatingAtOnceLoseNothing) {
  constexpr int kRounds = 25;
  std::vector<std::unique_ptr<os::ChildProcess>> children;
  for (const char* letter : {"P", "Q", "R"}) {
    children.push_back(Start("StressStation", {file_, letter, std::to_string(kRounds)}));
  }
  for (auto& child : children) EXPECT_EQ(Finish(child.get()), 0);

  Station s(file_);
  ASSERT_EQ(s.Open(), 0);
  ASSERT_EQ(s.GetByName("COUNTER"), 0);
  EXPECT_EQ(s.Read().start, 3 * kRounds);
  EXPECT_EQ(s.Records(), 3 + 3 * kRounds);
  int walked = 0;
  int done = 0;
  ASSERT_EQ(s.Run(kOpSetFile), 0);
  while (s.Run(kOpNext) == 0) {
    ++walked;
    if (s.Read().phone == "done") ++done;
  }
  EXPECT_EQ(walked, 3 + 3 * kRounds);
  EXPECT_EQ(done, 3 * kRounds);
  for (const char* letter : {"P", "Q", "R"}) {
    for (int i = 0; i < kRounds; ++i) {
      EXPECT_EQ(s.GetByName(letter + std::to_string(i)), 0) << letter << i;
    }
  }
  int64_t by_name = -1;
  ASSERT_EQ(s.Run(kOpRecordsKey, {Argument::Key(&kCustomerKeys[0]),
                                  Argument::NumberAnswer(&by_name)}),
            0);
  EXPECT_EQ(by_name, 3 + 3 * kRounds);
  ASSERT_EQ(s.Run(kOpClose), 0);

  std::unique_ptr<BriskenFile> f;
  ASSERT_TRUE(BriskenFile::Open(file_ + ".BKF", 0x40, &f).ok());
  TreeReport report;
  EXPECT_TRUE(CheckTree(&f->pager(), true, &report).ok()) << report.problem;
  EXPECT_EQ(report.problem, "");
  EXPECT_TRUE(f->Close().ok());
}

}  // namespace
}  // namespace korvex::brisken
