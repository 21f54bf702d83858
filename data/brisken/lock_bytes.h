// The byte-range locks of a Brisken file, far beyond any data: reader slots,
// the all-slot range a writer takes, the write byte, and record or table bytes.
#pragma once

#include <cstdint>

#include "data/brisken/status.h"
#include "runtime/os/file.h"

namespace korvex::brisken {

inline constexpr uint64_t kLockBase = 0x80000000u;
inline constexpr uint32_t kReaderSlots = 1023;     // slots 0..1022
inline constexpr uint32_t kWriteByte = 1023;       // serialises header rewrites after recovery
inline constexpr uint32_t kRecordLockBase = 1024;  // + record or table number

// One lock request. A record lock cannot be combined with a slot or region
// lock (checks 2328 when locking, 2352 when unlocking).
struct LockRequest {
  int32_t slot = -1;        // one reader slot, or -1
  bool all_slots = false;   // every reader slot
  bool write_byte = false;
  int64_t record = -1;      // record or table number, or -1

  static LockRequest Slot(uint32_t s) { LockRequest r; r.slot = static_cast<int32_t>(s); return r; }
  static LockRequest AllSlots() { LockRequest r; r.all_slots = true; return r; }
  static LockRequest WriteByte() { LockRequest r; r.write_byte = true; return r; }
  static LockRequest Record(uint32_t n) { LockRequest r; r.record = n; return r; }
};

inline constexpr int kCheckLockMixed = 2328;
inline constexpr int kCheckUnlockMixed = 2352;

// Locks the request's bytes (waiting when wait is set). 5 when another handle
// holds one of them, 90 for any other failure. With several ranges either all
// are taken or none.
Status LockBytes(os::File* file, const LockRequest& request, bool wait);
// Frees them again.
Status UnlockBytes(os::File* file, const LockRequest& request);

}  // namespace korvex::brisken
