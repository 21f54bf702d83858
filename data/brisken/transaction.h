// A transaction over several Brisken files: LOGOUT lists the files, COMMIT
// writes their changes so that either all or none survive a crash, ROLLBACK
// drops them. The open transactions are recorded in transaction control files
// (Brisken files holding one record per open transaction, its header the
// 4-byte id); each changed file names its control file in a reference record,
// and recovery rolls the file back while the id is still recorded there.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/brisken/brisken_file.h"
#include "data/brisken/status.h"
#include "data/brisken/transaction_reference.h"

namespace korvex::brisken {

inline constexpr size_t kMaxControlFiles = 100;

// Opens control files by path (created when missing, shared for writing).
class ControlFileStore {
 public:
  virtual ~ControlFileStore() = default;
  virtual Status Open(const std::string& path, bool writable, std::unique_ptr<BriskenFile>* out) = 0;
};

// Control files on the file system.
ControlFileStore* DefaultControlFileStore();

// The question recovery asks, answered through a store: an id is open while
// its record is in the control file. A control file that cannot be consulted
// counts as holding the id (rolling back is the safe answer then).
class StoreTransactionLookup : public TransactionLookup {
 public:
  explicit StoreTransactionLookup(ControlFileStore* store) : store_(store) {}
  Status IsOpen(const std::string& tcf_path, uint32_t id, bool* open) override;

 private:
  ControlFileStore* store_;
};

// A file taking part: the open file and its name (for the control file beside it).
struct TransactionFile {
  BriskenFile* file = nullptr;
  std::string path;
};

class Transaction {
 public:
  // store nullptr: the file system. clock: the source of transaction ids
  // (nullptr: the local date and time).
  explicit Transaction(ControlFileStore* store = nullptr,
                       std::function<uint32_t()> clock = nullptr);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // The program's one control file for every file ("" : the one beside each
  // file). Used by the next Logout.
  void set_program_tcf(std::string name) { program_tcf_ = std::move(name); }

  // Starts a transaction over files. 56 while one is active; 90 beyond
  // kMaxControlFiles distinct control files (nothing starts then).
  Status Logout(const std::vector<TransactionFile>& files);
  bool active() const { return active_; }

  // Writes the changes of the listed files and ends the transaction. 91 when
  // none is active; 48 when the id could not be recorded; otherwise the error
  // of the failing file (every file then keeps its state before the
  // transaction, its changes dropped).
  Status Commit();
  // Drops the changes of the listed files and ends the transaction. 91 when
  // none is active; 65 when a file could not be read again.
  Status Rollback();

  // The id of the last multi-file commit (0 before any).
  uint32_t last_id() const { return last_id_; }
  // The stored control file name and its path for a listed file.
  static std::string StoredTcfName(const std::string& program_tcf);

 private:
  struct Member {
    BriskenFile* file;
    std::string path;
    std::string stored_tcf;  // as written in the reference record
    size_t tcf;              // index into tcf_paths_
  };
  struct Control;

  Status CommitSeveral(const std::vector<Member*>& changed);
  Status OpenControlFiles(const std::vector<size_t>& which, std::vector<Control>* out);
  uint32_t NextId();
  void End();

  ControlFileStore* store_;
  std::function<uint32_t()> clock_;
  std::string program_tcf_;
  bool active_ = false;
  std::vector<Member> members_;
  std::vector<std::string> tcf_paths_;  // distinct
  uint32_t last_id_ = 0;
};

}  // namespace korvex::brisken
