#include "runtime/os/file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "runtime/os/file_ranges.h"
#include "runtime/os/temp_dir.h"

namespace korvex::os {
namespace {

constexpr uint64_t kLockBase = 0x80000000u;

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }

  std::unique_ptr<File> Open(const std::string& name, Access access, Share share,
                             Disposition disposition = Disposition::OpenAlways) {
    std::unique_ptr<File> file;
    Status s = OpenFile(dir_.File(name), access, share, disposition, &file);
    EXPECT_TRUE(s.ok()) << name << ": " << s.Text();
    return file;
  }

  ErrorKind OpenKind(const std::string& name, Access access, Share share,
                     Disposition disposition = Disposition::OpenAlways) {
    std::unique_ptr<File> file;
    Status s = OpenFile(dir_.File(name), access, share, disposition, &file);
    EXPECT_EQ(s.ok(), file != nullptr);
    return s.kind();
  }

  void WriteText(File* file, uint64_t offset, const std::string& text) {
    ASSERT_TRUE(file->WriteAt(offset, text.data(), text.size()).ok());
  }

  std::string ReadText(File* file, uint64_t offset, size_t len) {
    std::string out(len, '\0');
    size_t got = 99;
    Status s = file->ReadAt(offset, out.data(), len, &got);
    EXPECT_TRUE(s.ok()) << s.Text();
    out.resize(got);
    return out;
  }

  TempDir dir_{"korvex-os"};
};

TEST_F(FileTest, WritesReadsAndShortReadsAtEnd) {
  auto file = Open("a.dat", Access::ReadWrite, Share::DenyNone, Disposition::CreateNew);
  ASSERT_TRUE(file);
  WriteText(file.get(), 0, "hello");
  WriteText(file.get(), 10, "world");  // leaves a hole of zeros
  uint64_t size = 0;
  ASSERT_TRUE(file->Size(&size).ok());
  EXPECT_EQ(size, 15u);
  EXPECT_EQ(ReadText(file.get(), 0, 15), std::string("hello\0\0\0\0\0world", 15));
  EXPECT_EQ(ReadText(file.get(), 12, 100), "rld");  // short at end of file
  EXPECT_EQ(ReadText(file.get(), 15, 10), "");       // at end of file
  EXPECT_EQ(ReadText(file.get(), 1000, 10), "");     // past end of file
  ASSERT_TRUE(file->Flush().ok());
}

TEST_F(FileTest, SparseWritesBeyondFourGigabytes) {
  auto file = Open("big.dat", Access::ReadWrite, Share::DenyNone);
  ASSERT_TRUE(file);
  const uint64_t far = (uint64_t{5} << 30) + 3;  // 5 GiB + 3
  Status s = file->WriteAt(far, "tail", 4);
  if (s.kind() == ErrorKind::DiskFull) GTEST_SKIP() << "file system refuses large files";
  ASSERT_TRUE(s.ok()) << s.Text();
  uint64_t size = 0;
  ASSERT_TRUE(file->Size(&size).ok());
  EXPECT_EQ(size, far + 4);
  EXPECT_EQ(ReadText(file.get(), far - 2, 10), std::string("\0\0tail", 6));
  ASSERT_TRUE(file->Truncate(far + 2).ok());
  EXPECT_EQ(ReadText(file.get(), far, 10), "ta");
  ASSERT_TRUE(file->Truncate(8).ok());
  ASSERT_TRUE(file->Size(&size).ok());
  EXPECT_EQ(size, 8u);
}

TEST_F(FileTest, TruncateShrinksAndGrows) {
  auto file = Open("t.dat", Access::ReadWrite, Share::DenyNone);
  ASSERT_TRUE(file);
  WriteText(file.get(), 0, "0123456789");
  ASSERT_TRUE(file->Truncate(4).ok());
  EXPECT_EQ(ReadText(file.get(), 0, 10), "0123");
  ASSERT_TRUE(file->Truncate(6).ok());
  EXPECT_EQ(ReadText(file.get(), 0, 10), std::string("0123\0\0", 6));
}

TEST_F(FileTest, AccessIsEnforcedPerHandle) {
  auto writer = Open("w.dat", Access::Write, Share::DenyNone);
  ASSERT_TRUE(writer);
  WriteText(writer.get(), 0, "abc");
  char c;
  size_t got = 7;
  EXPECT_EQ(writer->ReadAt(0, &c, 1, &got).kind(), ErrorKind::AccessDenied);
  EXPECT_EQ(got, 0u);

  auto reader = Open("w.dat", Access::Read, Share::DenyNone, Disposition::OpenExisting);
  ASSERT_TRUE(reader);
  EXPECT_EQ(ReadText(reader.get(), 0, 3), "abc");
  EXPECT_EQ(reader->WriteAt(0, "x", 1).kind(), ErrorKind::AccessDenied);
  EXPECT_EQ(reader->Truncate(0).kind(), ErrorKind::AccessDenied);
}

TEST_F(FileTest, DispositionsAndMissingFiles) {
  EXPECT_EQ(OpenKind("none.dat", Access::Read, Share::DenyNone, Disposition::OpenExisting),
            ErrorKind::NotFound);
  EXPECT_EQ(OpenKind("nodir/x.dat", Access::ReadWrite, Share::DenyNone, Disposition::OpenAlways),
            ErrorKind::PathNotFound);
  {
    auto file = Open("d.dat", Access::ReadWrite, Share::DenyNone, Disposition::CreateNew);
    ASSERT_TRUE(file);
    WriteText(file.get(), 0, "keep");
  }
  EXPECT_EQ(OpenKind("d.dat", Access::ReadWrite, Share::DenyNone, Disposition::CreateNew),
            ErrorKind::Exists);
  {
    auto file = Open("d.dat", Access::ReadWrite, Share::DenyNone, Disposition::OpenAlways);
    ASSERT_TRUE(file);
    EXPECT_EQ(ReadText(file.get(), 0, 10), "keep");
  }
  {
    auto file = Open("d.dat", Access::ReadWrite, Share::DenyNone, Disposition::CreateAlways);
    ASSERT_TRUE(file);
    EXPECT_EQ(ReadText(file.get(), 0, 10), "");
  }
  // A directory is no file.
  std::unique_ptr<File> dir;
  EXPECT_EQ(OpenFile(dir_.path(), Access::Read, Share::DenyNone, Disposition::OpenExisting, &dir)
                .kind(),
            ErrorKind::AccessDenied);
  EXPECT_FALSE(dir);
  EXPECT_FALSE(FileExists(dir_.path()));
}

TEST_F(FileTest, DeleteRenameCopyAndExists) {
  EXPECT_EQ(DeleteFile(dir_.File("missing")).kind(), ErrorKind::NotFound);
  EXPECT_FALSE(FileExists(dir_.File("missing")));
  {
    auto a = Open("a", Access::Write, Share::DenyNone, Disposition::CreateNew);
    ASSERT_TRUE(a);
    WriteText(a.get(), 0, "first");
    auto b = Open("b", Access::Write, Share::DenyNone, Disposition::CreateNew);
    ASSERT_TRUE(b);
    WriteText(b.get(), 0, "second file");
  }
  EXPECT_TRUE(FileExists(dir_.File("a")));

  ASSERT_TRUE(RenameFile(dir_.File("a"), dir_.File("b")).ok());  // replaces b
  EXPECT_FALSE(FileExists(dir_.File("a")));
  {
    auto b = Open("b", Access::Read, Share::DenyNone, Disposition::OpenExisting);
    ASSERT_TRUE(b);
    EXPECT_EQ(ReadText(b.get(), 0, 100), "first");
  }
  EXPECT_EQ(RenameFile(dir_.File("a"), dir_.File("c")).kind(), ErrorKind::NotFound);

  {
    auto c = Open("c", Access::Write, Share::DenyNone, Disposition::CreateNew);
    ASSERT_TRUE(c);
    WriteText(c.get(), 0, "a longer text than first");
  }
  ASSERT_TRUE(CopyFile(dir_.File("b"), dir_.File("c")).ok());  // replaces c
  {
    auto c = Open("c", Access::Read, Share::DenyNone, Disposition::OpenExisting);
    ASSERT_TRUE(c);
    EXPECT_EQ(ReadText(c.get(), 0, 100), "first");
  }
  EXPECT_TRUE(FileExists(dir_.File("b")));
  EXPECT_EQ(CopyFile(dir_.File("missing"), dir_.File("d")).kind(), ErrorKind::NotFound);
  EXPECT_FALSE(FileExists(dir_.File("d")));

  // Copying a file onto itself must not destroy it.
  EXPECT_FALSE(CopyFile(dir_.File("b"), dir_.File("b")).ok());
  {
    auto b = Open("b", Access::Read, Share::DenyNone, Disposition::OpenExisting);
    ASSERT_TRUE(b);
    EXPECT_EQ(ReadText(b.get(), 0, 100), "first");
  }

  ASSERT_TRUE(DeleteFile(dir_.File("b")).ok());
  EXPECT_FALSE(FileExists(dir_.File("b")));
}

TEST_F(FileTest, OpenFilesCannotBeDeletedOrRenamedButCopied) {
  auto held = Open("held", Access::ReadWrite, Share::DenyNone);
  ASSERT_TRUE(held);
  WriteText(held.get(), 0, "held text");
  EXPECT_EQ(DeleteFile(dir_.File("held")).kind(), ErrorKind::SharingViolation);
  EXPECT_EQ(RenameFile(dir_.File("held"), dir_.File("other")).kind(),
            ErrorKind::SharingViolation);
  EXPECT_TRUE(FileExists(dir_.File("held")));
  EXPECT_FALSE(FileExists(dir_.File("other")));

  // A copy reads an open source and may replace an open target.
  ASSERT_TRUE(CopyFile(dir_.File("held"), dir_.File("copy")).ok());
  auto copy = Open("copy", Access::Read, Share::DenyNone, Disposition::OpenExisting);
  ASSERT_TRUE(copy);
  EXPECT_EQ(ReadText(copy.get(), 0, 100), "held text");
  WriteText(held.get(), 0, "HELD");
  ASSERT_TRUE(CopyFile(dir_.File("held"), dir_.File("copy")).ok());
  EXPECT_EQ(ReadText(copy.get(), 0, 100), "HELD text");

  // Renaming onto an open file is refused and leaves both.
  {
    auto spare = Open("spare", Access::Write, Share::DenyNone, Disposition::CreateNew);
    ASSERT_TRUE(spare);
  }
  EXPECT_EQ(RenameFile(dir_.File("spare"), dir_.File("copy")).kind(), ErrorKind::AccessDenied);
  EXPECT_TRUE(FileExists(dir_.File("spare")));
  EXPECT_EQ(ReadText(copy.get(), 0, 100), "HELD text");

  held.reset();
  EXPECT_TRUE(DeleteFile(dir_.File("held")).ok());
}

TEST_F(FileTest, DirectoriesAreNoFiles) {
  EXPECT_EQ(DeleteFile(dir_.path()).kind(), ErrorKind::AccessDenied);
  {
    auto f = Open("f", Access::Write, Share::DenyNone, Disposition::CreateNew);
    ASSERT_TRUE(f);
  }
  EXPECT_EQ(RenameFile(dir_.File("f"), dir_.path()).kind(), ErrorKind::AccessDenied);
  EXPECT_TRUE(FileExists(dir_.File("f")));
  EXPECT_EQ(DeleteFile(dir_.File("nodir/f")).kind(), ErrorKind::PathNotFound);
}

TEST_F(FileTest, DenyWriteRefusesWritersButAdmitsReaders) {
  auto first = Open("s", Access::ReadWrite, Share::DenyWrite);
  ASSERT_TRUE(first);
  EXPECT_EQ(OpenKind("s", Access::ReadWrite, Share::DenyNone), ErrorKind::SharingViolation);
  EXPECT_EQ(OpenKind("s", Access::Write, Share::DenyNone), ErrorKind::SharingViolation);
  // A reader is admitted only when it lets the existing writer keep writing.
  EXPECT_EQ(OpenKind("s", Access::Read, Share::DenyWrite), ErrorKind::SharingViolation);
  auto reader = Open("s", Access::Read, Share::DenyNone);
  EXPECT_TRUE(reader);
  first.reset();
  // With the deny-write opener gone a writer is admitted beside the reader.
  EXPECT_EQ(OpenKind("s", Access::ReadWrite, Share::DenyNone), ErrorKind::None);
}

TEST_F(FileTest, SharingModesFollowTheWin32Rules) {
  struct Case {
    Access first_access;
    Share first_share;
    Access second_access;
    Share second_share;
    bool admitted;
  };
  const Case cases[] = {
      {Access::ReadWrite, Share::DenyNone, Access::ReadWrite, Share::DenyNone, true},
      {Access::Read, Share::DenyNone, Access::Read, Share::DenyWrite, true},
      {Access::Write, Share::DenyNone, Access::Read, Share::DenyWrite, false},
      {Access::Read, Share::DenyRead, Access::Read, Share::DenyNone, false},
      {Access::Read, Share::DenyRead, Access::Write, Share::DenyNone, true},
      {Access::Write, Share::DenyNone, Access::Write, Share::DenyRead, true},
      {Access::Read, Share::DenyNone, Access::Write, Share::DenyRead, false},
      {Access::Read, Share::DenyAll, Access::Read, Share::DenyNone, false},
      {Access::Write, Share::DenyAll, Access::Write, Share::DenyNone, false},
      {Access::Write, Share::DenyNone, Access::Read, Share::DenyAll, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    char name[16];
    std::snprintf(name, sizeof name, "m%d", n++);
    auto first = Open(name, c.first_access, c.first_share);
    ASSERT_TRUE(first);
    ErrorKind kind = OpenKind(name, c.second_access, c.second_share);
    EXPECT_EQ(kind, c.admitted ? ErrorKind::None : ErrorKind::SharingViolation) << "case " << n;
  }
}

TEST_F(FileTest, ConcurrentExclusiveOpenersExcludeEachOther) {
  { ASSERT_TRUE(Open("race", Access::ReadWrite, Share::DenyNone)); }
  const std::string path = dir_.File("race");
  std::atomic<int> inside{0};
  std::atomic<int> admitted{0};
  std::atomic<bool> overlap{false};
  auto run = [&] {
    for (int i = 0; i < 200; ++i) {
      std::unique_ptr<File> file;
      Status s = OpenFile(path, Access::ReadWrite, Share::DenyAll, Disposition::OpenExisting,
                          &file);
      if (!s.ok()) {
        if (s.kind() != ErrorKind::SharingViolation) overlap = true;
        continue;
      }
      if (inside.fetch_add(1) != 0) overlap = true;
      ++admitted;
      inside.fetch_sub(1);
    }
  };
  std::thread t1(run), t2(run), t3(run);
  run();
  t1.join();
  t2.join();
  t3.join();
  EXPECT_FALSE(overlap.load());
  EXPECT_GT(admitted.load(), 0);
}

TEST_F(FileTest, RefusedCreateAlwaysLeavesContents) {
  auto first = Open("keep", Access::ReadWrite, Share::DenyWrite);
  ASSERT_TRUE(first);
  WriteText(first.get(), 0, "precious");
  EXPECT_EQ(OpenKind("keep", Access::ReadWrite, Share::DenyNone, Disposition::CreateAlways),
            ErrorKind::SharingViolation);
  EXPECT_EQ(ReadText(first.get(), 0, 100), "precious");
}

TEST_F(FileTest, HandlesOfOneProcessContendForLocks) {
  auto a = Open("l", Access::ReadWrite, Share::DenyNone);
  auto b = Open("l", Access::ReadWrite, Share::DenyNone);
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(a->TryLock(kLockBase + 5, 1).ok());
  EXPECT_EQ(b->TryLock(kLockBase + 5, 1).kind(), ErrorKind::LockViolation);
  EXPECT_EQ(b->TryLock(kLockBase, 1023).kind(), ErrorKind::LockViolation);
  EXPECT_TRUE(b->TryLock(kLockBase + 6, 1).ok());  // the neighbour is free
  ASSERT_TRUE(a->Unlock(kLockBase + 5, 1).ok());
  EXPECT_TRUE(b->TryLock(kLockBase + 5, 1).ok());
  EXPECT_EQ(a->TryLock(kLockBase + 5, 1).kind(), ErrorKind::LockViolation);
  ASSERT_TRUE(b->Unlock(kLockBase + 5, 1).ok());
  ASSERT_TRUE(b->Unlock(kLockBase + 6, 1).ok());
  EXPECT_TRUE(a->TryLock(kLockBase, 1023).ok());
}

TEST_F(FileTest, LocksAtLargeOffsetsAndOnReadOnlyHandles) {
  auto reader = Open("big", Access::Read, Share::DenyNone);
  auto writer = Open("big", Access::ReadWrite, Share::DenyNone);
  ASSERT_TRUE(reader && writer);
  const uint64_t far = uint64_t{3} << 40;  // far past 32 bits
  ASSERT_TRUE(reader->TryLock(far, 16).ok());
  EXPECT_EQ(writer->TryLock(far + 15, 2).kind(), ErrorKind::LockViolation);
  EXPECT_TRUE(writer->TryLock(far + 16, 1).ok());
  // Locks on a read-only handle are exclusive too.
  auto reader2 = Open("big", Access::Read, Share::DenyNone);
  ASSERT_TRUE(reader2);
  EXPECT_EQ(reader2->TryLock(far, 1).kind(), ErrorKind::LockViolation);
  ASSERT_TRUE(reader->Unlock(far, 16).ok());
  EXPECT_TRUE(reader2->TryLock(far, 1).ok());
  // The top of the lockable range.
  EXPECT_TRUE(writer->TryLock(kLockLimit - 1, 1).ok());
}

TEST_F(FileTest, RejectsUnsoundLockRequests) {
  auto a = Open("r", Access::ReadWrite, Share::DenyNone);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->TryLock(kLockBase, 0).kind(), ErrorKind::InvalidArgument);
  EXPECT_EQ(a->TryLock(kLockLimit, 1).kind(), ErrorKind::InvalidArgument);
  EXPECT_EQ(a->TryLock(~uint64_t{0}, 2).kind(), ErrorKind::InvalidArgument);
  EXPECT_EQ(a->Unlock(kLockBase, 1).kind(), ErrorKind::InvalidArgument);  // not held
  ASSERT_TRUE(a->TryLock(kLockBase, 4).ok());
  // Asking again for a held byte through the same handle is refused, never a
  // wait on oneself; and only exactly the held range unlocks.
  EXPECT_EQ(a->TryLock(kLockBase + 1, 1).kind(), ErrorKind::LockViolation);
  EXPECT_EQ(a->Lock(kLockBase + 3, 2).kind(), ErrorKind::LockViolation);
  EXPECT_EQ(a->Unlock(kLockBase, 2).kind(), ErrorKind::InvalidArgument);
  auto b = Open("r", Access::ReadWrite, Share::DenyNone);
  ASSERT_TRUE(b);
  EXPECT_EQ(b->TryLock(kLockBase + 3, 1).kind(), ErrorKind::LockViolation);
  ASSERT_TRUE(a->Unlock(kLockBase, 4).ok());
  EXPECT_TRUE(b->TryLock(kLockBase + 3, 1).ok());
  // Offsets past what either platform addresses.
  char c = 0;
  size_t got = 0;
  EXPECT_EQ(a->ReadAt(kMaxFileOffset, &c, 1, &got).kind(), ErrorKind::InvalidArgument);
  EXPECT_EQ(a->WriteAt(~uint64_t{0}, &c, 1).kind(), ErrorKind::InvalidArgument);
}

TEST_F(FileTest, WaitingLockReturnsOnceHolderUnlocks) {
  auto holder = Open("w", Access::ReadWrite, Share::DenyNone);
  auto waiter = Open("w", Access::ReadWrite, Share::DenyNone);
  ASSERT_TRUE(holder && waiter);
  ASSERT_TRUE(holder->Lock(kLockBase + 1023, 1).ok());
  std::atomic<bool> acquired{false};
  Status waited;
  std::thread thread([&] {
    waited = waiter->Lock(kLockBase + 1023, 1);
    acquired = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(acquired.load());
  ASSERT_TRUE(holder->Unlock(kLockBase + 1023, 1).ok());
  thread.join();
  EXPECT_TRUE(waited.ok()) << waited.Text();
  EXPECT_EQ(holder->TryLock(kLockBase + 1023, 1).kind(), ErrorKind::LockViolation);
}

TEST_F(FileTest, ClosingAHandleFreesItsLocks) {
  auto a = Open("c", Access::ReadWrite, Share::DenyNone);
  auto b = Open("c", Access::ReadWrite, Share::DenyNone);
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(a->TryLock(kLockBase, 1).ok());
  EXPECT_EQ(b->TryLock(kLockBase, 1).kind(), ErrorKind::LockViolation);
  a.reset();
  EXPECT_TRUE(b->TryLock(kLockBase, 1).ok());
}

}  // namespace
}  // namespace korvex::os
