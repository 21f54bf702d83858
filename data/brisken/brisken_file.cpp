#include "data/brisken/brisken_file.h"

#include <chrono>
#include <thread>

#include "data/brisken/corruption.h"
#include "data/brisken/lock_bytes.h"
#include "data/brisken/shadow_commit.h"
#include "runtime/os/clock.h"

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

BriskenFile::BriskenFile(std::unique_ptr<os::File> file, bool writable, const OpenOptions& options)
    : file_(std::move(file)),
      writable_(writable),
      path_(options.path),
      transactions_(options.transactions ? options.transactions : DefaultTransactionLookup()),
      pager_(file_.get()),
      tree_(&pager_) {
  if (!options.owner.empty()) {
    cipher_ = std::make_unique<OwnerCipher>(options.owner);
    pager_.set_cipher(cipher_.get());
  }
  slot_ = options.start_slot >= 0 ? static_cast<uint32_t>(options.start_slot) % kReaderSlots
                                  : os::TickHundredths() % kReaderSlots;
}

BriskenFile::~BriskenFile() { DropLocks(); }

Status BriskenFile::Report(Status s) {
  if (s.corrupt()) CorruptionHalt(s.check());
  return s;
}

Status BriskenFile::Open(const std::string& path, uint32_t mode_word,
                         std::unique_ptr<BriskenFile>* out) {
  return Open(path, mode_word, OpenOptions(), out);
}

Status BriskenFile::Open(const std::string& path, uint32_t mode_word, const OpenOptions& options,
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
  OpenOptions with_path = options;
  with_path.path = path;
  std::unique_ptr<BriskenFile> opened(new BriskenFile(std::move(file), writable, with_path));
  uint32_t deny = mode_word & mode::kShareMask;
  opened->shared_ = deny == 0 || deny == mode::kDenyNone;
  opened->deny_write_ = deny == mode::kDenyWrite;
  return Finish(std::move(opened), out);
}

Status BriskenFile::Attach(std::unique_ptr<os::File> file, bool writable,
                           std::unique_ptr<BriskenFile>* out) {
  return Attach(std::move(file), writable, OpenOptions(), out);
}

Status BriskenFile::Attach(std::unique_ptr<os::File> file, bool writable,
                           const OpenOptions& options, std::unique_ptr<BriskenFile>* out) {
  return Finish(std::unique_ptr<BriskenFile>(new BriskenFile(std::move(file), writable, options)),
                out);
}

Status BriskenFile::Finish(std::unique_ptr<BriskenFile> opened, std::unique_ptr<BriskenFile>* out) {
  // A commit cut short is recovered under the same locks as any access.
  Status s;
  // A committing writer holds every reader slot, so holding one keeps its
  // header rewrite from being read half done. Slots before the write byte,
  // as a committer takes them.
  if (opened->lockable()) {
    s = opened->TakeReaderSlot(true);
    if (!s.ok()) return Report(s);
    s = LockBytes(opened->file_.get(), LockRequest::WriteByte(), true);
    if (!s.ok()) {
      opened->ReleaseReaderSlot();
      return Report(s);
    }
  }
  s = Report(opened->Start());
  if (opened->lockable()) {
    UnlockBytes(opened->file_.get(), LockRequest::WriteByte());
    opened->ReleaseReaderSlot();
  }
  if (s.ok()) *out = std::move(opened);
  return s;
}

Status BriskenFile::ReadHeaderBytes(std::string* bytes, size_t* got) {
  bytes->assign(kHeaderSize, '\0');
  *got = 0;
  os::Status os = file_->ReadAt(0, bytes->data(), bytes->size(), got);
  if (!os.ok()) return Status::Error(OsErrorCode(os, false));
  if (*got == kHeaderSize && cipher_) cipher_->Decipher(bytes->data(), bytes->size());
  return Status::Ok();
}

Status BriskenFile::Start() {
  std::string bytes;
  size_t got = 0;
  Status s = ReadHeaderBytes(&bytes, &got);
  if (!s.ok()) return s;
  FileHeader header;
  if (got == 0) {
    // An empty file becomes a fresh one.
    header = FileHeader::Fresh();
    bytes = header.Encode();
    if (writable_) {
      s = WriteBlocks(file_.get(), cipher_.get(), 0, bytes);
      if (!s.ok()) return s;
    }
  } else if (got < kHeaderSize) {
    return Status::Error(driver::kErrInvalidDataFile);
  } else {
    // With the wrong owner (or none for an enciphered file) the magic does not
    // come out, and the file is refused like a foreign one.
    s = FileHeader::Decode(bytes, &header);
    if (!s.ok()) return s;
  }
  return Adopt(bytes, header);
}

Status BriskenFile::Adopt(const std::string& bytes, FileHeader header) {
  // A damaged bound would send the next commit's writes (or recovery's) far
  // past the data, so such a header is refused before anything is written.
  uint64_t size = 0;
  os::Status os = file_->Size(&size);
  if (!os.ok()) return Status::Error(OsErrorCode(os, false));
  if (!header.BoundsProblem(size).empty()) return Status::Corrupt(check::kHeaderBounds);
  disk_bytes_ = bytes;
  disk_header_ = header;
  suspect_ = false;
  pager_.SetRedirects({});
  if (header.committed_end != header.pending_end) {
    Status s = Recover(header);
    // Until recovery has worked, every access tries it again.
    if (!s.ok()) suspect_ = true;
    return s;
  }
  if (header.change_counter == 0) {
    header.change_counter = 1;
    header.root = kNoRoot;
  }
  return pager_.Start(header);
}

Status BriskenFile::Recover(FileHeader disk) {
  ShadowArea area;
  Status s = ScanShadow(file_.get(), cipher_.get(), disk, &area);
  if (!s.ok()) return s;
  bool forward = area.has_header;
  if (forward) {
    // Look at the state the commit was making: its reference record, if any,
    // tells whether a multi-file transaction reached its commit point.
    pager_.SetRedirects(area.copies);
    s = pager_.Start(area.header);
    if (!s.ok()) return s;
    TransactionReference ref;
    bool has_ref = false;
    s = FindReference(&tree_, &ref, &has_ref);
    if (!s.ok()) return s;
    if (has_ref) {
      bool open = true;
      if (!transactions_->IsOpen(ResolveTcfPath(path_, ref.tcf), ref.id, &open).ok()) open = true;
      forward = !open;
    }
  }
  if (forward) {
    if (!writable_) return Status::Ok();  // keeps reading through the shadow copies
    s = RollForward(file_.get(), area, cipher_.get());
    if (!s.ok()) return s;
    FileHeader done = area.header;
    done.committed_end = done.pending_end = static_cast<uint32_t>(done.DataLength());
    disk_header_ = done;
    disk_bytes_ = done.Encode();
    pager_.SetRedirects({});
    return pager_.Start(done);
  }
  FileHeader back = RolledBack(disk);
  if (writable_) {
    s = WriteHeaderSafely(file_.get(), cipher_.get(), back);
    if (!s.ok()) return s;
    disk_header_ = back;
    disk_bytes_ = back.Encode();
  }
  pager_.SetRedirects({});
  return pager_.Start(back);
}

void BriskenFile::DropLocks() {
  header_seen_under_lock_ = false;
  if (!file_) return;
  if (slot_held_) UnlockBytes(file_.get(), LockRequest::Slot(slot_));
  if (all_slots_held_) UnlockBytes(file_.get(), LockRequest::AllSlots());
  slot_held_ = all_slots_held_ = false;
}

Status BriskenFile::TakeReaderSlot(bool wait) {
  // While a writer holds every slot each try fails; pause after each full round.
  for (uint32_t tries = 1;; ++tries) {
    Status s = LockBytes(file_.get(), LockRequest::Slot(slot_), false);
    if (s.ok()) break;
    if (s.code() != driver::kErrAccessDenied) return s;
    slot_ = (slot_ + 1) % kReaderSlots;
    if (!wait) return s;
    if (tries % kReaderSlots == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  slot_held_ = true;
  return Status::Ok();
}

void BriskenFile::ReleaseReaderSlot() {
  header_seen_under_lock_ = false;
  if (!slot_held_) return;
  UnlockBytes(file_.get(), LockRequest::Slot(slot_));
  slot_held_ = false;
}

Status BriskenFile::LockForRead(bool wait) {
  if (!file_) return Status::Error(driver::kErrFileNotOpen);
  if (lockable() && !slot_held_ && !all_slots_held_) {
    header_seen_under_lock_ = false;
    Status s = TakeReaderSlot(wait);
    if (!s.ok()) return s.code() == driver::kErrAccessDenied ? s : Report(s);
  }
  // A slot held since the header was last read: no other opener can have
  // committed meanwhile (a commit takes every slot).
  if (header_seen_under_lock_ && !suspect_) return Status::Ok();
  if (!NeedsHeaderRefresh()) return Status::Ok();
  Status s = RefreshHeader();
  if (!s.ok()) {
    UnlockAccess();
    return s;
  }
  header_seen_under_lock_ = lockable();
  return s;
}

bool BriskenFile::NeedsHeaderRefresh() const {
  if (suspect_) return true;  // our own failed commit: the disk decides
  // Pending changes would be dropped; and where this opener denies others
  // writing, only its own commits change the header.
  return !pager_.HasChanges() && shared_;
}

Status BriskenFile::LockForWrite() {
  if (!file_) return Status::Error(driver::kErrFileNotOpen);
  if (lockable() && !all_slots_held_) {
    if (slot_held_) {
      UnlockBytes(file_.get(), LockRequest::Slot(slot_));
      slot_held_ = false;
      header_seen_under_lock_ = false;  // a commit may slip in before all are ours
    }
    Status s = LockBytes(file_.get(), LockRequest::AllSlots(), true);
    if (!s.ok()) return Report(s);
    all_slots_held_ = true;
  }
  if (!NeedsHeaderRefresh()) return Status::Ok();
  Status s = RefreshHeader();
  if (!s.ok()) UnlockAccess();
  return s;
}

void BriskenFile::UnlockAccess() { DropLocks(); }

Status BriskenFile::Get(std::string_view h, Record* out, bool* found, bool remember) {
  return Report(tree_.Get(h, out, found, remember));
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

Status BriskenFile::Replace(Record r, bool* found, Record* old) {
  *found = false;
  if (!writable_) return Status::Error(driver::kErrAccessDenied);
  return Report(tree_.Replace(std::move(r), found, old));
}

Status BriskenFile::Remove(std::string_view h, bool* found, Record* old,
                           const RecordTree::RemoveCondition& only_if) {
  *found = false;
  if (!writable_) return Status::Error(driver::kErrAccessDenied);
  return Report(tree_.Remove(h, found, old, only_if));
}

Status BriskenFile::Update(std::string_view h,
                           const std::function<bool(const RecordView&, Record*)>& change,
                           bool* found, Record* old) {
  *found = false;
  if (!writable_) return Status::Error(driver::kErrAccessDenied);
  return Report(tree_.Update(h, change, found, old));
}

Status BriskenFile::NextNumber(uint32_t* number) {
  uint32_t next = pager_.header().last_number + 1;
  if ((next >> 24) > 0xFD) return Report(Status::Corrupt(check::kNumbersExhausted));
  pager_.mutable_header().last_number = next;
  *number = next;
  return Status::Ok();
}

Status BriskenFile::Commit() {
  if (!file_) return Status::Error(driver::kErrFileNotOpen);
  if (prepared_) return FinishCommit();
  if (suspect_) {
    // The last commit failed after it began to rewrite the header: what the
    // file holds now is decided by reading it again.
    Status s = RefreshHeader();
    if (!s.ok()) return s;
  }
  if (!pager_.HasChanges()) return Status::Ok();
  if (!writable_) return Status::Error(driver::kErrAccessDenied);
  bool had_slot = slot_held_;
  bool took = false;
  if (lockable() && !all_slots_held_) {
    if (slot_held_) {
      UnlockBytes(file_.get(), LockRequest::Slot(slot_));
      slot_held_ = false;
      header_seen_under_lock_ = false;
    }
    Status s = LockBytes(file_.get(), LockRequest::AllSlots(), true);
    if (!s.ok()) return Report(s);
    all_slots_held_ = took = true;
  }
  auto release = [&]() {
    if (!took) return;
    UnlockBytes(file_.get(), LockRequest::AllSlots());
    all_slots_held_ = false;
    header_seen_under_lock_ = false;
    if (had_slot && LockBytes(file_.get(), LockRequest::Slot(slot_), false).ok()) slot_held_ = true;
  };
  // Changes made on a header that another opener has since replaced would
  // overwrite its pages; they cannot be kept.
  std::string bytes;
  size_t got = 0;
  Status s = ReadHeaderBytes(&bytes, &got);
  if (s.ok() && got != kHeaderSize) s = Status::Corrupt(check::kHeaderRefresh);
  if (s.ok() && bytes != disk_bytes_) {
    FileHeader header;
    s = FileHeader::Decode(bytes, &header);
    if (s.ok()) s = Adopt(bytes, header);
    if (s.ok()) s = Status::Error(driver::kErrAccessDenied);
    release();
    return Report(s);
  }
  if (s.ok()) {
    FileHeader written;
    CommitFailure failure = CommitFailure::kNone;
    s = ShadowCommit(file_.get(), cipher_.get(), &pager_, disk_header_, &written, &failure);
    if (s.ok()) {
      disk_header_ = written;
      disk_bytes_ = written.Encode();
    } else if (failure == CommitFailure::kUncertain) {
      suspect_ = true;
    }
  }
  release();
  return Report(s);
}

Status BriskenFile::TakeCommitLocks() {
  commit_had_slot_ = slot_held_;
  commit_took_ = false;
  if (!lockable() || all_slots_held_) return Status::Ok();
  if (slot_held_) {
    UnlockBytes(file_.get(), LockRequest::Slot(slot_));
    slot_held_ = false;
    header_seen_under_lock_ = false;
  }
  Status s = LockBytes(file_.get(), LockRequest::AllSlots(), true);
  if (!s.ok()) return s;
  all_slots_held_ = commit_took_ = true;
  return Status::Ok();
}

void BriskenFile::ReleaseCommitLocks() {
  if (!commit_took_) return;
  commit_took_ = false;
  UnlockBytes(file_.get(), LockRequest::AllSlots());
  all_slots_held_ = false;
  header_seen_under_lock_ = false;
  if (commit_had_slot_ && LockBytes(file_.get(), LockRequest::Slot(slot_), false).ok()) {
    slot_held_ = true;
  }
}

Status BriskenFile::CheckUnchanged() {
  std::string bytes;
  size_t got = 0;
  Status s = ReadHeaderBytes(&bytes, &got);
  if (s.ok() && got != kHeaderSize) s = Status::Corrupt(check::kHeaderRefresh);
  if (!s.ok() || bytes == disk_bytes_) return s;
  FileHeader header;
  s = FileHeader::Decode(bytes, &header);
  if (s.ok()) s = Adopt(bytes, header);
  return s.ok() ? Status::Error(driver::kErrAccessDenied) : s;
}

Status BriskenFile::PrepareCommit(bool* any) {
  *any = false;
  if (!file_) return Status::Error(driver::kErrFileNotOpen);
  if (prepared_) {
    *any = true;
    return Status::Ok();
  }
  if (suspect_) {
    Status s = RefreshHeader();
    if (!s.ok()) return s;
  }
  if (!pager_.HasChanges()) return Status::Ok();
  if (!writable_) return Status::Error(driver::kErrAccessDenied);
  Status s = TakeCommitLocks();
  if (!s.ok()) return Report(s);
  s = CheckUnchanged();
  if (s.ok()) {
    auto prepared = std::make_unique<PreparedCommit>();
    CommitFailure failure = CommitFailure::kNone;
    s = ShadowPrepare(file_.get(), cipher_.get(), &pager_, disk_header_, prepared.get(), &failure);
    if (s.ok()) {
      prepared_ = std::move(prepared);
      *any = true;
      return Status::Ok();  // the slots stay locked until the commit ends
    }
    if (failure == CommitFailure::kUncertain) suspect_ = true;
  }
  ReleaseCommitLocks();
  return Report(s);
}

Status BriskenFile::FinishCommit() {
  if (!prepared_) return Status::Ok();
  FileHeader written;
  Status s = ShadowFinish(file_.get(), cipher_.get(), &pager_, *prepared_, &written);
  if (s.ok()) {
    disk_header_ = written;
    disk_bytes_ = written.Encode();
  } else {
    suspect_ = true;  // pending on disk: recovery completes it
  }
  prepared_.reset();
  ReleaseCommitLocks();
  return Report(s);
}

Status BriskenFile::AbandonCommit() {
  if (!prepared_) return Status::Ok();
  Status s = WriteHeaderSafely(file_.get(), cipher_.get(), RolledBack(prepared_->pending));
  prepared_.reset();
  // Either way what the disk holds is read again, dropping the changes.
  suspect_ = true;
  if (s.ok()) s = ReadHeaderAgain();
  ReleaseCommitLocks();
  return s;
}

void BriskenFile::ReleasePrepared() {
  if (!prepared_) return;
  prepared_.reset();
  suspect_ = true;
  ReleaseCommitLocks();
}

Status BriskenFile::DiscardChanges() {
  if (!file_) return Status::Error(driver::kErrFileNotOpen);
  if (prepared_) return AbandonCommit();
  suspect_ = true;
  return ReadHeaderAgain();
}

Status BriskenFile::RefreshHeader() { return Report(ReadHeaderAgain()); }

Status BriskenFile::ReadHeaderAgain() {
  if (!file_) return Status::Error(driver::kErrFileNotOpen);
  std::string bytes;
  size_t got = 0;
  Status s = ReadHeaderBytes(&bytes, &got);
  // A read that fails is the disk's error for the caller, not damage of the file.
  if (!s.ok()) return s;
  // Any change means another commit happened (or one was cut short); comparing
  // the counter for "greater" would miss the one after the counter wrapped.
  // Unchanged bytes decoded well when they were taken.
  if (got == kHeaderSize && bytes == disk_bytes_ && !suspect_) return Status::Ok();
  FileHeader header;
  if (got != kHeaderSize || !FileHeader::Decode(bytes, &header).ok()) {
    return Status::Corrupt(check::kHeaderRefresh);
  }
  if (header.committed_end == header.pending_end) return Adopt(bytes, header);
  // Recovery rewrites the header under the write byte.
  bool lock = lockable() && writable_;
  if (lock) {
    s = LockBytes(file_.get(), LockRequest::WriteByte(), true);
    if (!s.ok()) return s;
    s = ReadHeaderBytes(&bytes, &got);  // a failed read stays the disk's error
    if (s.ok() && (got != kHeaderSize || !FileHeader::Decode(bytes, &header).ok())) {
      s = Status::Corrupt(check::kHeaderRefresh);
    }
  }
  if (s.ok()) s = Adopt(bytes, header);
  if (lock) UnlockBytes(file_.get(), LockRequest::WriteByte());
  return s;
}

Status BriskenFile::Close() {
  if (!file_) return Status::Error(driver::kErrFileNotOpen);
  Status s;
  if (writable_) {
    s = Commit();
    // Only the owner of every slot may cut away what readers might be reading.
    if (s.ok() && !suspect_ && (!lockable() || LockForWrite().ok())) {
      os::Status os = file_->Truncate(pager_.header().DataLength());
      if (!os.ok()) s = Status::Error(OsErrorCode(os, true));
    }
  }
  DropLocks();
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
