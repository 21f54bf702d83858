#include "runtime/os/child_process.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "runtime/os/file.h"
#include "runtime/os/process.h"
#include "runtime/os/temp_dir.h"

namespace korvex::os {
namespace {

constexpr int kTimeoutMs = 20000;
constexpr uint64_t kLockByte = 0x80000000u + 1024 + 7;

// args: exit code to return, then any words to echo into a file.
KORVEX_CHILD(EchoArgs) {
  if (args.size() >= 2) {
    std::unique_ptr<File> file;
    if (!OpenFile(args[1], Access::Write, Share::DenyNone, Disposition::CreateAlways, &file).ok())
      return 2;
    std::string text;
    for (size_t i = 2; i < args.size(); ++i) text.append(args[i]).push_back('|');
    if (!file->WriteAt(0, text.data(), text.size()).ok()) return 3;
  }
  return args.empty() ? 1 : std::atoi(args[0].c_str());
}

// args: data file, "ready" file to create once holding, "release" file to wait for.
// Holds the file open with deny-write and one lock byte until released.
KORVEX_CHILD(HoldLock) {
  if (args.size() != 3) return 10;
  std::unique_ptr<File> file;
  if (!OpenFile(args[0], Access::ReadWrite, Share::DenyWrite, Disposition::OpenAlways, &file).ok())
    return 11;
  if (!file->Lock(kLockByte, 1).ok()) return 12;
  if (!TouchFile(args[1]).ok()) return 13;
  if (!WaitForFile(args[2], kTimeoutMs)) return 14;
  if (!file->Unlock(kLockByte, 1).ok()) return 15;
  return 0;
}

TEST(ChildProcessTest, PassesArgumentsAndExitCode) {
  TempDir dir("korvex-child");
  ASSERT_TRUE(dir.ok());
  std::string out = dir.File("echo.txt");
  std::unique_ptr<ChildProcess> child;
  ASSERT_TRUE(ChildProcess::Start("EchoArgs", {"7", out, "two words", "", "a\"q\\"}, &child).ok());
  int code = -1;
  ASSERT_TRUE(child->Wait(kTimeoutMs, &code));
  EXPECT_EQ(code, 7);
  std::unique_ptr<File> file;
  ASSERT_TRUE(OpenFile(out, Access::Read, Share::DenyNone, Disposition::OpenExisting, &file).ok());
  char text[64] = {};
  size_t got = 0;
  ASSERT_TRUE(file->ReadAt(0, text, sizeof text - 1, &got).ok());
  EXPECT_STREQ(text, "two words||a\"q\\|");
}

TEST(ChildProcessTest, UnknownRoleEndsWithNotFound) {
  std::unique_ptr<ChildProcess> child;
  ASSERT_TRUE(ChildProcess::Start("NoSuchRole", {}, &child).ok());
  int code = -1;
  ASSERT_TRUE(child->Wait(kTimeoutMs, &code));
  EXPECT_EQ(code, kChildNotFound);
}

TEST(ChildProcessTest, ProgramPathNamesThisProgram) {
  std::string path = ProgramPath();
  EXPECT_TRUE(FileExists(path)) << path;
  EXPECT_NE(path.find("os_test"), std::string::npos) << path;
}

TEST(ChildProcessTest, ProcessesContendForSharingAndLocks) {
  TempDir dir("korvex-child");
  ASSERT_TRUE(dir.ok());
  std::string data = dir.File("data.bkf");
  std::string ready = dir.File("ready");
  std::string release = dir.File("release");
  std::unique_ptr<ChildProcess> child;
  ASSERT_TRUE(ChildProcess::Start("HoldLock", {data, ready, release}, &child).ok());
  ASSERT_TRUE(WaitForFile(ready, kTimeoutMs));

  std::unique_ptr<File> file;
  EXPECT_EQ(OpenFile(data, Access::ReadWrite, Share::DenyNone, Disposition::OpenExisting, &file)
                .kind(),
            ErrorKind::SharingViolation);
  ASSERT_TRUE(OpenFile(data, Access::Read, Share::DenyNone, Disposition::OpenExisting, &file).ok());
  EXPECT_EQ(file->TryLock(kLockByte, 1).kind(), ErrorKind::LockViolation);
  EXPECT_TRUE(file->TryLock(kLockByte + 1, 1).ok());

  ASSERT_TRUE(TouchFile(release).ok());
  // Returns once the child lets go of the byte.
  Status locked = file->Lock(kLockByte, 1);
  EXPECT_TRUE(locked.ok()) << locked.Text();
  int code = -1;
  ASSERT_TRUE(child->Wait(kTimeoutMs, &code));
  EXPECT_EQ(code, 0);
}

TEST(ChildProcessTest, ExitOfAProcessFreesItsLocks) {
  TempDir dir("korvex-child");
  ASSERT_TRUE(dir.ok());
  std::string data = dir.File("data.bkf");
  std::unique_ptr<ChildProcess> child;
  ASSERT_TRUE(ChildProcess::Start("HoldLock", {data, dir.File("ready"), dir.File("never")}, &child)
                  .ok());
  ASSERT_TRUE(WaitForFile(dir.File("ready"), kTimeoutMs));
  child->Kill();  // ends it while it holds the byte
  std::unique_ptr<File> file;
  ASSERT_TRUE(OpenFile(data, Access::ReadWrite, Share::DenyNone, Disposition::OpenExisting, &file)
                  .ok());
  EXPECT_TRUE(file->TryLock(kLockByte, 1).ok());
}

}  // namespace
}  // namespace korvex::os
