#include "runtime/os/fault_injecting_file.h"

#include <gtest/gtest.h>

#include <thread>

namespace korvex::os {
namespace {

std::string Read(File* f, uint64_t offset, size_t len) {
  std::string out(len, '\0');
  size_t got = 0;
  EXPECT_TRUE(f->ReadAt(offset, out.data(), len, &got).ok());
  out.resize(got);
  return out;
}

TEST(FaultDiskTest, PowerLossKeepsOnlyFlushedWrites) {
  auto disk = std::make_shared<FaultDisk>("0123456789");
  auto f = disk->Open();
  ASSERT_TRUE(f->WriteAt(0, "ab", 2).ok());
  ASSERT_TRUE(f->Flush().ok());
  ASSERT_TRUE(f->WriteAt(8, "XYZW", 4).ok());  // extends the file
  ASSERT_TRUE(f->Truncate(5).ok());
  EXPECT_EQ(Read(f.get(), 0, 100), "ab234");
  EXPECT_EQ(disk->durable(), "ab23456789");
  EXPECT_EQ(disk->points(), 4);
  EXPECT_EQ(disk->trace(), "wfwt");

  disk->PowerOff();
  size_t got = 0;
  char c;
  EXPECT_EQ(f->ReadAt(0, &c, 1, &got).kind(), ErrorKind::Io);
  disk->PowerOn();
  EXPECT_EQ(f->Flush().kind(), ErrorKind::Io);  // a handle from before the loss stays dead
  auto g = disk->Open();
  EXPECT_EQ(Read(g.get(), 0, 100), "ab23456789");
}

TEST(FaultDiskTest, PlannedCrashHappensInsteadOfTheChosenPointAndStopsEverything) {
  auto disk = std::make_shared<FaultDisk>();
  auto f = disk->Open();
  disk->CrashAtPoint(3);
  ASSERT_TRUE(f->WriteAt(0, "aa", 2).ok());  // point 1
  ASSERT_TRUE(f->Flush().ok());              // point 2
  EXPECT_EQ(f->WriteAt(2, "bb", 2).kind(), ErrorKind::Io);  // point 3: power fails
  EXPECT_TRUE(disk->powered_off());
  EXPECT_EQ(f->WriteAt(4, "cc", 2).kind(), ErrorKind::Io);
  disk->PowerOn();
  EXPECT_EQ(disk->durable(), "aa");
  EXPECT_EQ(disk->points(), 0);

  // Crashing at a flush loses what it would have made durable.
  auto g = disk->Open();
  disk->CrashAtPoint(2);
  ASSERT_TRUE(g->WriteAt(0, "zz", 2).ok());
  EXPECT_FALSE(g->Flush().ok());
  disk->PowerOn();
  EXPECT_EQ(disk->durable(), "aa");
}

TEST(FaultDiskTest, FailedCallHasNoEffectAndLaterCallsWork) {
  auto disk = std::make_shared<FaultDisk>("abcd");
  auto f = disk->Open();
  disk->FailCall(2, ErrorKind::DiskFull);
  EXPECT_EQ(Read(f.get(), 0, 4), "abcd");                           // call 1
  EXPECT_EQ(f->WriteAt(0, "XX", 2).kind(), ErrorKind::DiskFull);   // call 2
  EXPECT_TRUE(f->WriteAt(2, "YY", 2).ok());                         // call 3
  EXPECT_EQ(Read(f.get(), 0, 4), "abYY");
  EXPECT_FALSE(disk->powered_off());
  EXPECT_EQ(disk->calls(), 4);
}

TEST(FaultDiskTest, TornPowerLossKeepsWholeBlocksOfUnflushedWrites) {
  std::string zeros(256, '.');
  bool some_kept = false, some_lost = false;
  for (uint32_t seed = 1; seed < 20; ++seed) {
    auto disk = std::make_shared<FaultDisk>(zeros);
    disk->SetTearing(true, seed);
    auto f = disk->Open();
    ASSERT_TRUE(f->WriteAt(32, std::string(192, 'w').data(), 192).ok());  // blocks 0..3, the first and last partly
    disk->PowerOff();
    disk->PowerOn();
    std::string d = disk->durable();
    ASSERT_EQ(d.size(), 256u);
    EXPECT_EQ(d.substr(0, 32), zeros.substr(0, 32));
    for (size_t b = 0; b < 4; ++b) {
      size_t from = b == 0 ? 32 : b * 64, to = b == 3 ? 224 : (b + 1) * 64;
      std::string part = d.substr(from, to - from);
      bool kept = part == std::string(to - from, 'w');
      EXPECT_TRUE(kept || part == zeros.substr(from, to - from)) << "block " << b << " mixed";
      (kept ? some_kept : some_lost) = true;
    }
  }
  EXPECT_TRUE(some_kept && some_lost);
}

TEST(FaultDiskTest, LocksOfHandlesContendAndAreFreedWithTheHandle) {
  auto disk = std::make_shared<FaultDisk>();
  auto a = disk->Open();
  auto b = disk->Open();
  ASSERT_TRUE(a->TryLock(100, 10).ok());
  EXPECT_EQ(b->TryLock(105, 1).kind(), ErrorKind::LockViolation);
  EXPECT_EQ(a->TryLock(100, 1).kind(), ErrorKind::LockViolation);  // own overlap refused
  ASSERT_TRUE(b->TryLock(110, 1).ok());
  std::thread waiter([&] { EXPECT_TRUE(b->Lock(100, 1).ok()); });
  ASSERT_TRUE(a->Unlock(100, 10).ok());
  waiter.join();
  EXPECT_FALSE(a->Unlock(100, 10).ok());
  b.reset();
  EXPECT_TRUE(a->TryLock(100, 11).ok());
}

}  // namespace
}  // namespace korvex::os
