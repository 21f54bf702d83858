#include "data/brisken/lock_bytes.h"

#include <vector>

namespace korvex::brisken {
namespace {

struct Range {
  uint64_t offset;
  uint64_t len;
};

bool Ranges(const LockRequest& r, std::vector<Range>* out) {
  bool region = r.slot >= 0 || r.all_slots || r.write_byte;
  if (r.record >= 0 && region) return false;
  if (r.all_slots) {
    out->push_back({kLockBase, kReaderSlots});
  } else if (r.slot >= 0) {
    out->push_back({kLockBase + static_cast<uint32_t>(r.slot) % kReaderSlots, 1});
  }
  if (r.write_byte) out->push_back({kLockBase + kWriteByte, 1});
  if (r.record >= 0) out->push_back({kLockBase + kRecordLockBase + static_cast<uint64_t>(r.record), 1});
  return true;
}

int32_t LockErrorCode(const os::Status& s) {
  switch (s.kind()) {
    case os::ErrorKind::LockViolation:
    case os::ErrorKind::AccessDenied:
    case os::ErrorKind::SharingViolation: return driver::kErrAccessDenied;
    default: return driver::kErrFileSystem;
  }
}

}  // namespace

Status LockBytes(os::File* file, const LockRequest& request, bool wait) {
  std::vector<Range> ranges;
  if (!Ranges(request, &ranges)) return Status::Corrupt(kCheckLockMixed);
  for (size_t i = 0; i < ranges.size(); ++i) {
    os::Status s = wait ? file->Lock(ranges[i].offset, ranges[i].len)
                        : file->TryLock(ranges[i].offset, ranges[i].len);
    if (!s.ok()) {
      while (i-- > 0) file->Unlock(ranges[i].offset, ranges[i].len);
      return Status::Error(LockErrorCode(s));
    }
  }
  return Status::Ok();
}

Status UnlockBytes(os::File* file, const LockRequest& request) {
  std::vector<Range> ranges;
  if (!Ranges(request, &ranges)) return Status::Corrupt(kCheckUnlockMixed);
  Status result;
  for (const Range& r : ranges) {
    os::Status s = file->Unlock(r.offset, r.len);
    if (!s.ok() && result.ok()) result = Status::Error(driver::kErrFileSystem);
  }
  return result;
}

}  // namespace korvex::brisken
