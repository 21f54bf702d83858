// Record and table lock bytes (1024 + n) of one open file, shared by the
// control blocks of a process that use it. The operating system arbitrates
// between processes; the owner map arbitrates between control blocks of this
// process, which share one handle and so would never contend there.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>

#include "runtime/os/file.h"

namespace korvex::brisken {

// What a table needs to hold records.
class RecordLocks {
 public:
  virtual ~RecordLocks() = default;
  // Locks byte 1024 + n for owner without waiting: 0 when it is now owner's
  // (also when it already was), 5 when another owner or process has it, 90
  // for another failure.
  virtual int32_t TryLock(uint32_t n, const void* owner) = 0;
  // Frees byte n when owner has it; otherwise nothing happens.
  virtual void Unlock(uint32_t n, const void* owner) = 0;
};

// The lock bytes of one handle.
class HandleRecordLocks : public RecordLocks {
 public:
  // handle may be null: the owner map alone then decides (a file nobody else
  // can open).
  explicit HandleRecordLocks(os::File* handle) : handle_(handle) {}
  ~HandleRecordLocks() override;
  int32_t TryLock(uint32_t n, const void* owner) override;
  void Unlock(uint32_t n, const void* owner) override;
  // Frees every byte owner has.
  void UnlockAll(const void* owner);
  // Frees every byte (before the handle closes).
  void Clear();

 private:
  std::mutex mutex_;
  os::File* handle_;
  std::map<uint32_t, const void*> owners_;
};

}  // namespace korvex::brisken
