// Outcome of an operating-system call: a portable kind plus the platform's own code.
#pragma once

#include <string>

namespace korvex::os {

enum class ErrorKind {
  None,
  NotFound,          // the file does not exist
  PathNotFound,      // a directory on the way does not exist
  AccessDenied,      // permissions or a read-only file
  SharingViolation,  // another opener's sharing mode refuses this open
  LockViolation,     // a byte range is locked by another handle
  Exists,            // CreateNew on an existing file
  TooManyOpenFiles,
  DiskFull,
  InvalidArgument,
  Io,  // anything else the platform reported
};

class Status {
 public:
  Status() = default;
  Status(ErrorKind kind, int native) : kind_(kind), native_(native) {}
  static Status Ok() { return Status(); }

  bool ok() const { return kind_ == ErrorKind::None; }
  ErrorKind kind() const { return kind_; }
  int native() const { return native_; }  // errno or GetLastError() value
  // The platform's own description of the error ("" when ok).
  std::string Text() const;

 private:
  ErrorKind kind_ = ErrorKind::None;
  int native_ = 0;
};

}  // namespace korvex::os
