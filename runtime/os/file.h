// Files with positional I/O, sharing modes and per-handle byte-range locks.
// The one interface that the data layer uses to reach the disk; the posix and
// win32 implementations behave alike, and tests may substitute their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "runtime/os/status.h"

#ifdef _WIN32
// Our functions, not the <windows.h> macros of the same names.
#undef DeleteFile
#undef CopyFile
#endif

namespace korvex::os {

enum class Access { Read, Write, ReadWrite };

// What this opener refuses to other openers of the same file (Win32 semantics).
enum class Share { DenyNone, DenyRead, DenyWrite, DenyAll };

enum class Disposition {
  OpenExisting,  // fails with NotFound when missing
  CreateNew,     // fails with Exists when present
  CreateAlways,  // creates or truncates
  OpenAlways,    // opens or creates
};

// One open handle. Locks belong to the handle: two handles in one process
// contend for a byte exactly as two processes do.
class File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  virtual ~File() = default;

  // Reads up to len bytes at offset; *got receives the count (short at end of file).
  virtual Status ReadAt(uint64_t offset, void* buffer, size_t len, size_t* got) = 0;
  // Writes all len bytes at offset, extending the file when needed.
  virtual Status WriteAt(uint64_t offset, const void* data, size_t len) = 0;
  // Forces written data to stable storage.
  virtual Status Flush() = 0;
  virtual Status Truncate(uint64_t size) = 0;
  virtual Status Size(uint64_t* size) = 0;

  // Exclusive lock of [offset, offset+len). TryLock fails at once with
  // LockViolation when another handle holds an overlapping lock; Lock waits.
  virtual Status TryLock(uint64_t offset, uint64_t len) = 0;
  virtual Status Lock(uint64_t offset, uint64_t len) = 0;
  // REQUIRES: exactly this range was locked through this handle.
  virtual Status Unlock(uint64_t offset, uint64_t len) = 0;
};

// Opens the platform file at path. On a sharing conflict returns SharingViolation.
Status OpenFile(const std::string& path, Access access, Share share, Disposition disposition,
                std::unique_ptr<File>* out);

// Tests and benchmarks: every file OpenFile opens from now on is handed to the
// wrapper, which answers the file to use in its place (one that counts calls or
// stands for a disk that can fail). An empty wrapper removes it.
using FileWrapper =
    std::function<std::unique_ptr<File>(const std::string& path, std::unique_ptr<File> opened)>;
void SetFileWrapper(FileWrapper wrapper);
// What OpenFile's implementations call on each file they open.
std::unique_ptr<File> WrapOpenedFile(const std::string& path, std::unique_ptr<File> opened);

// Refused with SharingViolation while any handle has the file open.
Status DeleteFile(const std::string& path);
// Replaces to when it exists. Refused while either file is open (an open
// from: SharingViolation; an open to: AccessDenied).
Status RenameFile(const std::string& from, const std::string& to);
// Replaces to when it exists. Either may be open elsewhere; copying a file
// onto itself is refused with SharingViolation.
Status CopyFile(const std::string& from, const std::string& to);
// True for an existing file (not a directory).
bool FileExists(const std::string& path);

#ifdef _WIN32
// <windows.h> turns DeleteFile and CopyFile into macros for its ...A
// functions. Included later, it renames calls of ours to these, which forward.
inline Status DeleteFileA(const std::string& path) { return DeleteFile(path); }
inline Status CopyFileA(const std::string& from, const std::string& to) {
  return CopyFile(from, to);
}
#endif

}  // namespace korvex::os
