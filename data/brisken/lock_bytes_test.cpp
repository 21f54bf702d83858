#include "data/brisken/lock_bytes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "data/brisken/brisken_file.h"
#include "data/brisken/bytes.h"
#include "runtime/os/child_process.h"
#include "runtime/os/fault_injecting_file.h"
#include "runtime/os/temp_dir.h"

namespace korvex::brisken {
namespace {

constexpr uint32_t kShared = 2 | mode::kDenyNone;

Record Make(uint32_t n) {
  Record r;
  r.bytes.assign("\0\0\0\1\xF3", 5);
  char be[4];
  PutBe32(be, n);
  r.bytes.append(be, 4);
  r.header_len = 9;
  r.bytes += "payload";
  return r;
}

// Holds reader slot 7 of the file args[0] until args[2] exists, after
// announcing it in args[1] with the slot number; then, once args[3] exists,
// reads again and expects record 2, which the parent committed meanwhile.
KORVEX_CHILD(HoldReaderSlot) {
  OpenOptions options;
  options.start_slot = 7;
  std::unique_ptr<BriskenFile> f;
  if (!BriskenFile::Open(args[0], kShared, options, &f).ok()) return 10;
  if (!f->LockForRead(true).ok()) return 11;
  if (f->reader_slot() != 7) return 12;
  if (!os::TouchFile(args[1]).ok()) return 13;
  if (!os::WaitForFile(args[2], 20000)) return 14;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  // Announced before letting go, so the parent can tell whether its commit waited.
  if (!os::TouchFile(args[2] + ".released").ok()) return 15;
  f->UnlockAccess();
  if (!os::WaitForFile(args[3], 20000)) return 16;
  if (!f->LockForRead(true).ok()) return 17;
  Record r;
  bool found = false;
  if (!f->Get(Make(2).header(), &r, &found).ok() || !found) return 18;
  f->UnlockAccess();
  return f->Close().ok() ? 0 : 19;
}

TEST(LockBytesTest, RecordLocksDoNotMixWithSlotLocks) {
  auto disk = std::make_shared<os::FaultDisk>();
  auto a = disk->Open();
  auto b = disk->Open();
  LockRequest mixed = LockRequest::Slot(3);
  mixed.record = 12;
  EXPECT_EQ(LockBytes(a.get(), mixed, false).check(), 2328);
  EXPECT_EQ(UnlockBytes(a.get(), mixed).check(), 2352);

  ASSERT_TRUE(LockBytes(a.get(), LockRequest::Slot(1022), false).ok());
  EXPECT_EQ(LockBytes(b.get(), LockRequest::AllSlots(), false).code(), 5);
  EXPECT_TRUE(LockBytes(b.get(), LockRequest::WriteByte(), false).ok());  // beyond the slots
  EXPECT_TRUE(LockBytes(b.get(), LockRequest::Record(0), false).ok());    // beyond the write byte
  EXPECT_EQ(LockBytes(a.get(), LockRequest::Record(0), false).code(), 5);
  ASSERT_TRUE(UnlockBytes(a.get(), LockRequest::Slot(1022)).ok());
  EXPECT_TRUE(LockBytes(b.get(), LockRequest::AllSlots(), false).ok());
}

TEST(LockBytesTest, ReaderSlotsMoveOnAndAWriterHoldsThemAll) {
  auto disk = std::make_shared<os::FaultDisk>();
  OpenOptions at_last;
  at_last.start_slot = 1022;
  std::unique_ptr<BriskenFile> a, b, w;
  ASSERT_TRUE(BriskenFile::Attach(disk->Open(), false, at_last, &a).ok());
  ASSERT_TRUE(BriskenFile::Attach(disk->Open(), false, at_last, &b).ok());
  ASSERT_TRUE(BriskenFile::Attach(disk->Open(), true, &w).ok());
  ASSERT_TRUE(a->LockForRead(false).ok());
  EXPECT_EQ(a->reader_slot(), 1022u);
  // Without waiting the taken slot fails but the next try uses the next slot (wrapping).
  EXPECT_EQ(b->LockForRead(false).code(), 5);
  EXPECT_EQ(b->reader_slot(), 0u);
  ASSERT_TRUE(b->LockForRead(false).ok());
  b->UnlockAccess();

  // The writer waits while a reader is active.
  std::atomic<bool> written{false};
  std::thread writer([&] {
    EXPECT_TRUE(w->LockForWrite().ok());
    bool ok = false;
    EXPECT_TRUE(w->Insert(Make(1), &ok).ok());
    EXPECT_TRUE(w->Commit().ok());
    written = true;
    // Readers are kept out until the access ends.
    EXPECT_EQ(b->LockForRead(false).code(), 5);
    w->UnlockAccess();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(written);
  a->UnlockAccess();
  writer.join();
  EXPECT_TRUE(written);
  // The reader's next access sees the commit.
  ASSERT_TRUE(a->LockForRead(true).ok());
  Record r;
  bool found = false;
  ASSERT_TRUE(a->Get(Make(1).header(), &r, &found).ok());
  EXPECT_TRUE(found);
}

TEST(LockBytesTest, TwoProcessesGetDifferentSlotsAndAWriterWaitsForTheReader) {
  os::TempDir dir("locks");
  ASSERT_TRUE(dir.ok());
  std::string path = dir.File("SHARED.BKF");
  std::unique_ptr<BriskenFile> f;
  OpenOptions same_start;
  same_start.start_slot = 7;  // as if both had started in the same hundredth
  ASSERT_TRUE(BriskenFile::Open(path, kShared | mode::kCreate, same_start, &f).ok());
  bool ok = false;
  ASSERT_TRUE(f->Insert(Make(1), &ok).ok());
  ASSERT_TRUE(f->Commit().ok());

  std::string ready = dir.File("ready"), go = dir.File("go"), committed = dir.File("committed");
  std::unique_ptr<os::ChildProcess> child;
  ASSERT_TRUE(os::ChildProcess::Start("HoldReaderSlot", {path, ready, go, committed}, &child).ok());
  ASSERT_TRUE(os::WaitForFile(ready, 20000));

  ASSERT_TRUE(f->LockForRead(true).ok());
  EXPECT_EQ(f->reader_slot(), 8u);  // slot 7 is the child's
  f->UnlockAccess();

  ASSERT_TRUE(f->Insert(Make(2), &ok).ok());
  ASSERT_TRUE(os::TouchFile(go).ok());
  ASSERT_TRUE(f->Commit().ok());  // waits until the child's reader slot is free
  EXPECT_TRUE(os::FileExists(go + ".released"));
  ASSERT_TRUE(os::TouchFile(committed).ok());
  int code = -1;
  ASSERT_TRUE(child->Wait(30000, &code));
  EXPECT_EQ(code, 0);
  ASSERT_TRUE(f->Close().ok());
}

}  // namespace
}  // namespace korvex::brisken
