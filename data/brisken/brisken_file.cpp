#include "data/brisken/brisken_file.h"

#include "data/brisken/corruption.h"

namespace korvex::brisken {
namespace {

int32_t OpenErrorCode(const os::Status& s) {
  switch (s.kind()) {
    case os::ErrorKind::NotFound: return driver::kErrFileNotFound;
    case os::ErrorKind::PathNotFound: return driver::kErrPathNotFound;
    case os::ErrorKind::TooManyOpenFiles: return driver::kErrTooManyOpenFiles;
    case os::ErrorKind::AccessDenied:
    case os::ErrorKind::SharingViolation:
    case os::ErrorKind::LockViolation: return driver::kErrAccessDenied;
    default: return driver::kErrFileSystem;
  }
}

}  // namespace

BriskenFile::BriskenFile(std::unique_ptr<os::File> file, bool writable)
    : file_(std::move(file)), writable_(writable), pager_(file_.get()), tree_(&pager_) {}

BriskenFile::~BriskenFile() = default;

Status BriskenFile::Report(Status s) {
  if (s.corrupt()) CorruptionHalt(s.check());
  return s;
}

Status BriskenFile::Open(const std::string& path, uint32_t mode_word,
                         std::unique_ptr<BriskenFile>* out) {
  if (path.empty()) return Status::Error(driver::kErrInvalidFilename);
  bool writable = (mode_word & mode::kAccessMask) != 0;
  os::Share share = os::Share::DenyNone;
  switch (mode_word & mode::kShareMask) {
    case mode::kDenyWrite: share = os::Share::DenyWrite; break;
    case mode::kDenyAll:
    case mode::kDenyRead: share = os::Share::DenyAll; break;
    default: break;  // deny none and compatibility share everything
  }
  os::Disposition disposition = (mode_word & mode::kCreate) ? os::Disposition::CreateAlways
                                                             : os::Disposition::OpenAlways;
  std::unique_ptr<os::File> file;
  os::Status os = os::OpenFile(path, writable ? os::Access::ReadWrite : os::Access::Read, share,
                               disposition, &file);
  if (!os.ok()) return Status::Error(OpenErrorCode(os));
  std::unique_ptr<BriskenFile> opened(new BriskenFile(std::move(file), writable));
  uint32_t deny = mode_word & mode::kShareMask;
  opened->shared_ = deny == 0 || deny == mode::kDenyNone;
  Status s = Report(opened->Start());
  if (s.ok()) *out = std::move(opened);
  return s;
}

Status BriskenFile::Attach(std::unique_ptr<os::File> file, bool writable,
                           std::unique_ptr<BriskenFile>* out) {
  std::unique_ptr<BriskenFile> opened(new BriskenFile(std::move(file), writable));
  Status s = Report(opened->Start());
  if (s.ok()) *out = std::move(opened);
  return s;
}

Status BriskenFile::Start() {
  std::string bytes(kHeaderSize, '\0');
  size_t got = 0;
  os::Status os = file_->ReadAt(0, bytes.data(), bytes.size(), &got);
  if (!os.ok()) return Status::Error(OsErrorCode(os, false));
  FileHeader header;
  if (got == 0) {
    // An empty file becomes a fresh one.
    header = FileHeader::Fresh();
    if (writable_) {
      Status s = WriteBlocks(file_.get(), nullptr, 0, header.Encode());
      if (!s.ok()) return s;
    }
  } else if (got < kHeaderSize) {
    return Status::Error(driver::kErrInvalidDataFile);
  } else {
    Status s = FileHeader::Decode(bytes, &header);
    if (!s.ok()) return s;
    // A commit cut short must be finished or undone before use; that belongs
    // to the commit layer, which this file does not run yet.
    if (header.committed_end != header.pending_end) {
      return Status::Error(driver::kErrInvalidDataFile);
    }
  }
  if (header.change_counter == 0) {
    header.change_counter = 1;
    header.root = kNoRoot;
  }
  return pager_.Start(header);
}

Status BriskenFile::Get(std::string_view h, Record* out, bool* found) {
  return Report(tree_.Get(h, out, found));
}

Status BriskenFile::Seek(std::string_view h, bool after, Record* out, bool* found) {
  return Report(tree_.Seek(h, after, out, found));
}

Status BriskenFile::SeekBack(std::string_view h, bool before, Record* out, bool* found) {
  return Report(tree_.SeekBack(h, before, out, found));
}

Status BriskenFile::Insert(Record r, bool* inserted) {
  *inserted = false;
  if (!writable_) return Status::Error(driver::kErrAccessDenied);
  return Report(tree_.Insert(std::move(r), inserted));
}

Status BriskenFile::Replace(Record r, bool* found) {
  *found = false;
  if (!writable_) return Status::Error(driver::kErrAccessDenied);
  return Report(tree_.Replace(std::move(r), found));
}

Status BriskenFile::Remove(std::string_view h, bool* found) {
  *found = false;
  if (!writable_) return Status::Error(driver::kErrAccessDenied);
  return Report(tree_.Remove(h, found));
}

Status BriskenFile::NextNumber(uint32_t* number) {
  uint32_t next = pager_.header().last_number + 1;
  if ((next >> 24) > 0xFD) return Report(Status::Corrupt(check::kNumbersExhausted));
  pager_.mutable_header().last_number = next;
  *number = next;
  return Status::Ok();
}

Status BriskenFile::Commit() {
  if (!pager_.HasChanges()) return Status::Ok();
  if (!writable_) return Status::Error(driver::kErrAccessDenied);
  return Report(pager_.CommitInPlace());
}

Status BriskenFile::RefreshHeader() {
  std::string bytes;
  Status s = ReadBlocks(file_.get(), nullptr, 0, kHeaderSize, &bytes);
  FileHeader header;
  if (!s.ok() || !FileHeader::Decode(bytes, &header).ok()) {
    return Report(Status::Corrupt(check::kHeaderRefresh));
  }
  // Any change means another commit happened; comparing for "greater" would
  // miss the one after the counter wrapped.
  if (header.change_counter == pager_.header().change_counter) return Status::Ok();
  return Report(pager_.Start(header));
}

Status BriskenFile::Close() {
  if (!file_) return Status::Error(driver::kErrFileNotOpen);
  Status s;
  if (writable_) {
    s = Commit();
    if (s.ok()) {
      os::Status os = file_->Truncate(pager_.header().DataLength());
      if (!os.ok()) s = Status::Error(OsErrorCode(os, true));
    }
  }
  pager_.cache().Clear();
  file_.reset();
  return s;
}

Status RemoveFile(const std::string& path) {
  os::Status s = os::DeleteFile(path);
  if (!s.ok()) return Status::Error(OpenErrorCode(s));
  return Status::Ok();
}

}  // namespace korvex::brisken
