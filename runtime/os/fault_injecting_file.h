// A file in memory that behaves like a disk with a volatile write cache, for
// tests of crash safety: writes since the last flush are lost at a simulated
// power loss (optionally torn, 64-byte blocks surviving at random), a power loss
// can be planned before any chosen write or flush, and any chosen call can fail
// with an error. Several handles may share one disk; their byte-range locks
// contend with each other as those of separate handles do.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/os/file.h"

namespace korvex::os {

class FaultDisk : public std::enable_shared_from_this<FaultDisk> {
 public:
  static constexpr uint64_t kTearBlock = 64;  // unit in which a torn write survives

  // REQUIRES: created through std::make_shared (handles keep the disk alive).
  explicit FaultDisk(std::string content = std::string());
  FaultDisk(const FaultDisk&) = delete;
  FaultDisk& operator=(const FaultDisk&) = delete;

  // A new handle on this disk.
  std::unique_ptr<File> Open();

  // What reads see now, and what a power loss would keep.
  std::string visible() const;
  std::string durable() const;

  // Write points are writes, truncates and flushes, counted from 1 since the last
  // Reset. The power fails instead of point n: that call and every later one
  // fail with an I/O error until PowerOn. 0 disarms.
  void CrashAtPoint(int64_t n);
  // Call n (any operation, locks included, counted from 1 since the last Reset)
  // fails with kind and has no effect; the others work. 0 disarms.
  void FailCall(int64_t n, ErrorKind kind = ErrorKind::Io);
  // With tearing on, a power loss keeps each 64-byte block of each unflushed write
  // by a choice drawn from seed; off (the default), unflushed writes are all lost.
  void SetTearing(bool on, uint32_t seed = 1);

  // Clears the counters and the plans.
  void Reset();
  int64_t points() const;
  int64_t calls() const;
  // One letter per write point since the last Reset: 'w' write, 't' truncate, 'f' flush.
  std::string trace() const;
  bool powered_off() const;
  // Cuts the power now (as a planned crash would).
  void PowerOff();
  // After a power loss: reads see the durable content again; handles opened
  // before the loss stay dead, plans and counters are cleared.
  void PowerOn();

 private:
  friend class FaultInjectingFile;
  struct Pending {
    bool truncate;      // a truncate to offset rather than a write
    uint64_t offset;
    std::string bytes;  // the data written
  };
  struct HeldLock {
    const void* owner;  // the handle
    uint64_t offset;
    uint64_t len;
  };

  // Accounts one call; false with *status set when it must not happen.
  bool Enter(char point, Status* status, uint64_t generation);  // point 0: no write point
  void LoseCacheLocked();
  static void Apply(std::string* content, const Pending& p);
  bool LockedByOther(const void* owner, uint64_t offset, uint64_t len) const;

  mutable std::mutex mutex_;
  std::condition_variable unlocked_;
  std::string visible_;
  std::string durable_;
  std::vector<Pending> unflushed_;  // in order since the last flush
  std::vector<HeldLock> locks_;
  int64_t points_ = 0;
  std::string trace_;
  int64_t calls_ = 0;
  int64_t crash_at_ = 0;
  int64_t fail_at_ = 0;
  ErrorKind fail_kind_ = ErrorKind::Io;
  bool tearing_ = false;
  uint32_t seed_ = 1;
  bool powered_off_ = false;
  uint64_t generation_ = 0;  // grows at every power-on; older handles are dead
};

}  // namespace korvex::os
