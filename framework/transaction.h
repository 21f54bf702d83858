// One transaction over the files a change may touch: files are enrolled (made
// usable first, so a lazily opened file takes part), LOGOUT starts it, and it
// ends exactly once, with COMMIT or ROLLBACK. A transaction still running when
// the object goes away is rolled back.
//
//   FileTransaction tx;
//   if (tx.Enrol(customers) != 0 || tx.Start() != 0) ... report ...;
//   ... quiet writes ...;
//   ok ? tx.Commit() : tx.Rollback();
#pragma once

#include <cstdint>
#include <vector>

namespace korvex::framework {

class FileController;

class FileTransaction {
 public:
  static constexpr int kLogoutSeconds = 2;

  FileTransaction() = default;
  ~FileTransaction();
  FileTransaction(const FileTransaction&) = delete;
  FileTransaction& operator=(const FileTransaction&) = delete;

  // Makes the file usable and marks it for the transaction. 0, or the file
  // error (80 when the driver has no transactions; 3 when the file could not
  // be made usable). A file enrolled twice is listed once.
  int32_t Enrol(FileController& file);
  bool Enrolled(const FileController& file) const;
  // LOGOUT over every enrolled file. 0, or the driver's error (nothing started).
  int32_t Start(int seconds = kLogoutSeconds);
  bool active() const { return active_; }
  // Each ends a running transaction; 0, or the driver's error (the transaction
  // is over either way). Without a running one they do nothing and answer 0.
  int32_t Commit();
  int32_t Rollback();

 private:
  int32_t End(bool commit);

  std::vector<FileController*> files_;
  bool active_ = false;
};

}  // namespace korvex::framework
