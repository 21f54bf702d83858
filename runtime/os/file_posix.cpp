// Files on POSIX (Linux).
//
// Byte-range locks are open-file-description (OFD) locks, which belong to one
// open description the way Win32 locks belong to one handle: two handles of
// one process contend exactly as two processes do.
//
// Every handle keeps one descriptor opened read-write for its locks, because
// an exclusive lock needs a writable descriptor and Win32 lets a read-only
// handle lock too. It is a fresh open of /proc/self/fd/N, so it names the same
// file even when the path has been renamed meanwhile. When read-write access
// is not permitted (a read-only file or file system), the handle's own
// descriptor is used instead: a read-only one then takes shared locks, which
// still keep out every exclusive locker but not other read-only lockers.
//
// Sharing modes are emulated with shared locks on marker bytes at kLockLimit
// and up: every opener marks what it accesses and what it denies, then asks
// (F_OFD_GETLK) whether another opener's marks conflict. Marks are taken
// before the test, so two racing openers may both be refused but are never
// both admitted wrongly. DeleteFile and RenameFile refuse a file that is open,
// as Win32 does (a check just before the call: an open racing with it wins).

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "runtime/os/file.h"
#include "runtime/os/file_ranges.h"

namespace korvex::os {
namespace {

// Marker bytes of the emulated sharing modes, from kLockLimit upward.
constexpr uint64_t kMarkReadAccess = kLockLimit + 0;
constexpr uint64_t kMarkWriteAccess = kLockLimit + 1;
constexpr uint64_t kMarkDenyRead = kLockLimit + 2;
constexpr uint64_t kMarkDenyWrite = kLockLimit + 3;
constexpr uint64_t kMarkCount = 4;

// Largest single read or write; longer requests are looped.
constexpr size_t kMaxChunk = size_t{1} << 30;

ErrorKind KindOfErrno(int e) {
  switch (e) {
    case 0:
      return ErrorKind::None;
    case ENOENT:
      return ErrorKind::NotFound;
    case ENOTDIR:
      return ErrorKind::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return ErrorKind::AccessDenied;
    case EEXIST:
      return ErrorKind::Exists;
    case EMFILE:
    case ENFILE:
      return ErrorKind::TooManyOpenFiles;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ErrorKind::DiskFull;
    case EINVAL:
    case ENAMETOOLONG:
      return ErrorKind::InvalidArgument;
    case EAGAIN:
      return ErrorKind::LockViolation;
    default:
      return ErrorKind::Io;
  }
}

Status FromErrno(int e) { return Status(KindOfErrno(e), e); }

bool IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Like FromErrno, but a missing file whose directory is missing too is
// PathNotFound, as Win32 reports it.
Status FromPathErrno(int e, const std::string& path) {
  if (e == ENOENT) {
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !IsDirectory(path.substr(0, slash))) {
      return Status(ErrorKind::PathNotFound, e);
    }
  }
  return FromErrno(e);
}

int CloseQuietly(int fd) {
  // close() must not be retried on EINTR on Linux: the descriptor is gone.
  return fd >= 0 ? ::close(fd) : 0;
}

struct flock ByteRange(short type, uint64_t offset, uint64_t len) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(len);
  fl.l_pid = 0;  // required by OFD locks
  return fl;
}

// True when another open description holds a lock on [offset, offset+len).
// *error receives errno when the question itself failed.
bool OthersHold(int fd, uint64_t offset, uint64_t len, int* error) {
  struct flock fl = ByteRange(F_WRLCK, offset, len);
  if (::fcntl(fd, F_OFD_GETLK, &fl) != 0) {
    *error = errno;
    return false;
  }
  return fl.l_type != F_UNLCK;
}

// True when some handle has the file at path open.
bool FileInUse(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  int error = 0;
  bool in_use = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                OthersHold(fd, kLockLimit, kMarkCount, &error);
  CloseQuietly(fd);
  return in_use;
}

class PosixFile final : public File {
 public:
  PosixFile(int fd, int lock_fd, Access access, int lock_mode)
      : fd_(fd), lock_fd_(lock_fd), access_(access), lock_mode_(lock_mode) {}
  ~PosixFile() override {
    if (lock_fd_ != fd_) CloseQuietly(lock_fd_);
    CloseQuietly(fd_);
  }

  Status ReadAt(uint64_t offset, void* buffer, size_t len, size_t* got) override {
    *got = 0;
    if (access_ == Access::Write) return Status(ErrorKind::AccessDenied, EBADF);
    if (!ValidIoRange(offset, len)) return Status(ErrorKind::InvalidArgument, EINVAL);
    char* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < len) {
      size_t chunk = len - done < kMaxChunk ? len - done : kMaxChunk;
      ssize_t n = ::pread(fd_, out + done, chunk, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        *got = done;
        return FromErrno(errno);
      }
      if (n == 0) break;  // end of file
      done += static_cast<size_t>(n);
    }
    *got = done;
    return Status::Ok();
  }

  Status WriteAt(uint64_t offset, const void* data, size_t len) override {
    if (access_ == Access::Read) return Status(ErrorKind::AccessDenied, EBADF);
    if (!ValidIoRange(offset, len)) return Status(ErrorKind::InvalidArgument, EINVAL);
    const char* in = static_cast<const char*>(data);
    size_t done = 0;
    while (done < len) {
      size_t chunk = len - done < kMaxChunk ? len - done : kMaxChunk;
      ssize_t n = ::pwrite(fd_, in + done, chunk, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return FromErrno(errno);
      }
      // A write that makes no progress would loop forever; the device is full.
      if (n == 0) return Status(ErrorKind::DiskFull, ENOSPC);
      done += static_cast<size_t>(n);
    }
    return Status::Ok();
  }

  Status Flush() override {
    if (::fsync(fd_) != 0) return FromErrno(errno);
    return Status::Ok();
  }

  Status Truncate(uint64_t size) override {
    if (access_ == Access::Read) return Status(ErrorKind::AccessDenied, EBADF);
    if (size > kMaxFileOffset) return Status(ErrorKind::InvalidArgument, EINVAL);
    while (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      if (errno != EINTR) return FromErrno(errno);
    }
    return Status::Ok();
  }

  Status Size(uint64_t* size) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
      *size = 0;
      return FromErrno(errno);
    }
    *size = static_cast<uint64_t>(st.st_size);
    return Status::Ok();
  }

  Status TryLock(uint64_t offset, uint64_t len) override { return LockRange(offset, len, false); }
  Status Lock(uint64_t offset, uint64_t len) override { return LockRange(offset, len, true); }

  Status Unlock(uint64_t offset, uint64_t len) override {
    if (!ValidLockRange(offset, len)) return Status(ErrorKind::InvalidArgument, EINVAL);
    if (!held_.Release(offset, len)) return Status(ErrorKind::InvalidArgument, ENOLCK);
    struct flock fl = ByteRange(F_UNLCK, offset, len);
    if (::fcntl(lock_fd_, F_OFD_SETLK, &fl) != 0) return FromErrno(errno);
    return Status::Ok();
  }

  int fd() const { return fd_; }

 private:
  Status LockRange(uint64_t offset, uint64_t len, bool wait) {
    if (!ValidLockRange(offset, len)) return Status(ErrorKind::InvalidArgument, EINVAL);
    if (!held_.Reserve(offset, len)) return Status(ErrorKind::LockViolation, EDEADLK);
    short type = lock_mode_ == O_RDONLY ? F_RDLCK : F_WRLCK;
    struct flock fl = ByteRange(type, offset, len);
    int rc;
    do {
      rc = ::fcntl(lock_fd_, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) return Status::Ok();
    int e = errno;
    held_.Release(offset, len);
    if (e == EAGAIN || e == EACCES) return Status(ErrorKind::LockViolation, e);
    if (e == EBADF) return Status(ErrorKind::AccessDenied, e);
    return FromErrno(e);
  }

  int fd_;             // the handle's own descriptor, opened with its access
  int lock_fd_;        // the descriptor whose open description owns the locks
  Access access_;      // what the handle may do
  int lock_mode_;      // O_RDWR, O_RDONLY or O_WRONLY: how lock_fd_ was opened
  HeldRanges held_;    // ranges locked or being waited for through this handle
};

// Takes this opener's sharing marks on fd and tests them against the other
// openers'. Ok, SharingViolation or the failure of a lock call.
Status AdmitSharing(int fd, int lock_mode, Access access, Share share) {
  bool reads = access != Access::Write;
  bool writes = access != Access::Read;
  bool denies_read = share == Share::DenyRead || share == Share::DenyAll;
  bool denies_write = share == Share::DenyWrite || share == Share::DenyAll;

  // A write-only descriptor cannot hold shared locks; such a handle then
  // only tests the others' marks.
  if (lock_mode != O_WRONLY) {
    const struct {
      bool wanted;
      uint64_t byte;
    } marks[] = {{reads, kMarkReadAccess},
                 {writes, kMarkWriteAccess},
                 {denies_read, kMarkDenyRead},
                 {denies_write, kMarkDenyWrite}};
    for (const auto& mark : marks) {
      if (!mark.wanted) continue;
      struct flock fl = ByteRange(F_RDLCK, mark.byte, 1);
      if (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
        // Nobody takes an exclusive lock on a mark, so this is no conflict.
        return FromErrno(errno);
      }
    }
  }

  const struct {
    bool applies;
    uint64_t byte;
  } tests[] = {{reads, kMarkDenyRead},
               {writes, kMarkDenyWrite},
               {denies_read, kMarkReadAccess},
               {denies_write, kMarkWriteAccess}};
  for (const auto& test : tests) {
    if (!test.applies) continue;
    int error = 0;
    bool conflict = OthersHold(fd, test.byte, 1, &error);
    if (error != 0) return FromErrno(error);
    if (conflict) return Status(ErrorKind::SharingViolation, EBUSY);
  }
  return Status::Ok();
}

Status OpenPosixFile(const std::string& path, Access access, Share share,
                     Disposition disposition, std::unique_ptr<PosixFile>* out) {
  out->reset();
  if (path.empty()) return Status(ErrorKind::NotFound, ENOENT);
  int flags = O_CLOEXEC;
  int mode = access == Access::Read ? O_RDONLY : access == Access::Write ? O_WRONLY : O_RDWR;
  flags |= mode;
  switch (disposition) {
    case Disposition::OpenExisting:
      break;
    case Disposition::CreateNew:
      flags |= O_CREAT | O_EXCL;
      break;
    case Disposition::CreateAlways:  // truncated below, once admitted
    case Disposition::OpenAlways:
      flags |= O_CREAT;
      break;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return FromPathErrno(errno, path);

  struct stat st;
  if (::fstat(fd, &st) != 0) {
    int e = errno;
    CloseQuietly(fd);
    return FromErrno(e);
  }
  if (S_ISDIR(st.st_mode)) {  // Win32 does not open a directory as a file
    CloseQuietly(fd);
    return Status(ErrorKind::AccessDenied, EISDIR);
  }

  int lock_fd = fd;
  int lock_mode = mode;
  if (mode != O_RDWR) {
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    int again = ::open(self, O_RDWR | O_CLOEXEC);
    if (again >= 0) {
      lock_fd = again;
      lock_mode = O_RDWR;
    }
  }
  auto file = std::make_unique<PosixFile>(fd, lock_fd, access, lock_mode);

  Status admitted = AdmitSharing(lock_fd, lock_mode, access, share);
  if (!admitted.ok()) return admitted;  // the descriptors close with file

  if (disposition == Disposition::CreateAlways && st.st_size != 0) {
    int writable = mode != O_RDONLY ? fd : lock_mode == O_RDWR ? lock_fd : -1;
    if (writable < 0) return Status(ErrorKind::AccessDenied, EBADF);
    while (::ftruncate(writable, 0) != 0) {
      if (errno != EINTR) return FromErrno(errno);
    }
  }
  *out = std::move(file);
  return Status::Ok();
}

}  // namespace

Status OpenFile(const std::string& path, Access access, Share share, Disposition disposition,
                std::unique_ptr<File>* out) {
  std::unique_ptr<PosixFile> file;
  Status status = OpenPosixFile(path, access, share, disposition, &file);
  *out = status.ok() ? WrapOpenedFile(path, std::move(file)) : std::move(file);
  return status;
}

Status DeleteFile(const std::string& path) {
  if (path.empty()) return Status(ErrorKind::NotFound, ENOENT);
  if (IsDirectory(path)) return Status(ErrorKind::AccessDenied, EISDIR);
  if (FileInUse(path)) return Status(ErrorKind::SharingViolation, EBUSY);
  if (::unlink(path.c_str()) != 0) return FromPathErrno(errno, path);
  return Status::Ok();
}

Status RenameFile(const std::string& from, const std::string& to) {
  if (from.empty()) return Status(ErrorKind::NotFound, ENOENT);
  if (to.empty()) return Status(ErrorKind::PathNotFound, ENOENT);
  if (IsDirectory(from) || IsDirectory(to)) return Status(ErrorKind::AccessDenied, EISDIR);
  // The platform refuses an open source as a sharing conflict, an open target
  // as access denied.
  if (FileInUse(from)) return Status(ErrorKind::SharingViolation, EBUSY);
  if (FileInUse(to)) return Status(ErrorKind::AccessDenied, EBUSY);
  if (::rename(from.c_str(), to.c_str()) != 0) {
    int e = errno;
    // Name the side that is missing the way Win32 does.
    if (e == ENOENT && ::access(from.c_str(), F_OK) != 0) return FromPathErrno(e, from);
    return FromPathErrno(e, to);
  }
  return Status::Ok();
}

Status CopyFile(const std::string& from, const std::string& to) {
  // Both ends admit other openers, as the platform's copy does.
  std::unique_ptr<PosixFile> source;
  Status status = OpenPosixFile(from, Access::Read, Share::DenyNone, Disposition::OpenExisting,
                                &source);
  if (!status.ok()) return status;
  // Copying a file onto itself would truncate it before reading a byte.
  struct stat from_st = {};
  struct stat to_st = {};
  bool have_mode = ::fstat(source->fd(), &from_st) == 0;
  if (have_mode && ::stat(to.c_str(), &to_st) == 0 &&
      from_st.st_dev == to_st.st_dev && from_st.st_ino == to_st.st_ino) {
    return Status(ErrorKind::SharingViolation, EBUSY);
  }
  std::unique_ptr<PosixFile> target;
  status = OpenPosixFile(to, Access::Write, Share::DenyNone, Disposition::CreateAlways, &target);
  if (!status.ok()) return status;

  if (have_mode) ::fchmod(target->fd(), from_st.st_mode & 07777);
  std::vector<char> buffer(size_t{1} << 16);
  uint64_t offset = 0;
  for (;;) {
    size_t got = 0;
    status = source->ReadAt(offset, buffer.data(), buffer.size(), &got);
    if (!status.ok()) return status;
    if (got == 0) break;
    status = target->WriteAt(offset, buffer.data(), got);
    if (!status.ok()) return status;
    offset += got;
  }
  // A target that was longer before keeps no stale tail: CreateAlways emptied it.
  return Status::Ok();
}

bool FileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace korvex::os
