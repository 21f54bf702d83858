#include "data/brisken/record_hold.h"

#include "data/brisken/lock_bytes.h"
#include "data/driver/error_codes.h"

namespace korvex::brisken {

HandleRecordLocks::~HandleRecordLocks() { Clear(); }

int32_t HandleRecordLocks::TryLock(uint32_t n, const void* owner) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = owners_.find(n);
  if (it != owners_.end()) return it->second == owner ? driver::kNoError : driver::kErrAccessDenied;
  if (handle_ != nullptr) {
    Status s = LockBytes(handle_, LockRequest::Record(n), false);
    if (!s.ok()) return s.code();
  }
  owners_.emplace(n, owner);
  return driver::kNoError;
}

void HandleRecordLocks::Unlock(uint32_t n, const void* owner) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = owners_.find(n);
  if (it == owners_.end() || it->second != owner) return;
  if (handle_ != nullptr) UnlockBytes(handle_, LockRequest::Record(n));
  owners_.erase(it);
}

void HandleRecordLocks::UnlockAll(const void* owner) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = owners_.begin(); it != owners_.end();) {
    if (it->second != owner) {
      ++it;
      continue;
    }
    if (handle_ != nullptr) UnlockBytes(handle_, LockRequest::Record(it->first));
    it = owners_.erase(it);
  }
}

void HandleRecordLocks::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (handle_ != nullptr) {
    for (const auto& [n, owner] : owners_) UnlockBytes(handle_, LockRequest::Record(n));
  }
  owners_.clear();
}

}  // namespace korvex::brisken
