// Files on Win32: synchronous handles with explicit offsets in OVERLAPPED, so
// one handle may be used from several threads without a shared file pointer.

#include <windows.h>

#include <vector>

#include "runtime/os/file.h"
#include "runtime/os/file_ranges.h"

namespace korvex::os {
namespace {

// Largest single ReadFile/WriteFile; longer requests are looped.
constexpr DWORD kMaxChunk = DWORD{1} << 30;

ErrorKind KindOfError(DWORD e) {
  switch (e) {
    case ERROR_SUCCESS:
      return ErrorKind::None;
    case ERROR_FILE_NOT_FOUND:
      return ErrorKind::NotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return ErrorKind::PathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return ErrorKind::AccessDenied;
    case ERROR_SHARING_VIOLATION:
      return ErrorKind::SharingViolation;
    case ERROR_LOCK_VIOLATION:
      return ErrorKind::LockViolation;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return ErrorKind::Exists;
    case ERROR_TOO_MANY_OPEN_FILES:
      return ErrorKind::TooManyOpenFiles;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ErrorKind::DiskFull;
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_NAME:
    case ERROR_NOT_LOCKED:
    case ERROR_NEGATIVE_SEEK:
    case ERROR_FILENAME_EXCED_RANGE:
      return ErrorKind::InvalidArgument;
    default:
      return ErrorKind::Io;
  }
}

Status FromError(DWORD e) { return Status(KindOfError(e), static_cast<int>(e)); }
Status LastError() { return FromError(GetLastError()); }

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED ov = {};
  ov.Offset = static_cast<DWORD>(offset);
  ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return ov;
}

bool IsDirectory(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class Win32File final : public File {
 public:
  Win32File(HANDLE handle, Access access) : handle_(handle), access_(access) {}
  ~Win32File() override { CloseHandle(handle_); }

  Status ReadAt(uint64_t offset, void* buffer, size_t len, size_t* got) override {
    *got = 0;
    if (access_ == Access::Write) return FromError(ERROR_ACCESS_DENIED);
    if (!ValidIoRange(offset, len)) return FromError(ERROR_INVALID_PARAMETER);
    char* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < len) {
      DWORD chunk = len - done < kMaxChunk ? static_cast<DWORD>(len - done) : kMaxChunk;
      OVERLAPPED ov = At(offset + done);
      DWORD n = 0;
      if (!ReadFile(handle_, out + done, chunk, &n, &ov)) {
        DWORD e = GetLastError();
        if (e == ERROR_HANDLE_EOF) break;
        *got = done;
        return FromError(e);
      }
      if (n == 0) break;  // end of file
      done += n;
    }
    *got = done;
    return Status::Ok();
  }

  Status WriteAt(uint64_t offset, const void* data, size_t len) override {
    if (access_ == Access::Read) return FromError(ERROR_ACCESS_DENIED);
    if (!ValidIoRange(offset, len)) return FromError(ERROR_INVALID_PARAMETER);
    const char* in = static_cast<const char*>(data);
    size_t done = 0;
    while (done < len) {
      DWORD chunk = len - done < kMaxChunk ? static_cast<DWORD>(len - done) : kMaxChunk;
      OVERLAPPED ov = At(offset + done);
      DWORD n = 0;
      if (!WriteFile(handle_, in + done, chunk, &n, &ov)) return LastError();
      // A write that makes no progress would loop forever; the device is full.
      if (n == 0) return FromError(ERROR_DISK_FULL);
      done += n;
    }
    return Status::Ok();
  }

  Status Flush() override {
    // A read-only handle has written nothing; the platform would refuse it.
    if (access_ == Access::Read) return Status::Ok();
    if (!FlushFileBuffers(handle_)) return LastError();
    return Status::Ok();
  }

  Status Truncate(uint64_t size) override {
    if (access_ == Access::Read) return FromError(ERROR_ACCESS_DENIED);
    if (size > kMaxFileOffset) return FromError(ERROR_INVALID_PARAMETER);
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(size);
    // The file pointer is used only here; reads and writes carry their offsets.
    if (!SetFilePointerEx(handle_, position, nullptr, FILE_BEGIN)) return LastError();
    if (!SetEndOfFile(handle_)) return LastError();
    return Status::Ok();
  }

  Status Size(uint64_t* size) override {
    LARGE_INTEGER value;
    if (!GetFileSizeEx(handle_, &value)) {
      *size = 0;
      return LastError();
    }
    *size = static_cast<uint64_t>(value.QuadPart);
    return Status::Ok();
  }

  Status TryLock(uint64_t offset, uint64_t len) override { return LockRange(offset, len, false); }
  Status Lock(uint64_t offset, uint64_t len) override { return LockRange(offset, len, true); }

  Status Unlock(uint64_t offset, uint64_t len) override {
    if (!ValidLockRange(offset, len)) return FromError(ERROR_INVALID_PARAMETER);
    if (!held_.Release(offset, len)) return FromError(ERROR_NOT_LOCKED);
    OVERLAPPED ov = At(offset);
    if (!UnlockFileEx(handle_, 0, static_cast<DWORD>(len), static_cast<DWORD>(len >> 32), &ov)) {
      return LastError();
    }
    return Status::Ok();
  }

  HANDLE handle() const { return handle_; }

 private:
  Status LockRange(uint64_t offset, uint64_t len, bool wait) {
    if (!ValidLockRange(offset, len)) return FromError(ERROR_INVALID_PARAMETER);
    // The platform would make a handle wait for its own lock for ever.
    if (!held_.Reserve(offset, len)) return FromError(ERROR_LOCK_VIOLATION);
    DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    OVERLAPPED ov = At(offset);
    if (LockFileEx(handle_, flags, 0, static_cast<DWORD>(len), static_cast<DWORD>(len >> 32),
                   &ov)) {
      return Status::Ok();
    }
    DWORD e = GetLastError();
    held_.Release(offset, len);
    return FromError(e);
  }

  HANDLE handle_;    // synchronous handle; owns the locks
  Access access_;    // what the handle may do
  HeldRanges held_;  // ranges locked or being waited for through this handle
};

Status OpenWin32File(const std::string& path, Access access, Share share,
                     Disposition disposition, std::unique_ptr<Win32File>* out) {
  out->reset();
  if (path.empty()) return FromError(ERROR_FILE_NOT_FOUND);
  DWORD desired = access == Access::Read    ? GENERIC_READ
                  : access == Access::Write ? GENERIC_WRITE
                                            : GENERIC_READ | GENERIC_WRITE;
  DWORD share_mode = share == Share::DenyNone    ? FILE_SHARE_READ | FILE_SHARE_WRITE
                     : share == Share::DenyRead  ? FILE_SHARE_WRITE
                     : share == Share::DenyWrite ? FILE_SHARE_READ
                                                 : 0;
  DWORD creation = disposition == Disposition::OpenExisting   ? OPEN_EXISTING
                   : disposition == Disposition::CreateNew    ? CREATE_NEW
                   : disposition == Disposition::CreateAlways ? CREATE_ALWAYS
                                                              : OPEN_ALWAYS;
  HANDLE handle = CreateFileA(path.c_str(), desired, share_mode, nullptr, creation,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    // A directory is no file: say so the same way whatever the access asked.
    if (IsDirectory(path)) return FromError(ERROR_ACCESS_DENIED);
    return FromError(e);
  }
  *out = std::make_unique<Win32File>(handle, access);
  return Status::Ok();
}

}  // namespace

Status OpenFile(const std::string& path, Access access, Share share, Disposition disposition,
                std::unique_ptr<File>* out) {
  std::unique_ptr<Win32File> file;
  Status status = OpenWin32File(path, access, share, disposition, &file);
  *out = status.ok() ? WrapOpenedFile(path, std::move(file)) : std::move(file);
  return status;
}

Status DeleteFile(const std::string& path) {
  if (path.empty()) return FromError(ERROR_FILE_NOT_FOUND);
  if (!::DeleteFileA(path.c_str())) return LastError();
  return Status::Ok();
}

Status RenameFile(const std::string& from, const std::string& to) {
  if (from.empty()) return FromError(ERROR_FILE_NOT_FOUND);
  if (to.empty()) return FromError(ERROR_PATH_NOT_FOUND);
  if (!::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return LastError();
  return Status::Ok();
}

Status CopyFile(const std::string& from, const std::string& to) {
  if (from.empty()) return FromError(ERROR_FILE_NOT_FOUND);
  if (to.empty()) return FromError(ERROR_PATH_NOT_FOUND);
  if (!::CopyFileA(from.c_str(), to.c_str(), FALSE)) return LastError();
  return Status::Ok();
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace korvex::os
