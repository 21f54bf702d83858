// One open Brisken data file: its header, page store and record tree, with
// create, open, commit, header refresh and close. Failed consistency checks
// of any operation are reported here once, through the corruption halt.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "data/brisken/cipher.h"
#include "data/brisken/pager.h"
#include "data/brisken/record_tree.h"
#include "data/brisken/shadow_commit.h"
#include "data/brisken/status.h"
#include "data/brisken/transaction_reference.h"
#include "runtime/os/file.h"

namespace korvex::brisken {

// The language's access mode word.
namespace mode {
inline constexpr uint32_t kAccessMask = 0x03;  // 0 read, 1 write, 2 read/write
inline constexpr uint32_t kShareMask = 0x70;
inline constexpr uint32_t kDenyAll = 0x10;
inline constexpr uint32_t kDenyWrite = 0x20;
inline constexpr uint32_t kDenyRead = 0x30;
inline constexpr uint32_t kDenyNone = 0x40;
inline constexpr uint32_t kCreate = 0x200;     // the driver's open word: make the file anew
}  // namespace mode

// What an opener may add to the mode word.
struct OpenOptions {
  // The owner text of a file with ENCRYPT: when not empty, every block of the
  // file is enciphered under it. Opening with the wrong owner fails with 36
  // because the header's magic does not decipher.
  std::string owner;
  // Consulted by recovery for a file that took part in a multi-file commit;
  // nullptr: the control files themselves.
  TransactionLookup* transactions = nullptr;
  // The data file's name, for the default control file next to it (Attach only;
  // Open knows it).
  std::string path;
  // First reader slot to try; -1: from the tick count.
  int32_t start_slot = -1;
};

class BriskenFile {
 public:
  // Opens (or, when missing, creates empty) the file at path with the mode
  // word; with mode::kCreate the file is created anew. An empty file gets a
  // fresh header; 36 for a short header or a wrong magic; 5 for a sharing conflict.
  static Status Open(const std::string& path, uint32_t mode_word, std::unique_ptr<BriskenFile>* out);
  // The same over a handle that is already open.
  static Status Attach(std::unique_ptr<os::File> file, bool writable,
                       std::unique_ptr<BriskenFile>* out);
  // The same with an owner, a transaction lookup or a chosen first reader slot.
  // A header that shows a commit cut short is recovered first (a read-only
  // opener reads the recovered state without writing it).
  static Status Open(const std::string& path, uint32_t mode_word, const OpenOptions& options,
                     std::unique_ptr<BriskenFile>* out);
  static Status Attach(std::unique_ptr<os::File> file, bool writable, const OpenOptions& options,
                       std::unique_ptr<BriskenFile>* out);

  BriskenFile(const BriskenFile&) = delete;
  BriskenFile& operator=(const BriskenFile&) = delete;
  ~BriskenFile();

  bool writable() const { return writable_; }
  bool shared_for_writing() const { return shared_; }
  const FileHeader& header() const { return pager_.header(); }

  // The record tree (record_tree.h), each reporting a failed check.
  Status Get(std::string_view h, Record* out, bool* found, bool remember = false);
  Status Seek(std::string_view h, bool after, Record* out, bool* found);
  Status SeekBack(std::string_view h, bool before, Record* out, bool* found);
  // 5 when the file is not open for writing.
  Status Insert(Record r, bool* inserted);
  // Replace and Remove hand the record they replaced or removed to *old when given.
  Status Replace(Record r, bool* found, Record* old = nullptr);
  Status Remove(std::string_view h, bool* found, Record* old = nullptr,
                const RecordTree::RemoveCondition& only_if = {});
  Status Update(std::string_view h, const std::function<bool(const RecordView&, Record*)>& change,
                bool* found, Record* old);

  // Issues the next record or table number (the header's last issued number
  // plus one); a check fails when the first byte would pass 0xFD.
  Status NextNumber(uint32_t* number);

  // Writes pending changes crash-safely (shadow pages, two header writes) and
  // flushes. On a shared or deny-write file the reader slots are all taken
  // first (waiting); when another opener committed since these changes were
  // made, they are dropped and 5 is returned. A failure before the header
  // changes leaves the changes pending; a later one drops them and the file is
  // read again at the next access (its state is then the old or the new one).
  Status Commit();
  // The commit of a transaction over several files, in two halves. Prepare
  // runs the commit up to the point where the change survives a crash (the
  // file is then pending: recovery rolls it forward unless its reference
  // record names a transaction still open) and keeps every reader slot
  // locked; *any false when nothing was pending. Finish completes it; Abandon
  // drops it, leaving the state before the changes (which are dropped too).
  // Release leaves the file pending on disk and lets the next access decide.
  Status PrepareCommit(bool* any);
  bool prepared() const { return prepared_ != nullptr; }
  Status FinishCommit();
  Status AbandonCommit();
  void ReleasePrepared();
  // Drops pending changes; the state on disk is read again. Not reported
  // through the corruption halt: a failed read is the caller's error.
  Status DiscardChanges();
  // True while a failed commit leaves the state on disk to be read again.
  bool suspect() const { return suspect_; }

  // Planned bytes of the pages changed since the last commit: they stay in
  // memory until it, so a long run of changes commits now and then.
  size_t pending_bytes() const { return pager_.cache().DirtyBytes(); }

  // Reads the header on disk again; when it changed, the cache is dropped and
  // the new header taken (recovering a cut-short commit first). A short or
  // undecodable header is check 1013; a read that fails answers the disk's
  // error (90) and changes nothing. REQUIRES: no pending changes (they would be dropped).
  Status RefreshHeader();

  // Access locks of a shared or deny-write file (no-ops otherwise). A read
  // access holds one reader slot: the file's slot is tried and, while another
  // handle has it, the next one (waiting only when wait is set; 5 otherwise).
  // The header is then read again unless changes are pending.
  Status LockForRead(bool wait);
  // An updating access holds every reader slot (waiting), so that no reader is
  // active; the header is then read again unless changes are pending.
  Status LockForWrite();
  // Ends the access. Pending changes stay until the next commit.
  void UnlockAccess();
  uint32_t reader_slot() const { return slot_; }
  bool holds_reader_slot() const { return slot_held_; }
  bool holds_all_slots() const { return all_slots_held_; }
  // Commits, cuts the file to its data length and closes the handle. The
  // object is unusable afterwards.
  Status Close();

  // Reports s through the corruption halt when it is a failed check.
  static Status Report(Status s);

  // The handle, for the record and table bytes the driver locks on it.
  os::File* handle() { return file_.get(); }

  // For checkers and tests.
  Pager& pager() { return pager_; }
  RecordTree& tree() { return tree_; }

 private:
  BriskenFile(std::unique_ptr<os::File> file, bool writable, const OpenOptions& options);
  static Status Finish(std::unique_ptr<BriskenFile> opened, std::unique_ptr<BriskenFile>* out);
  Status Start();
  // Reads the 512 header bytes at offset 0 (deciphered). *got < 512 when short.
  Status ReadHeaderBytes(std::string* bytes, size_t* got);
  // Takes the header just read as the file's state, recovering first when a
  // commit was cut short.
  Status Adopt(const std::string& bytes, FileHeader header);
  Status Recover(FileHeader disk);
  // Frees whatever access lock is held.
  void DropLocks();
  bool lockable() const { return shared_ || deny_write_; }
  // Takes this opener's reader slot, moving to the next slot while one is taken;
  // without wait, AccessDenied after one try.
  Status TakeReaderSlot(bool wait);
  void ReleaseReaderSlot();
  // Takes every reader slot for a commit; ReleaseCommitLocks gives them back.
  Status TakeCommitLocks();
  void ReleaseCommitLocks();
  // 5 (after adopting the new state) when another opener committed since.
  Status CheckUnchanged();
  // Whether an access must read the header again: not while changes are
  // pending, nor on a file no other opener may write.
  bool NeedsHeaderRefresh() const;
  // RefreshHeader without reporting a failed check.
  Status ReadHeaderAgain();

  std::unique_ptr<os::File> file_;
  bool writable_;
  bool shared_ = true;       // others may write too (deny none or compatibility)
  bool deny_write_ = false;  // others may read (deny write)
  std::string path_;
  std::unique_ptr<OwnerCipher> cipher_;  // set for an enciphered file
  TransactionLookup* transactions_;
  std::string disk_bytes_;   // the header on disk as last read or written (deciphered)
  FileHeader disk_header_;   // the same, decoded
  bool suspect_ = false;     // a failed commit may have left the header pending
  uint32_t slot_ = 0;        // this opener's reader slot
  bool slot_held_ = false;
  bool all_slots_held_ = false;
  bool commit_had_slot_ = false;  // the reader slot given up for a commit
  // The header was read (or written by us) while the locks now held were
  // already held: the next access under them needs no read of it.
  bool header_seen_under_lock_ = false;
  bool commit_took_ = false;      // the commit took every slot itself
  std::unique_ptr<PreparedCommit> prepared_;
  Pager pager_;
  RecordTree tree_;
};

// Closes and deletes the file at path (REMOVE). 2 when it does not exist.
Status RemoveFile(const std::string& path);

}  // namespace korvex::brisken
