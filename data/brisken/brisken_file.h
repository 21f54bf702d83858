// One open Brisken data file: its header, page store and record tree, with
// create, open, commit, header refresh and close. Failed consistency checks
// of any operation are reported here once, through the corruption halt.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "data/brisken/pager.h"
#include "data/brisken/record_tree.h"
#include "data/brisken/status.h"
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

class BriskenFile {
 public:
  // Opens (or, when missing, creates empty) the file at path with the mode
  // word; with mode::kCreate the file is created anew. An empty file gets a
  // fresh header; 36 for a short header or a wrong magic; 5 for a sharing conflict.
  static Status Open(const std::string& path, uint32_t mode_word, std::unique_ptr<BriskenFile>* out);
  // The same over a handle that is already open.
  static Status Attach(std::unique_ptr<os::File> file, bool writable,
                       std::unique_ptr<BriskenFile>* out);

  BriskenFile(const BriskenFile&) = delete;
  BriskenFile& operator=(const BriskenFile&) = delete;
  ~BriskenFile();

  bool writable() const { return writable_; }
  bool shared_for_writing() const { return shared_; }
  const FileHeader& header() const { return pager_.header(); }

  // The record tree (record_tree.h), each reporting a failed check.
  Status Get(std::string_view h, Record* out, bool* found);
  Status Seek(std::string_view h, bool after, Record* out, bool* found);
  Status SeekBack(std::string_view h, bool before, Record* out, bool* found);
  // 5 when the file is not open for writing.
  Status Insert(Record r, bool* inserted);
  Status Replace(Record r, bool* found);
  Status Remove(std::string_view h, bool* found);

  // Issues the next record or table number (the header's last issued number
  // plus one); a check fails when the first byte would pass 0xFD.
  Status NextNumber(uint32_t* number);

  // Writes pending changes (compacted) and the header, and flushes.
  Status Commit();
  // Reads the header on disk again; when its change counter moved, the cache is
  // dropped and the new header taken. A failed read is check 1013.
  // REQUIRES: no pending changes (they would be dropped with the cache).
  Status RefreshHeader();
  // Commits, cuts the file to its data length and closes the handle. The
  // object is unusable afterwards.
  Status Close();

  // Reports s through the corruption halt when it is a failed check.
  static Status Report(Status s);

  // For checkers and tests.
  Pager& pager() { return pager_; }
  RecordTree& tree() { return tree_; }

 private:
  BriskenFile(std::unique_ptr<os::File> file, bool writable);
  Status Start();

  std::unique_ptr<os::File> file_;
  bool writable_;
  bool shared_ = true;  // others may write too (deny none or compatibility)
  Pager pager_;
  RecordTree tree_;
};

// Closes and deletes the file at path (REMOVE). 2 when it does not exist.
Status RemoveFile(const std::string& path);

}  // namespace korvex::brisken
